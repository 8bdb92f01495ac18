// The playback engine: a reader thread fills a ring buffer of a few seconds of
// audio from a disc's sectors, and an audio output drains it. The disc is one
// continuous stream; spans that are not audio (data tracks) are skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace winshim {

// Where samples come from: reads raw audio sectors (2352 bytes each, s16le
// stereo). Called from the reader thread. Returns how many sectors it read,
// from the first: fewer than `count` when a sector cannot be read.
class SectorSource {
public:
    virtual ~SectorSource() = default;
    virtual int read(int32_t lba, int count, uint8_t* out) = 0;
};

struct AudioSpan {
    int32_t start;  // first LBA
    int32_t end;    // one past the last LBA
};

class Player {
public:
    enum class State { Stopped, Playing, Paused };

    // `audio`: the audio spans of the disc in order; playback skips the gaps between them.
    // The output is chosen from WINSHIM_AUDIO (null, capture:FILE.wav) or else
    // PortAudio's default device, falling back to the null output.
    Player(std::shared_ptr<SectorSource> source, std::vector<AudioSpan> audio);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays [from, to) in LBA frames (to is exclusive), from the first sample of `from`.
    void play(int32_t from, int32_t to);
    // Keeps the position; resume() goes on with the next sample.
    void pause();
    void resume();
    // Stops; the position stays where the output was.
    void stop();
    State state() const;
    // The LBA frame of the sample the listener hears now: frames delivered to the
    // sound device, corrected by its latency. At the end of play it is `to`.
    int32_t position() const;
    // Called (on the engine's thread) when play reaches `to` or the source fails.
    void setOnEnd(std::function<void()> onEnd);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace winshim
