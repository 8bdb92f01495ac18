// An in-memory disc whose samples are a known function of their place, for
// the tests of the playback engine: what comes out is compared, sample for
// sample, with what the range holds.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "mcicda/player.h"

namespace memorysource {

using namespace std::chrono_literals;
using winshim::AudioSpan;

constexpr int kFrames = 588;

inline int16_t sampleAt(int32_t lba, int frame, int channel) {
    uint32_t x = static_cast<uint32_t>(lba) * 2654435761u ^ static_cast<uint32_t>(frame * 2 + channel) * 40503u;
    x ^= x >> 13;
    return static_cast<int16_t>(x * 2246822519u >> 16);
}

inline bool inAudio(const std::vector<AudioSpan>& audio, int32_t lba) {
    for (const AudioSpan& s : audio)
        if (lba >= s.start && lba < s.end) return true;
    return false;
}

// Samples are a function of (lba, frame); sectors outside the audio spans hold
// a constant that no audio sector has in a row, so data noise would show.
class MemorySource : public winshim::SectorSource {
public:
    explicit MemorySource(std::vector<AudioSpan> audio) : audio_(std::move(audio)) {}
    int32_t failFrom = INT32_MAX;   // this LBA and those after it cannot be read
    std::atomic<bool> held{false};  // the first read from holdFrom on waits for release(), as a slow drive
    int32_t holdFrom = 0;

    // Waits until the held read has begun.
    bool waitHeld() {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, 10s, [this] { return inRead_; });
    }
    // True while the held read is still under way.
    bool stillHeld() {
        std::lock_guard lk(m_);
        return inRead_ && !released_;
    }
    void release() {
        std::lock_guard lk(m_);
        released_ = true;
        cv_.notify_all();
    }

    int read(int32_t lba, int count, uint8_t* out) override {
        if (held && lba >= holdFrom) {
            std::unique_lock lk(m_);
            inRead_ = true;
            cv_.notify_all();
            // A command that waited for this read would stall here until the deadline.
            cv_.wait_for(lk, 10s, [this] { return released_; });
            released_ = true;
            held = false;
        }
        const int readable = std::clamp(failFrom - lba, 0, count);
        for (int s = 0; s < readable; ++s) {
            for (int f = 0; f < kFrames; ++f) {
                for (int c = 0; c < 2; ++c) {
                    const int16_t v = inAudio(audio_, lba + s) ? sampleAt(lba + s, f, c) : 0x5a5a;
                    uint8_t* p = out + (static_cast<size_t>(s) * kFrames + f) * 4 + c * 2;
                    p[0] = static_cast<uint8_t>(v & 0xff);
                    p[1] = static_cast<uint8_t>((v >> 8) & 0xff);
                }
            }
        }
        return readable;
    }

private:
    std::vector<AudioSpan> audio_;
    std::mutex m_;
    std::condition_variable cv_;
    bool inRead_ = false, released_ = false;
};

// Waits, with a generous deadline, until `done` holds.
inline bool waitFor(const std::function<bool()>& done) {
    for (const auto end = std::chrono::steady_clock::now() + 10s; !done(); std::this_thread::sleep_for(5ms))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

inline std::vector<int16_t> expected(const std::vector<AudioSpan>& audio, int32_t from, int32_t to) {
    std::vector<int16_t> out;
    for (int32_t lba = from; lba < to; ++lba) {
        if (!inAudio(audio, lba)) continue;
        for (int f = 0; f < kFrames; ++f)
            for (int c = 0; c < 2; ++c) out.push_back(sampleAt(lba, f, c));
    }
    return out;
}

}  // namespace memorysource
