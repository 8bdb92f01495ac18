// The playback engine's shared state and the steps it is made of; player.cpp
// describes the states and runs them. Private to the player.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mcicda/audio_output.h"
#include "mcicda/player.h"
#include "mcicda/player_stream.h"

namespace winshim::playback {

constexpr int kChunkSectors = 12;                 // one read: 160 ms of audio
constexpr size_t kRingFrames = 3 * kSampleRate;   // what the reader keeps ahead
constexpr size_t kPrimeFrames = kSampleRate / 4;  // read after the ring ran dry
constexpr auto kDeviceCheck = std::chrono::milliseconds(500);
constexpr auto kRestAfter = std::chrono::seconds(5);
constexpr size_t kRecords = 2048;  // far more than any device's latency

enum class Phase { Idle, Resting, Priming, Playing, Refilling, Starved, Draining, Paused };

inline bool outputRuns(Phase p) {
    return p == Phase::Playing || p == Phase::Refilling || p == Phase::Starved || p == Phase::Draining;
}

struct Record {
    int64_t index;  // output frame index of the first frame handed out
    int64_t frame;  // stream frame it was
    int count;
};

// A chunk asked of the reader, and once read, what it read.
struct Read {
    uint64_t generation;
    int64_t sector;  // the stream sector it begins with
    PlayPlan::Run run;
    std::vector<int16_t> pcm;
    int got = -1;  // sectors read, from the first; -1 while under way
};

struct Core {
    Core(std::shared_ptr<SectorSource> s, std::vector<AudioSpan> a, std::string c)
        : source(std::move(s)), audio(std::move(a)), choice(std::move(c)), ring(kRingFrames) {
        if (!audio.empty()) stoppedPos = audio.front().start;
    }

    void run();
    void readLoop();
    int pull(int16_t* frames, int count, int64_t index);
    int64_t heardFrameLocked() const;
    int32_t positionLocked() const;

    // The steps; each takes the held lock, may drop it for a while, and
    // returns the next state.
    Phase stepIdle(std::unique_lock<std::mutex>& lk);
    Phase stepResting(std::unique_lock<std::mutex>& lk);
    Phase stepPriming(std::unique_lock<std::mutex>& lk);
    Phase stepPlaying(std::unique_lock<std::mutex>& lk);
    Phase stepRefilling(std::unique_lock<std::mutex>& lk);
    Phase stepStarved(std::unique_lock<std::mutex>& lk);
    Phase stepDraining(std::unique_lock<std::mutex>& lk);
    Phase stepPaused(std::unique_lock<std::mutex>& lk);

    Phase obey(std::unique_lock<std::mutex>& lk);
    bool asked() const { return quit || following != generation || mode != wanted(phase); }
    static Player::State wanted(Phase p) {
        return p == Phase::Paused                        ? Player::State::Paused
               : p == Phase::Idle || p == Phase::Resting ? Player::State::Stopped
                                                         : Player::State::Playing;
    }
    void begin(int64_t frame);
    bool allRead() const { return consumed + static_cast<int64_t>(ring.size()) >= total; }
    bool roomForChunk() const;
    bool fetch(int64_t frames = 0);
    void waitForRead(std::unique_lock<std::mutex>& lk);
    void openOutput(std::unique_lock<std::mutex>& lk);
    bool startOutput(std::unique_lock<std::mutex>& lk);
    void haltOutput(std::unique_lock<std::mutex>& lk);
    void replaceOutput(std::unique_lock<std::mutex>& lk);
    Phase finish(std::unique_lock<std::mutex>& lk);
    // Playing or Refilling become `next`, unless the pull found the ring dry meanwhile.
    Phase unlessStarved(Phase next) const { return phase == Phase::Starved ? phase : next; }
    // How long until the output has played out every frame handed to it.
    std::chrono::milliseconds untilHeard(int64_t index) const;

    mutable std::mutex m;
    std::condition_variable cv;
    std::condition_variable readCv;  // wakes the reader
    const std::shared_ptr<SectorSource> source;
    const std::vector<AudioSpan> audio;
    const std::string choice;
    std::function<void()> onEnd;
    bool quit = false;
    bool busy = false;         // the engine waits for the sound device, the lock dropped
    std::optional<Read> read;  // the chunk asked of the reader

    // What the commands ask.
    Player::State mode = Player::State::Stopped;
    uint64_t generation = 0;  // one more with each play and stop
    PlayPlan plan;
    int64_t total = 0;        // stream frames to play; cut short by a failed read
    int32_t endPos = 0;       // the position once play has ended
    int64_t resumeFrame = 0;  // where the next Priming reads from: 0 for a play, the frame heard last after a pause
    int32_t stoppedPos = 0;

    // The engine's own.
    Phase phase = Phase::Idle;
    uint64_t following = 0;  // the generation the ring and the output are for
    std::unique_ptr<AudioOutput> out;
    FrameRing ring;
    int64_t nextSector = 0;  // next stream sector to read
    int skip = 0;            // frames of that sector that come before the resume frame
    int64_t consumed = 0;    // stream frame of the next frame the pull hands out
    std::deque<Record> records;
};

}  // namespace winshim::playback
