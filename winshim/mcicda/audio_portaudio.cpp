// The default sound device through PortAudio's callback interface. What the
// listener hears is computed from the buffer the device is playing: frames
// before it, plus the stream time elapsed since its DAC time. Where the stream
// clock does not run (some ALSA and pulse set-ups keep it at 0), frames taken
// less the stream's latency stand in.
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

bool initPortAudio() {
    static const bool ok = [] {
        silenceProbes();
        PaError err = Pa_Initialize();
        if (err != paNoError) WS_LOG("audio", "Pa_Initialize: %s", Pa_GetErrorText(err));
        return err == paNoError;
    }();
    return ok;
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class PortAudioOutput : public AudioOutput {
public:
    ~PortAudioOutput() override {
        if (!stream_) return;
        PortAudioOutput::stop();
        Pa_CloseStream(stream_);
    }
    bool open(const PaStreamParameters& params) {
        PaError err = Pa_OpenStream(&stream_, nullptr, &params, kSampleRate, paFramesPerBufferUnspecified, paNoFlag,
                                    &PortAudioOutput::callback, this);
        if (err != paNoError) {
            WS_LOG("audio", "PortAudio: cannot open the default device: %s", Pa_GetErrorText(err));
            stream_ = nullptr;
            return false;
        }
        if (const PaStreamInfo* info = Pa_GetStreamInfo(stream_))
            latencyFrames_ = static_cast<int64_t>(info->outputLatency * kSampleRate);
        return true;
    }
    const char* name() const override { return "PortAudio"; }

    bool start(Pull pull, int64_t first) override {
        stop();
        pull_ = std::move(pull);
        taken_ = first;
        {
            std::lock_guard lk(m_);
            bufferFirst_ = first;
            bufferDac_ = 0;
        }
        lastHeard_ = first;
        lastCallbackMs_ = nowMs();
        PaError err = Pa_StartStream(stream_);
        if (err != paNoError) {
            WS_LOG("audio", "Pa_StartStream: %s", Pa_GetErrorText(err));
            return false;
        }
        started_ = true;
        return true;
    }
    void stop() override {
        if (!started_) return;
        started_ = false;
        // Abort rather than drain: a stop is heard at once.
        Pa_AbortStream(stream_);
    }
    int64_t taken() const override { return taken_; }
    int64_t heard() const override {
        int64_t first;
        double dac;
        {
            std::lock_guard lk(m_);
            first = bufferFirst_;
            dac = bufferDac_;
        }
        const int64_t taken = taken_;
        const double now = started_ ? Pa_GetStreamTime(stream_) : 0;
        int64_t h =
            (dac > 0 && now > 0) ? first + static_cast<int64_t>((now - dac) * kSampleRate) : taken - latencyFrames_;
        h = std::clamp(h, lastHeard_.load(), taken);
        lastHeard_ = h;
        return h;
    }
    bool failed() const override {
        if (!started_) return false;
        return Pa_IsStreamActive(stream_) != 1 || nowMs() - lastCallbackMs_ > 1500;
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
        {
            std::lock_guard lk(m_);
            bufferFirst_ = first;
            bufferDac_ = time ? time->outputBufferDacTime : 0;
        }
        taken_ = first + count;
        lastCallbackMs_ = nowMs();
        return paContinue;
    }

    PaStream* stream_ = nullptr;
    Pull pull_;
    int64_t latencyFrames_ = 0;
    std::atomic<bool> started_{false};
    std::atomic<int64_t> taken_{0};
    std::atomic<int64_t> lastCallbackMs_{0};
    mutable std::atomic<int64_t> lastHeard_{0};
    mutable std::mutex m_;
    int64_t bufferFirst_ = 0;  // first frame of the buffer last handed to the device
    double bufferDac_ = 0;     // when its first frame reaches the DAC, on the stream clock
};

}  // namespace

std::unique_ptr<AudioOutput> AUDIO_OpenDevice() {
    if (!initPortAudio()) return nullptr;
    PaDeviceIndex dev = Pa_GetDefaultOutputDevice();
    if (dev == paNoDevice) {
        WS_LOG("audio", "PortAudio: no default output device");
        return nullptr;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    PaStreamParameters params{};
    params.device = dev;
    params.channelCount = kChannels;
    params.sampleFormat = paInt16;
    // A player needs no low latency: the position is corrected for it.
    params.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    auto output = std::make_unique<PortAudioOutput>();
    if (!output->open(params)) return nullptr;
    WS_LOG("audio", "PortAudio: %s", info ? info->name : "default device");
    return output;
}

}  // namespace winshim
