// The pieces of the player: which sectors a play covers, in stream order, and
// the ring of frames between the reader and the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mcicda/player.h"

namespace winshim {

constexpr int kFramesPerSector = 588;  // stereo frames in one 2352-byte sector

// The audio of [from, to): the disc's audio spans cut to the range. Stream
// frame 0 is the first sample of the first sector played.
struct PlayPlan {
    std::vector<AudioSpan> pieces;
    int32_t from = 0;
    int32_t to = 0;

    int64_t sectors() const;
    // The LBA of the sector holding stream frame `frame`; `to` past the end.
    int32_t lbaOf(int64_t frame) const;
    // Where stream sector `sector` lies, and how many sectors (at most `max`)
    // follow it on the disc without a gap.
    struct Run {
        int32_t lba = 0;
        int count = 0;
    };
    Run run(int64_t sector, int max) const;
};
PlayPlan PLAYER_Plan(const std::vector<AudioSpan>& audio, int32_t from, int32_t to);

// Interleaved stereo frames; not thread-safe on its own (the player's lock
// guards it).
class FrameRing {
public:
    explicit FrameRing(size_t capacity) : buf_(capacity * 2) {}
    size_t size() const { return size_; }
    size_t capacity() const { return buf_.size() / 2; }
    size_t space() const { return capacity() - size_; }
    void clear() { head_ = size_ = 0; }
    // Appends n frames; n must fit in space().
    void push(const int16_t* frames, size_t n);
    // Takes up to n frames; returns how many.
    size_t pop(int16_t* out, size_t n);
    // Throws up to n frames away; returns how many.
    size_t drop(size_t n);

private:
    std::vector<int16_t> buf_;
    size_t head_ = 0;  // first frame held
    size_t size_ = 0;
};

}  // namespace winshim
