// How soon each command is heard, through a private sound server whose pipe
// sink is read as it renders (tests/support/sound_server): the player is
// mcisend, a process of its own reading commands from a pipe, playing the
// 99-track image through its default sound device. For play, pause, resume,
// seek while playing, play from another place while playing and stop, the
// time from writing the command to the first frame of sound (or of silence)
// leaving the sink, median and worst of N rounds. Then the wakeups per second
// (voluntary context switches of all its threads) and CPU of that process
// while playing and while paused, beside paplay playing the same samples on
// the same sink in the same run. Prints, asserts nothing.
// Usage: transport_bench [rounds, 10]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sound_server.h"
#include "test_support.h"

extern char** environ;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kData = TESTDATA_DIR;
constexpr int kFramesPerSector = 588;
constexpr int kFirst = 150;  // LBA of the image's first sector
constexpr int kQuiet = 441;  // frames of zeros that are silence, not a zero sample

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<int16_t> imageFrames() {
    const std::string bytes = testsupport::readFile(kData + "/ninetynine.bin");
    std::vector<int16_t> frames(bytes.size() / 2);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return frames;
}

struct Child {
    pid_t pid = -1;
    int in = -1;
};

Child spawnChild(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    Child c;
    if (posix_spawnp(&c.pid, args[0], &actions, nullptr, args.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    c.in = fds[1];
    return c;
}

void say(const Child& c, const std::string& command) {
    const std::string line = command + "\n";
    (void)!write(c.in, line.data(), line.size());
}

// (voluntary context switches of all threads, CPU seconds) of a process.
std::pair<long, double> usage(pid_t pid) {
    long switches = 0;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(dir, ec)) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) switches += std::stol(line.substr(24));
    }
    std::string stat = testsupport::readFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 0; i < 13 && fields >> f; ++i) {
        if (i == 11) utime = std::stol(f);
        if (i == 12) stime = std::stol(f);
    }
    return {switches, double(utime + stime) / sysconf(_SC_CLK_TCK)};
}

struct Quiet {
    double wakeups, cpu;
};
Quiet measure(pid_t pid, std::chrono::seconds length) {
    const auto [s0, c0] = usage(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(length);
    const auto [s1, c1] = usage(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return {(s1 - s0) / wall, (c1 - c0) / wall * 100};
}

bool quiet(const std::vector<int16_t>& rec, int64_t f) {
    if ((f + kQuiet) * 2 > static_cast<int64_t>(rec.size())) return false;
    return std::all_of(rec.begin() + f * 2, rec.begin() + (f + kQuiet) * 2, [](int16_t s) { return s == 0; });
}

// Waits until the recording from `mark` on shows what `found` looks for,
// and gives its arrival, less the time of `start`; NAN when it never comes.
template <class Found>
double until(testsupport::SoundServer& server, Clock::time_point start, int64_t mark, Found found) {
    for (int i = 0; i < 600; ++i) {
        const std::vector<int16_t> rec = server.recorded();
        for (int64_t f = mark; (f + kQuiet) * 2 <= static_cast<int64_t>(rec.size()); ++f)
            if (found(rec, f)) return ms(server.arrivalOf(f) - start);
        std::this_thread::sleep_for(5ms);
    }
    return NAN;
}

double toSound(testsupport::SoundServer& s, Clock::time_point t, int64_t mark) {
    return until(s, t, mark, [](const std::vector<int16_t>& r, int64_t f) { return r[2 * f] || r[2 * f + 1]; });
}
double toSilence(testsupport::SoundServer& s, Clock::time_point t, int64_t mark) {
    return until(s, t, mark, quiet);
}
// To the first frame of sector `lba` of the image.
double toFrame(testsupport::SoundServer& s, Clock::time_point t, int64_t mark, const std::vector<int16_t>& image,
               int lba) {
    const auto want = image.begin() + static_cast<long>(lba - kFirst) * kFramesPerSector * 2;
    return until(s, t, mark, [&](const std::vector<int16_t>& r, int64_t f) {
        return std::equal(want, want + 16, r.begin() + f * 2);
    });
}

// The image frame that recorded frame `f` is, searched near `near`; -1 if none.
long imageFrameOf(const std::vector<int16_t>& rec, int64_t f, const std::vector<int16_t>& image, long near) {
    const long frames = static_cast<long>(image.size() / 2);
    const auto probe = rec.begin() + f * 2;
    for (long d = 0; d < 3 * 44100; ++d)
        for (const long at : {near + d, near - d - 1})
            if (at >= 0 && at + 8 <= frames && std::equal(probe, probe + 16, image.begin() + at * 2)) return at;
    return -1;
}

// Where the sound after `resumeMark` goes on against where the sound before
// `pauseMark` stopped, in image frames: 0 when nothing is lost or repeated,
// negative when frames are heard twice.
double seam(const testsupport::SoundServer& server, int64_t pauseMark, int64_t resumeMark,
            const std::vector<int16_t>& image, long near) {
    const std::vector<int16_t> rec = server.recorded();
    int64_t last = -1, first = -1;
    for (int64_t f = pauseMark; f < resumeMark && (f + 1) * 2 <= static_cast<int64_t>(rec.size()); ++f)
        if (rec[2 * f] || rec[2 * f + 1]) last = f;
    for (int64_t f = resumeMark; (f + 8) * 2 <= static_cast<int64_t>(rec.size()); ++f)
        if (rec[2 * f] || rec[2 * f + 1]) {
            first = f;
            break;
        }
    if (last < 8 || first < 0) return NAN;
    const long before = imageFrameOf(rec, last - 7, image, near), after = imageFrameOf(rec, first, image, near);
    return before < 0 || after < 0 ? NAN : double(after - (before + 8));
}

int64_t now(const testsupport::SoundServer& s) {
    return static_cast<int64_t>(s.recorded().size() / 2);
}

std::string msOf(int lba) {
    return std::to_string(lba * 1000 / 75 + 1);
}

void print(const char* what, std::vector<double> v) {
    std::erase_if(v, [](double x) { return std::isnan(x); });
    if (v.empty()) {
        std::printf("  %-28s never\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    std::printf("  %-28s median %6.1f ms   worst %6.1f ms   (%zu rounds)\n", what, median, v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    testsupport::ScratchHome home;
    testsupport::SoundServer server(home.path() + "/pulse");
    const std::string why = server.start();
    if (!why.empty()) {
        std::fprintf(stderr, "transport_bench: %s\n", why.c_str());
        return 1;
    }
    unsetenv("WINSHIM_AUDIO");
    std::filesystem::create_directories(home.windowsDir() + "/drives");
    testsupport::writeFile(home.windowsDir() + "/drives/e:", kData + "/ninetynine.cue\n");
    const std::vector<int16_t> image = imageFrames();
    const int sectors = static_cast<int>(image.size() / 2 / kFramesPerSector);

    Child player = spawnChild({MCISEND_PATH});
    say(player, "open cdaudio!e: alias cd");
    say(player, "set cd time format milliseconds");
    std::this_thread::sleep_for(2s);  // the device is found when the disc is
    server.record();

    std::map<std::string, std::vector<double>> took;
    std::vector<double> seams;
    for (int r = 0; r < rounds; ++r) {
        const int from = kFirst + (r * 97) % (sectors / 3);
        auto t = Clock::now();
        int64_t mark = now(server);
        say(player, "play cd from " + msOf(from));
        took["play -> sound"].push_back(toSound(server, t, mark));
        std::this_thread::sleep_for(800ms);
        t = Clock::now();
        const int64_t pauseMark = mark;
        mark = now(server);
        say(player, "pause cd");
        took["pause -> silence"].push_back(toSilence(server, t, mark));
        std::this_thread::sleep_for(400ms);
        t = Clock::now();
        mark = now(server);
        say(player, "play cd");
        took["resume -> sound"].push_back(toSound(server, t, mark));
        std::this_thread::sleep_for(800ms);
        seams.push_back(
            seam(server, pauseMark, mark, image, static_cast<long>(from - kFirst) * kFramesPerSector + 44100));
        const int elsewhere = from + sectors / 3;
        t = Clock::now();
        mark = now(server);
        say(player, "play cd from " + msOf(elsewhere));
        took["play from, playing -> sound"].push_back(toFrame(server, t, mark, image, elsewhere));
        std::this_thread::sleep_for(800ms);
        t = Clock::now();
        mark = now(server);
        say(player, "seek cd to " + msOf(from));
        took["seek, playing -> silence"].push_back(toSilence(server, t, mark));
        std::this_thread::sleep_for(300ms);
        say(player, "play cd");
        std::this_thread::sleep_for(800ms);
        t = Clock::now();
        mark = now(server);
        say(player, "stop cd");
        took["stop -> silence"].push_back(toSilence(server, t, mark));
        std::this_thread::sleep_for(300ms);
        server.record();  // keeps the recording short
    }
    server.stopRecording();

    // paplay's own start, from its process start, on the same sink.
    const std::string raw = home.path() + "/first.raw";
    testsupport::writeFile(raw, testsupport::readFile(kData + "/ninetynine.bin").substr(0, 44100 * 4 * 12));
    server.record();
    std::this_thread::sleep_for(300ms);
    auto t = Clock::now();
    int64_t mark = now(server);
    Child paplay = spawnChild({"paplay", "--raw", "--format=s16le", "--rate=44100", "--channels=2", raw});
    const double paplayStart = toSound(server, t, mark);
    std::this_thread::sleep_for(1s);
    const Quiet paplayPlaying = measure(paplay.pid, 8s);
    waitpid(paplay.pid, nullptr, 0);
    close(paplay.in);
    server.stopRecording();

    say(player, "play cd from " + msOf(kFirst));
    std::this_thread::sleep_for(1s);
    const Quiet playing = measure(player.pid, 10s);
    say(player, "pause cd");
    std::this_thread::sleep_for(1s);
    const Quiet paused = measure(player.pid, 10s);
    say(player, "close cd");
    close(player.in);
    waitpid(player.pid, nullptr, 0);

    std::printf("command -> first frame leaving the sink (mcisend on the 99-track image, %d rounds)\n", rounds);
    for (const char* what : {"play -> sound", "pause -> silence", "resume -> sound", "play from, playing -> sound",
                             "seek, playing -> silence", "stop -> silence"})
        print(what, took[what]);
    std::printf("  %-28s %6.1f ms (its process start included)\n", "paplay start -> sound", paplayStart);
    std::printf("resume against the pause, frames (0: unbroken, < 0: heard twice, > 0: lost):");
    for (const double f : seams) std::printf(" %.0f", f);
    std::printf("\n");
    std::printf("process while playing: %5.1f wakeups/s, %.2f %% of a core\n", playing.wakeups, playing.cpu);
    std::printf("process while paused:  %5.1f wakeups/s, %.2f %% of a core\n", paused.wakeups, paused.cpu);
    std::printf("paplay while playing:  %5.1f wakeups/s, %.2f %% of a core\n", paplayPlaying.wakeups,
                paplayPlaying.cpu);
    return 0;
}
