// Opening a disc image: the first byte chooses the kind the rest is named as
// (.cue, .toc, .nrg, or a name of no kind we read), the rest is the file. A
// short .bin beside a sheet gives it something to read. Whatever the bytes,
// opening, the table of contents, the catalogue and reading must not crash.
#include <vector>

#include "fuzz_support.h"
#include "mcicda/disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* const kNames[] = {"disc.cue", "disc.toc", "disc.nrg", "disc.img"};
    static const bool binWritten = [] {
        fuzz::writeScratch("disc.bin", std::string(4 * winshim::kSectorBytes, '\x11'));
        return true;
    }();
    (void)binWritten;
    const std::string path =
        fuzz::writeScratch(kNames[data[0] % 4], {reinterpret_cast<const char*>(data + 1), size - 1});
    auto disc = winshim::DISC_Open(path);
    if (!disc) fuzz::fail("an existing file gave no drive");
    disc->media();
    disc->catalog();
    if (const auto toc = disc->toc()) {
        winshim::DISC_Identity(*toc);
        std::vector<uint8_t> sector(2 * winshim::kSectorBytes);
        for (const winshim::TrackInfo& t : toc->tracks) disc->readAudio(t.start, 2, sector.data());
        disc->readAudio(toc->leadOut - 1, 1, sector.data());
    }
    return 0;
}
