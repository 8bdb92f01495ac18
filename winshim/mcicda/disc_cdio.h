// What the disc readers share: libcdio's log handler and reading a table of contents.
#pragma once

#include <cdio/cdio.h>

#include <memory>
#include <optional>
#include <string>

#include "mcicda/disc.h"

namespace winshim {

// Routes libcdio's messages to the "cdio" log channel. Its default handler ends
// the process on an error, so this runs before any other libcdio call.
void DISC_InstallLogHandler();

// The table of contents libcdio reads, or nothing when it is not a sane one
// (no tracks, starts out of order, a track starting at or past the lead-out:
// as a cue sheet gives for a .bin shorter than it says).
std::optional<Toc> DISC_ReadToc(CdIo_t* cdio);
std::string DISC_ReadCatalog(CdIo_t* cdio);

struct CdioCloser {
    void operator()(CdIo_t* c) const { cdio_destroy(c); }
};
using CdioPtr = std::unique_ptr<CdIo_t, CdioCloser>;

// The path to give libcdio for an image's sheet (.cue, .toc): the sheet itself,
// or one in a private folder that names its files so that libcdio finds them.
class ImageSheet {
public:
    ImageSheet(const std::string& sheet, driver_id_t driver);
    ~ImageSheet();
    ImageSheet(const ImageSheet&) = delete;
    ImageSheet& operator=(const ImageSheet&) = delete;
    const std::string& path() const { return path_; }

private:
    bool makeFolder();
    std::string path_, dir_;
};

// Whether an NRG file's footer and chunks stay within what libcdio's NRG
// reader reads without a bound; only then may that reader see it.
bool DISC_NrgHoldsUp(const std::string& path);

// An image of the given kind; DRIVER_UNKNOWN gives one that is never readable.
std::unique_ptr<Disc> DISC_OpenImage(const std::string& path, driver_id_t driver);
std::unique_ptr<Disc> DISC_OpenDrive(const std::string& device);

}  // namespace winshim
