// Access to an audio CD, in a drive or as a disc image, through libcdio: its
// table of contents, its catalogue number, raw audio sectors and its media state.
// Addresses are LBAs (absolute disc time, 75 frames a second, including the
// 2-second lead-in: LBA = libcdio's LSN + 150), the unit MCI positions use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace winshim {

constexpr int kFramesPerSecond = 75;
constexpr int kSectorBytes = 2352;  // 588 stereo frames of 16-bit little-endian samples
constexpr int kLeadIn = 150;        // LBA of LSN 0

struct TrackInfo {
    int number = 0;     // as the disc numbers it: from its first track's number, often 1
    int32_t start = 0;  // LBA of INDEX 01
    bool audio = true;  // false for a data track
};

struct Toc {
    std::vector<TrackInfo> tracks;  // in order, numbered one after another
    int32_t leadOut = 0;            // LBA of the lead-out

    // The track the disc numbers `number`, or null when it has none by that
    // number. A disc of a set may number on from the one before, from 4, say.
    const TrackInfo* track(uint32_t number) const;
    // Where a track ends: at the next track's start, the last at the lead-out.
    int32_t end(const TrackInfo& track) const;
};

enum class MediaState { Present, NoDisc, DoorOpen, NotReady };

class Disc {
public:
    virtual ~Disc() = default;
    // The table of contents, or nothing when no disc is readable.
    virtual std::optional<Toc> toc() = 0;
    // The disc's catalogue number (MCN/UPC), empty when it has none.
    virtual std::string catalog() = 0;
    // Reads `count` raw audio sectors from `lba` into `out` (count * kSectorBytes
    // bytes, little-endian s16 stereo). Safe to call from the playback thread;
    // reads past the lead-out fail instead of hanging. False on a read error.
    virtual bool readAudio(int32_t lba, int count, uint8_t* out) = 0;
    virtual MediaState media() = 0;
    // The door: a drive's real tray; an image's simulated one (open: no media).
    virtual bool openDoor() = 0;
    virtual bool closeDoor() = 0;
    virtual bool isImage() const = 0;
};

// Opens a source: a disc image (.cue, .toc, .nrg) or a device node (/dev/sr0).
// A missing or unreadable source still gives a Disc (its media state tells),
// except for a path that is neither; then null.
std::unique_ptr<Disc> DISC_Open(const std::string& source);

// The disc identity as Windows computes it: the sum over all tracks of
// (M << 16) | (S << 8) | F of each track's start; for fewer than 3 tracks, plus
// the first track's F and the disc length in frames (lead-out minus the first
// track's start), whatever number the first track has.
uint32_t DISC_Identity(const Toc& toc);

}  // namespace winshim
