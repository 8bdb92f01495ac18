// The default sound device through PortAudio's callback interface. The
// device's buffer is filled from the player's ring when the stream starts
// (not with silence), so the first frame is heard one device latency after
// play, however long the buffer. What the listener hears is computed from the
// last buffer handed to the device and the delay PortAudio measured for it
// (its DAC time less the time of the callback), extrapolated on the monotonic
// clock: asking the device would block when its sound server has gone.
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "mcicda/audio_output.h"

namespace winshim {
namespace {

// ALSA and JACK print dozens of lines while PortAudio probes for devices that
// are not there; their own hooks take them, if the libraries are loaded.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
extern "C" void quietJack(const char*) {}

void silenceProbes() {
    using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
    using JackHandler = void (*)(const char*);
    if (auto set = reinterpret_cast<int (*)(AlsaHandler)>(dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")))
        set(quietAlsa);
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (auto set = reinterpret_cast<void (*)(JackHandler)>(dlsym(RTLD_DEFAULT, name))) set(quietJack);
    }
}

void nameTheStream();

bool initPortAudio() {
    static const bool ok = [] {
        silenceProbes();
        nameTheStream();
        PaError err = Pa_Initialize();
        if (err != paNoError) WS_LOG("audio", "Pa_Initialize: %s", Pa_GetErrorText(err));
        return err == paNoError;
    }();
    return ok;
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Long periods keep the process quiet (a period is a wakeup of PortAudio's
// thread and of the sound server's client thread); the buffer of two of them
// is what a start fills at once (a pause or a stop drops it).
// Set while the device is missing, so that retries say nothing new.
std::atomic<bool> g_silent{false};

constexpr unsigned long kPeriodFrames = kSampleRate / 5;
constexpr double kLatency = 0.4;
constexpr int64_t kPeriodNs = 1000000000LL * kPeriodFrames / kSampleRate;

class PortAudioOutput : public AudioOutput {
public:
    ~PortAudioOutput() override {
        if (!stream_) return;
        PortAudioOutput::stop();
        Pa_CloseStream(stream_);
    }
    bool open(const PaStreamParameters& params) {
        params_ = params;
        PaError err = Pa_OpenStream(&stream_, nullptr, &params, kSampleRate, kPeriodFrames,
                                    paPrimeOutputBuffersUsingStreamCallback, &PortAudioOutput::callback, this);
        if (err != paNoError) {
            stream_ = nullptr;
            say("cannot open the default sound device: %s", Pa_GetErrorText(err));
            return false;
        }
        g_silent = false;
        const PaStreamInfo* info = Pa_GetStreamInfo(stream_);
        latencyNs_ = static_cast<int64_t>((info ? info->outputLatency : kLatency) * 1e9);
        bufferFrames_ = static_cast<int64_t>((info ? info->outputLatency : kLatency) * kSampleRate) + kPeriodFrames;
        return true;
    }
    const char* name() const override { return "PortAudio"; }
    int64_t startFrames() const override { return bufferFrames_; }

    void rest() override {
        stop();
        if (stream_) Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

    bool start(Pull pull, int64_t first) override {
        stop();
        if (!stream_ && !open(params_)) return false;
        pull_ = std::move(pull);
        taken_ = first;
        startTaken_ = first;
        {
            std::lock_guard lk(m_);
            bufferFirst_ = first;
            bufferDueNs_ = nowNs() + latencyNs_;
        }
        lastHeard_ = first;
        lastCallbackNs_ = nowNs();
        playing_ = false;
        started_ = true;
        PaError err = Pa_StartStream(stream_);
        if (err != paNoError) {
            started_ = false;
            say("the sound device would not start: %s", Pa_GetErrorText(err));
            return false;
        }
        return true;
    }
    void stop() override {
        if (!started_) return;
        // Abort rather than drain: what the device holds is dropped, and a
        // stop is heard at once. The listener heard up to now, and no more
        // than the device took.
        const int64_t h = std::min<int64_t>(heard(), taken_);
        started_ = false;
        Pa_AbortStream(stream_);
        playing_ = false;
        lastHeard_ = h;
    }
    int64_t taken() const override { return taken_; }
    int64_t heard() const override {
        // From the start on, by the delay the device measured for the last
        // buffer: a pause right after a start must know how much was heard.
        if (!started_) return lastHeard_;
        int64_t first, due;
        {
            std::lock_guard lk(m_);
            first = bufferFirst_;
            due = bufferDueNs_;
        }
        // Never back. Past what the device took only when it stopped calling
        // for frames: the listener's time goes on all the same.
        const int64_t h = first + (nowNs() - due) * kSampleRate / 1000000000;
        int64_t last = lastHeard_.load();
        while (h > last && !lastHeard_.compare_exchange_weak(last, h)) {
        }
        return std::max(h, last);
    }
    bool failed() const override {
        if (!started_) return false;
        // A device that stopped calling for frames for several buffers' time
        // is gone (its sound server died, it was unplugged). After the first
        // fill a sound server may take a second or more to begin.
        const int64_t limit = playing_ ? 2 * latencyNs_ + 250000000 : 3000000000;
        return Pa_IsStreamActive(stream_) != 1 || nowNs() - lastCallbackNs_ > limit;
    }

    static int callback(const void*, void* output, unsigned long count, const PaStreamCallbackTimeInfo* time,
                        PaStreamCallbackFlags, void* self) {
        return static_cast<PortAudioOutput*>(self)->fill(static_cast<int16_t*>(output), static_cast<int>(count), time);
    }

private:
    int fill(int16_t* out, int count, const PaStreamCallbackTimeInfo* time) {
        const int64_t first = taken_;
        const int given = pull_ ? std::clamp(pull_(out, count, first), 0, count) : 0;
        std::memset(out + given * kChannels, 0, sizeof(int16_t) * kChannels * (count - given));
        const int64_t now = nowNs();
        // The first fill comes in a burst, before the sound server plays any
        // of it (it may wait a second or more to begin): the clock runs from
        // the first call that came a period after the one before, when the
        // server has taken a period and the delay tells when it plays.
        if (!playing_ && first - startTaken_ >= bufferFrames_ - static_cast<int64_t>(kPeriodFrames) &&
            now - lastCallbackNs_ > kPeriodNs / 2)
            playing_ = true;
        // The delay until this buffer's first frame is heard, as the device
        // measured it; its stream clock itself may stand still (the ALSA pulse
        // plugin keeps it at 0), the difference still holds.
        const double delay = time ? time->outputBufferDacTime - time->currentTime : -1;
        const int64_t delayNs = delay >= 0 && delay < 10 ? static_cast<int64_t>(delay * 1e9) : latencyNs_;
        {
            std::lock_guard lk(m_);
            bufferFirst_ = first;
            bufferDueNs_ = now + delayNs;
        }
        taken_ = first + count;
        lastCallbackNs_ = now;
        return paContinue;
    }

    // One line on standard error for what a user would want to know: why
    // there is no sound.
    static void say(const char* format, const char* what) {
        if (!g_silent.exchange(true)) LOG_Print("audio", format, what);
    }

    PaStream* stream_ = nullptr;
    PaStreamParameters params_{};
    Pull pull_;
    int64_t latencyNs_ = 0;
    int64_t bufferFrames_ = 0;
    std::atomic<bool> started_{false};
    std::atomic<bool> playing_{false};  // the server began to play the first fill
    std::atomic<int64_t> taken_{0};
    int64_t startTaken_ = 0;
    std::atomic<int64_t> lastCallbackNs_{0};
    mutable std::atomic<int64_t> lastHeard_{0};
    mutable std::mutex m_;
    int64_t bufferFirst_ = 0;  // first frame of the buffer last handed to the device
    int64_t bufferDueNs_ = 0;  // when that frame is heard, on the monotonic clock
};

// The sound server shows the stream under the application's name, so that a
// user finds the player in the volume mixer; set before PortAudio first
// connects, and never over what the user set.
void nameTheStream() {
    setenv("PULSE_PROP_OVERRIDE", "application.name=" WINSHIM_PRODUCT_NAME " media.role=music", 0);
}

}  // namespace

std::unique_ptr<AudioOutput> AUDIO_OpenDevice() {
    if (!initPortAudio()) return nullptr;
    PaDeviceIndex dev = Pa_GetDefaultOutputDevice();
    if (dev == paNoDevice) {
        if (!g_silent.exchange(true)) LOG_Print("audio", "no default sound device");
        return nullptr;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    PaStreamParameters params{};
    params.device = dev;
    params.channelCount = kChannels;
    params.sampleFormat = paInt16;
    // A player needs no low latency: the position is corrected for it.
    params.suggestedLatency = kLatency;
    auto output = std::make_unique<PortAudioOutput>();
    if (!output->open(params)) return nullptr;
    WS_LOG("audio", "PortAudio: %s", info ? info->name : "default device");
    return output;
}

}  // namespace winshim
