// The playback engine's cost and accuracy: CPU time per minute of playback
// through the null output, how far the reported position is from the frames the
// output took, and how long each command takes while the drive is in a slow read
// (the UI thread sends them; 50 ms is the most a click may wait). Plays in real
// time; prints, asserts nothing.
// Usage: playback_bench [seconds]   (default 5)
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mcicda/audio_output.h"
#include "mcicda/disc.h"
#include "mcicda/player.h"

namespace {

using winshim::AudioOutput;
using winshim::kSectorBytes;

// A ramp: cheap, so that the engine's own cost shows.
class RampSource : public winshim::SectorSource {
public:
    int read(int32_t lba, int count, uint8_t* out) override {
        for (int i = 0; i < count * kSectorBytes; ++i) out[i] = static_cast<uint8_t>(lba + i);
        return count;
    }
};

// A drive that takes 400 ms for every read.
class SlowSource : public RampSource {
public:
    int read(int32_t lba, int count, uint8_t* out) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return RampSource::read(lba, count, out);
    }
};

// Each command, sent while the engine is in its first read of a slow drive.
void commandTimes() {
    std::printf("commands during a 400 ms read (a click may wait 50 ms at most):");
    for (const char* command : {"stop", "play", "pause", "destroy"}) {
        auto player = std::make_unique<winshim::Player>(std::make_shared<SlowSource>(),
                                                        std::vector<winshim::AudioSpan>{{150, 1650}});
        player->play(150, 1650);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto t0 = std::chrono::steady_clock::now();
        const std::string c = command;
        if (c == "stop") player->stop();
        if (c == "play") player->play(300, 400);
        if (c == "pause") player->pause();
        if (c == "destroy") player.reset();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        std::printf(" %s %.2f ms", command, ms);
    }
    std::printf("\n");
}

// The null output, with its frame count in view of the benchmark.
std::atomic<AudioOutput*> g_output{nullptr};
class Watched : public AudioOutput {
public:
    Watched() { g_output = this; }
    ~Watched() override { g_output = nullptr; }
    const char* name() const override { return "watched null"; }
    bool start(Pull pull, int64_t first) override { return inner_->start(std::move(pull), first); }
    void stop() override { inner_->stop(); }
    int64_t taken() const override { return inner_->taken(); }
    int64_t heard() const override { return inner_->heard(); }

private:
    std::unique_ptr<AudioOutput> inner_ = winshim::AUDIO_OpenNull();
};

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    setenv("WINSHIM_AUDIO", "", 1);
    winshim::AUDIO_SetDeviceForTests([] { return std::make_unique<Watched>(); });

    const int32_t from = 150, to = from + static_cast<int32_t>((seconds + 10) * 75);
    winshim::Player player(std::make_shared<RampSource>(), {{from, to}});

    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    player.play(from, to);
    double sumError = 0, maxError = 0;
    int samples = 0;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::duration<double>(seconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        AudioOutput* out = g_output;
        if (!out) continue;
        // Frames the output took, as an LBA frame, against what the player says.
        const double delivered = from + out->taken() / 588.0;
        const double error = std::fabs(player.position() - delivered) / 75.0 * 1000.0;
        sumError += error;
        maxError = std::max(maxError, error);
        ++samples;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    player.stop();

    std::printf("played %.1f s through the null output\n", wall);
    std::printf("CPU: %.1f ms per minute of playback (%.3f%% of one core)\n", cpu / wall * 60 * 1000, cpu / wall * 100);
    std::printf(
        "position against frames delivered: mean %.1f ms, max %.1f ms over %d samples "
        "(an LBA frame is 13.3 ms)\n",
        samples ? sumError / samples : 0.0, maxError, samples);
    winshim::AUDIO_SetDeviceForTests(nullptr);
    commandTimes();
    return 0;
}
