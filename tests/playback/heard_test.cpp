// The cdaudio device through the default sound device, heard at a private
// sound server: what its pipe sink renders is compared, sample for sample and
// from the first one, with the image mkdisc wrote, and the position with the
// frame arriving there. These tests fail, not skip, when the server cannot start.
#include <windows.h>
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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

struct Layout {
    std::vector<std::pair<int, unsigned>> tracks;  // (start LBA, seed); all audio
    int leadOut = 0;
};

Layout readLayout(const std::string& name) {
    Layout layout;
    std::ifstream in(kData + "/" + name + ".layout");
    std::string line, key, word;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        words >> key;
        if (key == "track") {
            int number, start;
            unsigned seed;
            words >> number >> word >> start >> word >> word >> word >> word >> word >> seed;
            layout.tracks.emplace_back(start, seed);
        } else if (key == "leadout") {
            words >> layout.leadOut;
        }
    }
    return layout;
}

// The frames of [from, to) as mkdisc's layout header defines them.
std::vector<int16_t> imageFrames(const Layout& l, int from, int to) {
    std::vector<int16_t> samples;
    for (int lba = from; lba < to; ++lba) {
        unsigned seed = 0;
        for (const auto& [start, s] : l.tracks)
            if (start <= lba) seed = s;
        for (uint32_t k = 0; k < kFramesPerSector; ++k) {
            const uint32_t n = uint32_t(lba) * kFramesPerSector + k;
            samples.push_back(int16_t(uint16_t(n * 31u + seed * 4099u)));
            samples.push_back(int16_t(uint16_t(n * 17u + seed * 257u + 12345u)));
        }
    }
    return samples;
}

// What was heard, without the silence of a stream that has not begun, a pause
// or an underrun: frames whose two samples are both 0.
std::vector<int16_t> sound(const std::vector<int16_t>& recorded, size_t* leadingSilence = nullptr) {
    std::vector<int16_t> out;
    for (size_t i = 0; i + 1 < recorded.size(); i += 2) {
        if (recorded[i] == 0 && recorded[i + 1] == 0) {
            if (out.empty() && leadingSilence) ++*leadingSilence;
            continue;
        }
        out.push_back(recorded[i]);
        out.push_back(recorded[i + 1]);
    }
    return out;
}

// The player's own lines among what went to standard error.
int diagnostics(const std::string& said) {
    int n = 0;
    for (size_t at = said.find("winshim:audio:"); at != std::string::npos; at = said.find("winshim:audio:", at + 1))
        ++n;
    return n;
}

class Heard : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("WINSHIM_AUDIO");  // the default sound device
        std::filesystem::create_directories(home_.windowsDir() + "/drives");
        testsupport::writeFile(home_.windowsDir() + "/drives/e:", kData + "/three.cue\n");
        layout_ = readLayout("three");
        ASSERT_EQ(layout_.tracks.size(), 3u);
        const std::string why = server_.start();
        ASSERT_EQ(why, "") << "the private sound server did not start";
    }
    void TearDown() override {
        mciSendStringA("close all", nullptr, 0, nullptr);
        setenv("WINSHIM_AUDIO", "null", 1);
    }
    void open() { ASSERT_EQ(send("open cdaudio!e: alias cd"), "1"); }

    std::string send(const std::string& command) {
        char reply[64];
        const MCIERROR error = mciSendStringA(command.c_str(), reply, sizeof reply, nullptr);
        return error ? "error " + std::to_string(error) : std::string(reply);
    }
    // Waits (answering messages) until play ends.
    void waitStopped(int seconds = 20) {
        for (int i = 0; i < seconds * 20 && send("status cd mode") != "stopped"; ++i) testsupport::pumpFor(50);
        ASSERT_EQ(send("status cd mode"), "stopped");
    }
    // Stops recording once the sink has rendered the end.
    std::vector<int16_t> recordedAfterEnd() {
        testsupport::pumpFor(700);
        server_.stopRecording();
        return server_.recorded();
    }
    // What the sink rendered, silence aside, is the range from its very
    // first frame: nothing lost, nothing repeated, nothing changed.
    void expectHeard(const std::vector<int16_t>& recorded, int from, int to) {
        const std::vector<int16_t> got = sound(recorded), want = imageFrames(layout_, from, to);
        EXPECT_EQ(got.size(), want.size()) << "frames heard against frames in the range";
        const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
        EXPECT_TRUE(diff.first == got.end() && diff.second == want.end())
            << "first difference at frame " << (diff.first - got.begin()) / 2 << " of " << got.size() / 2;
    }
    // Across pauses: every stretch of sound is the range, in order, from its
    // very first frame to its last, and each goes on near where the one
    // before stopped. Not to the frame: the player knows where a pause landed
    // only from the delay the device measured, which is off by what the sink
    // had rendered ahead (it renders blocks of 1024 frames) and, on a busy
    // machine or right after a start, by up to a device period (a fifth of a
    // second) either way. The seams are printed.
    void expectUnbroken(const std::vector<int16_t>& recorded, int from, int to) {
        constexpr long kPeriod = 44100 / 5;
        const std::vector<int16_t> want = imageFrames(layout_, from, to);
        const long frames = static_cast<long>(recorded.size() / 2), total = static_cast<long>(want.size() / 2);
        auto silent = [&](long f) { return recorded[2 * f] == 0 && recorded[2 * f + 1] == 0; };
        auto same = [&](long f, long at, long n) {
            return at >= 0 && at + n <= total &&
                   std::equal(recorded.begin() + 2 * f, recorded.begin() + 2 * (f + n), want.begin() + 2 * at);
        };
        long next = 0;  // frame of the range the next stretch goes on from
        std::string seams;
        for (long f = 0; f < frames;) {
            if (silent(f)) {
                ++f;
                continue;
            }
            long end = f;
            while (end < frames && !silent(end)) ++end;
            const long probe = std::min<long>(8, end - f);
            long at = -1;
            for (long d = 0; d <= kPeriod && at < 0; ++d) {
                if (same(f, next - d, probe)) at = next - d;
                if (at < 0 && d > 0 && same(f, next + d, probe)) at = next + d;
            }
            ASSERT_TRUE(at >= 0 && same(f, at, end - f))
                << "the stretch of sound at recorded frame " << f << " (" << end - f
                << " frames) is not the range going on within a device period of frame " << next;
            if (at != next) seams += " " + std::to_string(at - next);
            next = at + (end - f);
            f = end;
        }
        EXPECT_EQ(next, total) << "heard to the end of the range";
        std::printf("seams at the resumes, in frames (< 0 heard twice, > 0 missed):%s\n",
                    seams.empty() ? " none" : seams.c_str());
    }
    int trackStart(int track) const { return layout_.tracks[size_t(track - 1)].first; }

    testsupport::ScratchHome home_;
    testsupport::SoundServer server_{home_.path() + "/pulse"};
    Layout layout_;
};

// The sink neither resamples nor scales the stream, and the stream carries
// the application's name; otherwise the comparisons below would say little.
TEST_F(Heard, TheStreamIsNamedAndPlayedAsItIs) {
    open();
    ASSERT_EQ(send("play cd"), "");
    std::string inputs;
    for (int i = 0; i < 40 && inputs.find("Sink Input") == std::string::npos; ++i) {
        testsupport::pumpFor(50);
        inputs = server_.pactl("list sink-inputs");
    }
    EXPECT_NE(inputs.find("Sample Specification: s16le 2ch 44100Hz"), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("Volume: front-left: 65536 / 100%"), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("application.name = \"Varnel\""), std::string::npos) << inputs;
}

struct Step {
    std::chrono::milliseconds after;
    const char* command;
};

// Play, then `rounds` pauses and resumes close together.
std::vector<Step> manyPauses(int rounds) {
    std::vector<Step> steps = {{0ms, "play cd from 1"}};
    for (int i = 0; i < rounds; ++i) {
        steps.push_back({std::chrono::milliseconds(150 + 20 * i), "pause cd"});
        steps.push_back({std::chrono::milliseconds(60 + 10 * i), "play cd"});
    }
    return steps;
}

TEST_F(Heard, TheRangeThroughTheDefaultDevice) {
    open();
    send("set cd time format tmsf");
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int from;             // the first frame that must be heard
        bool paused = false;  // heard across pauses
        int thenFrom = 0;     // where play went on after a seek
    } cases[] = {
        {"over both track boundaries", {{0ms, "play cd from 1"}}, trackStart(1)},
        {"paused and resumed twice",
         {{0ms, "play cd from 1"}, {700ms, "pause cd"}, {500ms, "play cd"}, {600ms, "pause cd"}, {50ms, "play cd"}},
         trackStart(1),
         true},
        {"from a sought frame", {{0ms, "seek cd to 2:00:00:30"}, {0ms, "play cd"}}, trackStart(2) + 30},
        {"paused and resumed eight times", manyPauses(8), trackStart(1), true},
        {"sought while paused, then played",
         {{0ms, "play cd from 1"}, {400ms, "pause cd"}, {200ms, "seek cd to 2:00:00:30"}, {200ms, "play cd"}},
         trackStart(1),
         false,
         trackStart(2) + 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.record();
        for (const Step& s : c.steps) {
            testsupport::pumpFor(static_cast<unsigned>(s.after.count()));
            ASSERT_EQ(send(s.command), "") << s.command;
        }
        waitStopped();
        const std::vector<int16_t> recorded = recordedAfterEnd();
        if (c.paused) {
            expectUnbroken(recorded, c.from, layout_.leadOut);
            continue;
        }
        if (!c.thenFrom) {
            expectHeard(recorded, c.from, layout_.leadOut);
            continue;
        }
        // Some of the first range, then all of the second.
        const std::vector<int16_t> got = sound(recorded), second = imageFrames(layout_, c.thenFrom, layout_.leadOut);
        ASSERT_GT(got.size(), second.size());
        const auto head = got.begin() + static_cast<long>(got.size() - second.size());
        EXPECT_TRUE(std::equal(head, got.end(), second.begin())) << "the second range, whole";
        const std::vector<int16_t> first = imageFrames(layout_, c.from, layout_.leadOut);
        EXPECT_TRUE(std::equal(got.begin(), head, first.begin())) << "the first range from its start";
    }
}

// Killed mid-play, the server takes the device with it: the null output goes
// on in its place (the mode stays playing, the position runs on), with one
// line that says so. The next play after the server is back is heard.
TEST_F(Heard, TheServerGoesAwayAndComesBack) {
    open();
    send("set cd time format milliseconds");
    ASSERT_EQ(send("play cd from " + std::to_string(trackStart(1) * 1000 / 75 + 1)), "");
    testsupport::pumpFor(1500);
    testing::internal::CaptureStderr();
    server_.kill();
    long last = std::stol(send("status cd position"));
    int advanced = 0;
    for (int i = 0; i < 12; ++i) {
        testsupport::pumpFor(100);
        EXPECT_EQ(send("status cd mode"), "playing");
        const long now = std::stol(send("status cd position"));
        EXPECT_GE(now, last) << "the position never goes back";
        advanced += now > last;
        last = now;
    }
    waitStopped();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GE(advanced, 8) << "the position runs on without the server";
    EXPECT_EQ(diagnostics(said), 1) << said;

    ASSERT_EQ(server_.start(), "");
    server_.record();
    send("set cd time format tmsf");
    ASSERT_EQ(send("play cd from 3"), "");
    waitStopped();
    expectHeard(recordedAfterEnd(), trackStart(3), layout_.leadOut);
}

// With no server at all the player plays on in silence, saying why once.
TEST_F(Heard, NoServerPlaysSilentlyInRealTime) {
    server_.kill();
    testing::internal::CaptureStderr();
    open();
    testsupport::pumpFor(1500);  // the device is looked for when it opens
    send("set cd time format milliseconds");
    for (int play = 0; play < 2; ++play) {
        SCOPED_TRACE(play);
        ASSERT_EQ(send("play cd from " + std::to_string(trackStart(3) * 1000 / 75 + 1)), "");
        const long first = std::stol(send("status cd position"));
        long now = first;
        for (int i = 0; i < 100 && now == first; ++i) {
            testsupport::pumpFor(50);
            now = std::stol(send("status cd position"));
        }
        EXPECT_GT(now, first) << "the position runs";
        EXPECT_EQ(send("status cd mode"), "playing") << "and no faster than the clock";
        waitStopped();
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(diagnostics(said), 1) << said;
}

// While playing, the position (in milliseconds) is the frame arriving from the
// sink at that moment: PortAudio's measured delay is what the position
// takes off the frames handed to the device.
TEST_F(Heard, PositionIsTheFrameArrivingAtTheSink) {
    open();
    send("set cd time format milliseconds");
    server_.record();
    std::vector<std::pair<Clock::time_point, long>> readings;
    ASSERT_EQ(send("play cd from " + std::to_string(trackStart(1) * 1000 / 75 + 1)), "");
    while (send("status cd mode") == "playing") {
        testsupport::pumpFor(37);
        const auto before = Clock::now();
        const long ms = std::stol(send("status cd position"));
        const auto after = Clock::now();
        // A reading that the busy machine held up says nothing of when it was.
        if (after - before < 2ms) readings.emplace_back(before + (after - before) / 2, ms);
    }
    const std::vector<int16_t> recorded = recordedAfterEnd();
    size_t silence = 0;
    const std::vector<int16_t> got = sound(recorded, &silence);
    ASSERT_EQ(got, imageFrames(layout_, trackStart(1), layout_.leadOut));
    double sum = 0, worst = 0;
    int n = 0, over = 0;
    for (const auto& [at, ms] : readings) {
        // A reading while the reader of the sink was held up says nothing.
        if (!server_.keptUpAt(at)) continue;
        // The sink renders blocks of 1024 frames ahead of its clock: what it
        // plays is half a block behind what has arrived, on the mean.
        const int64_t arrived = server_.framesAt(at) - static_cast<int64_t>(silence) - 512;
        // The player learns that the server began to play with the first
        // period it asks for after its first fill (0.1 s); from then on.
        if (arrived < 44100 * 15 / 100 || arrived >= static_cast<int64_t>(got.size() / 2)) continue;
        // The sector that holds the frame, in milliseconds as the device
        // counts them (LBA 150 is 2001 ms).
        const int64_t sector = trackStart(1) + arrived / kFramesPerSector;
        const double heardMs = sector * 1000.0 / 75 + 1;
        const double error = ms - heardMs;
        sum += error;
        worst = std::max(worst, std::abs(error));
        // Within a block the sink's frames arrive at once: half a block more.
        over += std::abs(error) > 20 + 512 * 1000.0 / 44100;
        ++n;
    }
    ASSERT_GT(n, 20);
    std::printf("position against the sink: mean %+.1f ms, worst %.1f ms over %d readings\n", sum / n, worst, n);
    // The recorder's own delivery jitters on a busy machine: a few readings
    // may be off.
    EXPECT_LE(over, n / 20) << "readings more than 20 ms (and half a sink block) off";
}

}  // namespace
