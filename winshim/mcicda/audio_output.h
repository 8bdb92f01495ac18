// Where the player's samples go: the default sound device (PortAudio), a null
// output that consumes them in real time, or a capture output that also keeps
// in a WAV file what a listener would have heard. Each output runs its own thread (or the device's) and
// pulls 44.1 kHz s16 stereo frames from the player.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace winshim {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

class AudioOutput {
public:
    // Fills up to `count` interleaved stereo frames and returns how many it
    // filled; the output plays silence for the rest. `index` numbers the first
    // frame of the buffer on the output's own count of frames taken.
    using Pull = std::function<int(int16_t* frames, int count, int64_t index)>;

    virtual ~AudioOutput() = default;
    virtual const char* name() const = 0;
    // Starts taking frames, numbering the first one `first`. False when the
    // device would not start.
    virtual bool start(Pull pull, int64_t first) = 0;
    // Stops taking frames and discards what the device holds: the frames it
    // took but has not played are never heard (a pause or a stop is heard at
    // once; the player reads them again when it goes on). No pull runs once it
    // returns, and heard() stays at the frame heard last until the next start.
    virtual void stop() = 0;
    // One past the last frame taken.
    virtual int64_t taken() const = 0;
    // One past the frame the listener hears now: taken() less what is still on
    // its way through the device. Goes on with the clock past taken() when a
    // device stops calling for frames, until it is found failed. Never blocks.
    virtual int64_t heard() const = 0;
    // True when a started device stopped taking frames on its own.
    virtual bool failed() const { return false; }
    // How many frames the output takes at once when it starts (its whole
    // buffer): a start with fewer at hand would begin with an underrun.
    virtual int64_t startFrames() const { return 0; }
    // Stopped for a while: gives back what the device holds (a sound server's
    // stream and the wakeups that keep it); start() takes it again.
    virtual void rest() {}
    // True for the null output standing in for a device that failed.
    virtual bool standIn() const { return false; }
};

// `choice` is WINSHIM_AUDIO's value: "null", "capture:FILE.wav", or empty for
// the default sound device. Never null: whatever does not open becomes the
// null output.
std::unique_ptr<AudioOutput> AUDIO_Open(const std::string& choice);
std::unique_ptr<AudioOutput> AUDIO_OpenNull();
// The null output in place of a device that failed or would not open.
std::unique_ptr<AudioOutput> AUDIO_OpenStandIn();
std::unique_ptr<AudioOutput> AUDIO_OpenCapture(const std::string& path);  // null when the file cannot be made
std::unique_ptr<AudioOutput> AUDIO_OpenDevice();                          // null when no device opens

// The null and capture outputs run `factor` times real time, so that tests
// can play minutes in seconds. 1 by default.
void AUDIO_SetSpeed(double factor);
double AUDIO_Speed();

// Tests stand their own device in for the default one, to fail it on purpose;
// an empty function puts the real one back.
void AUDIO_SetDeviceForTests(std::function<std::unique_ptr<AudioOutput>()> make);

}  // namespace winshim
