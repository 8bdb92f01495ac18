// The null and capture outputs: a thread with a clock takes frames ahead at
// the rate a sound card would, and the clock says which are heard,
// so modes and positions behave as with a device. The capture output also
// writes the frames the player gave (never the silence in between) to a WAV
// file as they are heard, so what a stop discards is not in it; its header is
// fixed up on each stop.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "core/log.h"
#include "mcicda/audio_output.h"

namespace winshim {
namespace {

std::atomic<double> g_speed{1.0};
// Seconds of frames taken ahead of the clock at real speed.
constexpr double kRealTimeAhead = 0.2;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class PacedOutput : public AudioOutput {
public:
    explicit PacedOutput(bool standIn = false) : standIn_(standIn) {}
    ~PacedOutput() override { PacedOutput::stop(); }
    const char* name() const override { return "null"; }
    bool standIn() const override { return standIn_; }

    bool start(Pull pull, int64_t first) override {
        stop();
        pull_ = std::move(pull);
        taken_ = first;
        first_ = first;
        startNs_ = nowNs();
        held_ = -1;
        quit_ = false;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() override {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lk(m_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
        // What was taken past the frame heard now is dropped, as a device's
        // buffer is.
        held_ = heard();
        stopped(held_);
    }
    int64_t startFrames() const override {
        return g_speed.load() > 1 ? 0 : static_cast<int64_t>(kRealTimeAhead * kSampleRate);
    }
    int64_t taken() const override { return taken_; }
    // Taken ahead, heard by the clock, as from a device's buffer.
    int64_t heard() const override {
        if (const int64_t held = held_; held >= 0) return held;
        const double seconds = (nowNs() - startNs_) / 1e9 * g_speed.load();
        return std::min<int64_t>(taken_, first_ + static_cast<int64_t>(seconds * kSampleRate));
    }

protected:
    // The frames the player filled, as they are taken, numbered from `index`.
    virtual void took(const int16_t* /*frames*/, int /*count*/, int64_t /*index*/) {}
    // Every frame before `heard` has been heard.
    virtual void played(int64_t /*heard*/) {}
    // Stopped once the frames before `heard` were heard; the rest is dropped.
    virtual void stopped(int64_t /*heard*/) {}

private:
    void run() {
        using Clock = std::chrono::steady_clock;
        constexpr int kMaxPull = 4096;
        std::vector<int16_t> buf(kMaxPull * kChannels);
        const int64_t first = taken_;
        double virtualSeconds = 0;
        auto last = Clock::now();
        std::unique_lock lk(m_);
        while (!quit_) {
            // Real time takes frames in 50 ms steps, few enough wakeups for a
            // quiet process, and keeps a device's buffer ahead, so that a busy
            // machine waking this thread late does not hold the clock back;
            // faster runs for tests take them a 5 ms step ahead.
            const bool fast = g_speed.load() > 1;
            const auto step = fast ? std::chrono::milliseconds(5) : std::chrono::milliseconds(50);
            auto now = Clock::now();
            virtualSeconds += std::chrono::duration<double>(now - last).count() * g_speed.load();
            last = now;
            const double ahead =
                fast ? std::chrono::duration<double>(step).count() * g_speed.load() : kRealTimeAhead;
            const int64_t due = first + static_cast<int64_t>((virtualSeconds + ahead) * kSampleRate);
            lk.unlock();
            while (taken_ < due) {
                const int n = static_cast<int>(std::min<int64_t>(due - taken_, kMaxPull));
                const int given = std::clamp(pull_(buf.data(), n, taken_), 0, n);
                if (given > 0) took(buf.data(), given, taken_);
                taken_ += n;
            }
            played(heard());
            lk.lock();
            cv_.wait_for(lk, step, [this] { return quit_; });
        }
    }

    const bool standIn_;
    Pull pull_;
    std::atomic<int64_t> taken_{0};
    std::atomic<int64_t> first_{0};
    std::atomic<int64_t> startNs_{0};
    std::atomic<int64_t> held_{-1};  // heard() while stopped, -1 while running
    std::mutex m_;
    std::condition_variable cv_;
    bool quit_ = false;
    std::thread thread_;
};

void put16(uint8_t* p, uint16_t v) {
    p[0] = v & 0xff;
    p[1] = v >> 8;
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xff;
}

class CaptureOutput : public PacedOutput {
public:
    explicit CaptureOutput(std::FILE* file) : file_(file) { writeHeader(); }
    ~CaptureOutput() override {
        stop();
        writeHeader();
        std::fclose(file_);
    }
    const char* name() const override { return "capture"; }

protected:
    void took(const int16_t* frames, int count, int64_t index) override {
        pending_.push_back({index, std::vector<int16_t>(frames, frames + static_cast<size_t>(count) * kChannels)});
    }
    void played(int64_t heard) override {
        while (!pending_.empty() && pending_.front().index < heard) {
            Taken& t = pending_.front();
            const int64_t frames = static_cast<int64_t>(t.samples.size() / kChannels);
            const int64_t n = std::min(frames, heard - t.index);
            write(t.samples.data(), n);
            if (n == frames) {
                pending_.pop_front();
            } else {
                t.samples.erase(t.samples.begin(), t.samples.begin() + n * kChannels);
                t.index += n;
            }
        }
    }
    void stopped(int64_t heard) override {
        played(heard);
        pending_.clear();
        writeHeader();
    }

private:
    struct Taken {
        int64_t index;
        std::vector<int16_t> samples;
    };

    void write(const int16_t* frames, int64_t count) {
        std::vector<uint8_t> bytes(static_cast<size_t>(count) * kChannels * 2);
        for (size_t i = 0; i < bytes.size() / 2; ++i) put16(&bytes[2 * i], static_cast<uint16_t>(frames[i]));
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) {
            dataBytes_ += bytes.size();
        } else {
            LOG_Once("audio.capture.write", "capture output: write failed");
        }
    }

    // A canonical 44-byte PCM header; rewritten with the sizes so far, so the
    // file is whole whenever the output is idle.
    void writeHeader() {
        uint8_t h[44];
        std::memcpy(h, "RIFF", 4);
        put32(h + 4, static_cast<uint32_t>(36 + dataBytes_));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        put16(h + 20, 1);  // PCM
        put16(h + 22, kChannels);
        put32(h + 24, kSampleRate);
        put32(h + 28, kSampleRate * kChannels * 2);
        put16(h + 32, kChannels * 2);
        put16(h + 34, 16);
        std::memcpy(h + 36, "data", 4);
        put32(h + 40, static_cast<uint32_t>(dataBytes_));
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file_);
        std::fseek(file_, 0, SEEK_END);
        std::fflush(file_);
    }

    std::FILE* file_;
    uint64_t dataBytes_ = 0;
    std::deque<Taken> pending_;  // taken, not yet heard
};

}  // namespace

void AUDIO_SetSpeed(double factor) {
    g_speed = factor > 0 ? factor : 1.0;
}
double AUDIO_Speed() {
    return g_speed;
}

std::unique_ptr<AudioOutput> AUDIO_OpenNull() {
    return std::make_unique<PacedOutput>();
}

std::unique_ptr<AudioOutput> AUDIO_OpenStandIn() {
    return std::make_unique<PacedOutput>(true);
}

std::unique_ptr<AudioOutput> AUDIO_OpenCapture(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        WS_LOG("audio", "capture output: cannot create %s", path.c_str());
        return nullptr;
    }
    return std::make_unique<CaptureOutput>(f);
}

}  // namespace winshim
