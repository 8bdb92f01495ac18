#include "mcicda/timefmt.h"

#include "winmm/mcidriver.h"

namespace winshim {
namespace {
DWORD packMsf(int32_t frames) {
    if (frames < 0) frames = 0;
    return MCI_MAKE_MSF(frames / (60 * kFramesPerSecond), (frames / kFramesPerSecond) % 60, frames % kFramesPerSecond);
}
}  // namespace

DWORD CDA_FramesToMs(int32_t frames) { return frames <= 0 ? 0 : DWORD(int64_t(frames) * 1000 / kFramesPerSecond + 1); }

int32_t CDA_MsToFrames(DWORD ms) { return ms == 0 ? 0 : int32_t((int64_t(ms - 1) * kFramesPerSecond + 500) / 1000); }

std::optional<int32_t> CDA_PositionToLba(DWORD value, DWORD format, const Toc& toc) {
    switch (format) {
    case MCI_FORMAT_MILLISECONDS:
        return CDA_MsToFrames(value);
    case MCI_FORMAT_MSF: {
        // Packed MSF leaves its high byte unused: a fourth field is no MSF time.
        int m = MCI_MSF_MINUTE(value), s = MCI_MSF_SECOND(value), f = MCI_MSF_FRAME(value);
        if (s >= 60 || f >= kFramesPerSecond || (value >> 24) != 0) return std::nullopt;
        return (m * 60 + s) * kFramesPerSecond + f;
    }
    case MCI_FORMAT_TMSF: {
        int t = MCI_TMSF_TRACK(value), m = MCI_TMSF_MINUTE(value), s = MCI_TMSF_SECOND(value),
            f = MCI_TMSF_FRAME(value);
        // The track is the disc's own number for it, as Windows takes it.
        const TrackInfo* track = toc.track(uint32_t(t));
        if (!track || s >= 60 || f >= kFramesPerSecond) return std::nullopt;
        return track->start + (m * 60 + s) * kFramesPerSecond + f;
    }
    }
    return std::nullopt;
}

int CDA_TrackAt(int32_t lba, const Toc& toc) {
    int track = toc.tracks.empty() ? 0 : toc.tracks.front().number;
    for (const TrackInfo& t : toc.tracks)
        if (t.start <= lba) track = t.number;
    return track;
}

CdaValue CDA_Position(int32_t lba, DWORD format, const Toc& toc) {
    switch (format) {
    case MCI_FORMAT_MILLISECONDS:
        return {CDA_FramesToMs(lba), MCI_INTEGER_RETURNED};
    case MCI_FORMAT_TMSF: {
        const int track = CDA_TrackAt(lba, toc);
        const TrackInfo* holder = toc.track(uint32_t(track));
        int32_t offset = holder ? lba - holder->start : 0;
        if (offset < 0) offset = 0;
        DWORD msf = packMsf(offset);
        return {MCI_MAKE_TMSF(track, MCI_MSF_MINUTE(msf), MCI_MSF_SECOND(msf), MCI_MSF_FRAME(msf)),
                MCI_COLONIZED4_RETURN};
    }
    default:
        return {packMsf(lba), MCI_COLONIZED3_RETURN};
    }
}

CdaValue CDA_Length(int32_t frames, DWORD format) {
    if (format == MCI_FORMAT_MILLISECONDS) return {DWORD(int64_t(frames) * 1000 / kFramesPerSecond), MCI_INTEGER_RETURNED};
    return {packMsf(frames), MCI_COLONIZED3_RETURN};
}
}  // namespace winshim
