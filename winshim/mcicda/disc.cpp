// Opening a disc by its source, the table of contents, and the disc identity.
#include "mcicda/disc.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {
std::string lowerExtension(const std::string& path) {
    const size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}
}  // namespace

std::optional<Toc> DISC_ReadToc(CdIo_t* cdio) {
    const track_t first = cdio_get_first_track_num(cdio), count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return std::nullopt;
    Toc toc;
    for (int t = first; t < first + count; ++t) {
        const lsn_t lsn = cdio_get_track_lsn(cdio, track_t(t));
        if (lsn == CDIO_INVALID_LSN || lsn < 0) return std::nullopt;
        const int32_t start = lsn + kLeadIn;
        if (!toc.tracks.empty() && start <= toc.tracks.back().start) return std::nullopt;
        toc.tracks.push_back({t, start, cdio_get_track_format(cdio, track_t(t)) == TRACK_FORMAT_AUDIO});
    }
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN || leadOut + kLeadIn <= toc.tracks.back().start) {
        WS_LOG("cdio", "table of contents: lead-out %d before the last track's start", int(leadOut));
        return std::nullopt;
    }
    toc.leadOut = leadOut + kLeadIn;
    return toc;
}

std::string DISC_ReadCatalog(CdIo_t* cdio) {
    char* mcn = cdio_get_mcn(cdio);
    std::string catalog = mcn ? mcn : "";
    cdio_free(mcn);
    // Drives report a disc without one as all zeros.
    if (std::all_of(catalog.begin(), catalog.end(), [](char c) { return c == '0'; })) catalog.clear();
    return catalog;
}

std::unique_ptr<Disc> DISC_Open(const std::string& source) {
    DISC_InstallLogHandler();
    const std::string ext = lowerExtension(source);
    if (ext == ".cue") return DISC_OpenImage(source, DRIVER_BINCUE);
    if (ext == ".toc") return DISC_OpenImage(source, DRIVER_CDRDAO);
    if (ext == ".nrg") return DISC_OpenImage(source, DRIVER_NRG);
    struct stat st {};
    const bool exists = stat(source.c_str(), &st) == 0;
    if (source.rfind("/dev/", 0) == 0 || (exists && S_ISBLK(st.st_mode))) return DISC_OpenDrive(source);
    if (exists && S_ISREG(st.st_mode)) return DISC_OpenImage(source, DRIVER_UNKNOWN);
    WS_LOG("cdio", "%s is neither a disc image nor a drive", source.c_str());
    return nullptr;
}

const TrackInfo* Toc::track(uint32_t number) const {
    if (tracks.empty() || number < uint32_t(tracks.front().number)) return nullptr;
    const size_t index = number - uint32_t(tracks.front().number);
    return index < tracks.size() ? &tracks[index] : nullptr;
}

int32_t Toc::end(const TrackInfo& track) const {
    const size_t next = size_t(&track - tracks.data()) + 1;
    return next < tracks.size() ? tracks[next].start : leadOut;
}

uint32_t DISC_Identity(const Toc& toc) {
    uint32_t sum = 0;
    for (const TrackInfo& t : toc.tracks) {
        const uint32_t m = uint32_t(t.start) / (kFramesPerSecond * 60), s = uint32_t(t.start) / kFramesPerSecond % 60,
                       f = uint32_t(t.start) % kFramesPerSecond;
        sum += (m << 16) | (s << 8) | f;
    }
    if (!toc.tracks.empty() && toc.tracks.size() < 3) {
        const int32_t first = toc.tracks.front().start;
        sum += uint32_t(first % kFramesPerSecond) + uint32_t(toc.leadOut - first);
    }
    return sum;
}

}  // namespace winshim
