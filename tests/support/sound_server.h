// A private PulseAudio for the tests that listen to what the player sends to the
// default sound device: started in a folder of its own with one pipe sink at
// 44100 Hz, s16le, stereo (so nothing is resampled), paced by the system clock.
// The sink renders every frame of every stream into a FIFO, silence while no
// stream plays, and this object reads the FIFO as it fills: unlike a null
// sink's monitor, which records nothing while the sink is idle and can lose a
// stream's first moments, nothing a client sent can be missing. While the
// object lives, this process's sound clients (ALSA's pulse plugin included)
// reach this server and no other, and never start one of their own.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class SoundServer {
public:
    using Clock = std::chrono::steady_clock;

    explicit SoundServer(const std::string& folder);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Starts the server and waits for its sink. Empty when it runs; otherwise
    // why it does not, with what the server printed.
    std::string start();
    // Ends the server at once, as a crash would.
    void kill();

    // Keeps what the sink renders from now on (silence included), in memory.
    void record();
    // Stops keeping it; the frames stay.
    void stopRecording();
    // Interleaved s16 stereo, as recorded so far.
    std::vector<int16_t> recorded() const;
    // How many frames had arrived at `when`.
    int64_t framesAt(Clock::time_point when) const;
    // When frame `frame` arrived; the latest time when it has not.
    Clock::time_point arrivalOf(int64_t frame) const;
    // True when the reads on either side of `when` each took at most one of
    // the sink's blocks: the reader kept up, so framesAt(when) is when they
    // arrived, not when a busy machine let the reader see them.
    bool keptUpAt(Clock::time_point when) const;

    // `pactl ARGS` against this server: its standard output, or "" when it failed.
    std::string pactl(const std::string& args) const;
    // What the server printed.
    std::string log() const;

private:
    void readSink();

    std::string folder_;
    std::string socket_;
    std::string fifo_;
    pid_t server_ = -1;
    int fd_ = -1;             // the FIFO, open for reading and writing (so no EOF between servers)
    int wake_[2] = {-1, -1};  // ends the reader
    std::thread reader_;
    mutable std::mutex m_;
    bool recording_ = false;
    std::vector<int16_t> samples_;
    std::vector<std::pair<Clock::time_point, int64_t>> arrivals_;  // (when, frames so far)
};

}  // namespace testsupport
