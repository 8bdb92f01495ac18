// The default sound path through a private sound server (as heard_test starts
// it): the time from "play" and from a resume to the first sample at the
// sink's monitor, against paplay of the same samples on the same sink in the
// same run (paplay pays for its process start as well); and the position's
// error against the frame arriving at the monitor over a long play. Prints,
// asserts nothing.  Usage: heard_bench [seconds of position readings, 30]
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sound_server.h"
#include "test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kData = TESTDATA_DIR;
constexpr int kFramesPerSector = 588;
constexpr int kFirst = 150;  // LBA of the image's first sector

std::string send(const std::string& command) {
    char reply[64];
    const MCIERROR error = mciSendStringA(command.c_str(), reply, sizeof reply, nullptr);
    return error ? "error " + std::to_string(error) : std::string(reply);
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The image's frames from its first sector on (every frame of a test image
// is non-zero and unique within 1.5 s).
std::vector<int16_t> imageFrames() {
    const std::string bytes = testsupport::readFile(kData + "/ninetynine.bin");
    std::vector<int16_t> frames(bytes.size() / 2);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return frames;
}

// The first recorded frame from `from` on that is not silence, and the frame
// of the image it is (or -1).
struct Landing {
    int64_t recorded = -1;
    long image = -1;
};
Landing firstSound(const std::vector<int16_t>& rec, int64_t from, const std::vector<int16_t>& image) {
    Landing l;
    for (int64_t f = from; f * 2 + 1 < static_cast<int64_t>(rec.size()); ++f) {
        if (rec[2 * f] || rec[2 * f + 1]) {
            l.recorded = f;
            break;
        }
    }
    if (l.recorded < 0 || (l.recorded + 64) * 2 > static_cast<int64_t>(rec.size())) return l;
    const auto probe = rec.begin() + l.recorded * 2;
    for (size_t f = 0; f + 64 <= image.size() / 2; ++f)
        if (std::equal(probe, probe + 128, image.begin() + static_cast<long>(2 * f))) {
            l.image = static_cast<long>(f);
            break;
        }
    return l;
}

// From `start` to the arrival of the first sound after `from`, less the
// stream's first moments that the monitor did not pass on.
double latency(testsupport::SoundServer& server, Clock::time_point start, int64_t from, long expectedFirst,
               const std::vector<int16_t>& image) {
    for (int i = 0; i < 400; ++i) {
        const Landing l = firstSound(server.recorded(), from, image);
        if (l.image >= 0) return ms(server.arrivalOf(l.recorded) - start) - (l.image - expectedFirst) * 1000.0 / 44100;
        std::this_thread::sleep_for(5ms);
    }
    return NAN;
}

}  // namespace

int main(int argc, char** argv) {
    const double readingsFor = argc > 1 ? std::atof(argv[1]) : 30;
    testsupport::ScratchHome home;
    testsupport::SoundServer server(home.path() + "/pulse");
    const std::string why = server.start();
    if (!why.empty()) {
        std::fprintf(stderr, "heard_bench: %s\n", why.c_str());
        return 1;
    }
    unsetenv("WINSHIM_AUDIO");
    std::filesystem::create_directories(home.windowsDir() + "/drives");
    testsupport::writeFile(home.windowsDir() + "/drives/e:", kData + "/ninetynine.cue\n");
    const std::vector<int16_t> image = imageFrames();
    send("open cdaudio!e: alias cd");
    send("set cd time format milliseconds");
    testsupport::pumpFor(2000);  // the device is found when the disc is
    const std::string from = std::to_string(kFirst * 1000 / 75 + 1);

    // paplay of the image's first 5 s, then the player from the same frame; three times.
    const std::string raw = home.path() + "/first.raw";
    testsupport::writeFile(raw, testsupport::readFile(kData + "/ninetynine.bin").substr(0, 44100 * 4 * 5));
    for (int run = 0; run < 3; ++run) {
        server.record();
        testsupport::pumpFor(300);
        auto t0 = Clock::now();
        std::system(("paplay --raw --format=s16le --rate=44100 --channels=2 " + raw + " &").c_str());
        const double paplay = latency(server, t0, 0, 0, image);
        testsupport::pumpFor(5500);
        const int64_t mark = static_cast<int64_t>(server.recorded().size() / 2);
        t0 = Clock::now();
        send("play cd from " + from);
        const double player = latency(server, t0, mark, 0, image);
        testsupport::pumpFor(1500);
        send("pause cd");
        testsupport::pumpFor(1500);
        const std::vector<int16_t> before = server.recorded();
        const int64_t paused = static_cast<int64_t>(before.size() / 2);
        // The frame after the last one heard before the pause.
        const Landing played = firstSound(before, mark, image);
        int64_t last = paused - 1;
        while (last > played.recorded && !before[2 * last] && !before[2 * last + 1]) --last;
        t0 = Clock::now();
        send("play cd");
        const double resume = latency(server, t0, paused, played.image + (last - played.recorded) + 1, image);
        testsupport::pumpFor(500);
        send("stop cd");
        std::printf("run %d: to the first sample at the monitor: paplay %.0f ms, play %.0f ms, resume %.0f ms\n",
                    run + 1, paplay, player, resume);
    }

    // The position against the frame arriving at the monitor.
    server.record();
    testsupport::pumpFor(300);
    send("play cd from " + from);
    std::vector<std::pair<Clock::time_point, long>> readings;
    const auto end = Clock::now() + std::chrono::duration<double>(readingsFor + 1);
    while (Clock::now() < end) {
        testsupport::pumpFor(50);
        const auto before = Clock::now();
        const long pos = std::stol(send("status cd position"));
        const auto after = Clock::now();
        if (after - before < 2ms) readings.emplace_back(before + (after - before) / 2, pos);
    }
    send("stop cd");
    const std::vector<int16_t> rec = server.recorded();
    const Landing l = firstSound(rec, 0, image);
    double sum = 0, worst = 0;
    int n = 0, over = 0;
    for (const auto& [at, pos] : readings) {
        const int64_t arrived = server.framesAt(at) - l.recorded;
        if (l.image < 0 || arrived < 44100 * 15 / 100) continue;
        const int64_t sector = kFirst + (l.image + arrived) / kFramesPerSector;
        const double error = pos - (sector * 1000.0 / 75 + 1);
        sum += error;
        worst = std::max(worst, std::abs(error));
        over += std::abs(error) > 20;
        ++n;
    }
    std::printf("position against the monitor over %.0f s: mean %+.1f ms, max %.1f ms, %d of %d readings over 20 ms\n",
                readingsFor, n ? sum / n : NAN, worst, over, n);
    send("close cd");
    return 0;
}
