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
    int number = 0;      // 1-based
    int32_t start = 0;   // LBA of INDEX 01
    bool audio = true;   // false for a data track
};

struct Toc {
    std::vector<TrackInfo> tracks;  // in order
    int32_t leadOut = 0;            // LBA of the lead-out
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
// track 1's F and the disc length in frames (lead-out minus track 1's start).
uint32_t DISC_Identity(const Toc& toc);

}  // namespace winshim
