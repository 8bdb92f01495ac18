// A disc image as mkdisc writes it: tracks laid out one after another in a
// single BIN file, described by a CUE sheet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mkdisc {

constexpr int kSectorBytes = 2352;
constexpr int kSamplesPerSector = 588;  // stereo sample frames
constexpr int kLeadIn = 150;            // LBA of the first sector of the file

struct TrackPlan {
    bool audio = true;
    int pregap = 0;     // INDEX 00 sectors stored in the file before INDEX 01
    int length = 0;     // sectors from INDEX 01 up to the next track's INDEX 00
    uint32_t seed = 0;  // generator seed of the test pattern
};

struct DiscPlan {
    std::string name;     // file stem: NAME.cue, NAME.bin
    std::string catalog;  // 13 digits, or empty
    std::vector<TrackPlan> tracks;
    int firstTrack = 1;  // the number of the first track; the rest follow on
};

// Fills one audio sector: the track's place on the disc (1 for the first), its plan, and the sector's LBA.
using AudioFill = std::function<void(int track, const TrackPlan& plan, int32_t lba, uint8_t* sector)>;

// The LBA of each track's INDEX 01, and of the lead-out.
std::vector<int32_t> trackStarts(const DiscPlan& disc);
int32_t leadOut(const DiscPlan& disc);

// The CUE sheet text for the disc, naming NAME.bin.
std::string cueSheet(const DiscPlan& disc);

// Writes NAME.bin (cut to `binSectors` sectors when that is not negative) and
// NAME.cue into `dir`. False, with a message on stderr, on a write error.
bool writeImage(const DiscPlan& disc, const std::string& dir, const AudioFill& fill, int binSectors = -1);
bool writeText(const std::string& path, const std::string& text);

// The test pattern: sample frame k of the sector at `lba` for seed s.
void patternSector(uint32_t seed, int32_t lba, uint8_t* sector);

}  // namespace mkdisc
