// The playback engine against an in-memory disc whose samples are a known
// function of their place, played into the capture output: what comes out is
// compared, sample for sample, with what the range holds.
#include "mcicda/player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "mcicda/audio_output.h"
#include "memory_source.h"
#include "test_support.h"

using namespace std::chrono_literals;
using winshim::AudioSpan;
using winshim::Player;
using Clock = std::chrono::steady_clock;

using namespace memorysource;

namespace {

std::vector<int16_t> readWav(const std::string& path) {
    const std::string bytes = testsupport::readFile(path);
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    uint32_t dataBytes = 0;
    for (int i = 0; i < 4; ++i) dataBytes |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[40 + i])) << (8 * i);
    EXPECT_EQ(dataBytes, bytes.size() - 44) << "header not fixed up";
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[44 + 2 * i]) |
                                          static_cast<uint8_t>(bytes[45 + 2 * i]) << 8);
    return samples;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Reading {
    Clock::time_point before;
    int32_t position;
    Clock::time_point after;
};
Reading bracketed(const Player& player) {
    const auto before = Clock::now();
    const int32_t position = player.position();
    return {before, position, Clock::now()};
}

// The index of the first difference, or -1.
long firstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override { winshim::AUDIO_SetSpeed(20); }
    void TearDown() override { winshim::AUDIO_SetSpeed(1); }

    std::unique_ptr<Player> make(std::shared_ptr<MemorySource> source, const std::vector<AudioSpan>& audio,
                                 const char* output = nullptr) {
        wav_ = home_.path() + "/out.wav";
        setenv("WINSHIM_AUDIO", output ? output : ("capture:" + wav_).c_str(), 1);
        auto player = std::make_unique<Player>(std::move(source), audio);
        player->setOnEnd([this] {
            std::lock_guard lk(m_);
            ++ends_;
            cv_.notify_all();
        });
        return player;
    }
    bool waitEnd(int count = 1, std::chrono::milliseconds limit = 10s) {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, limit, [&] { return ends_ >= count; });
    }
    int ends() {
        std::lock_guard lk(m_);
        return ends_;
    }
    // Destroys the player (closing the file) and gives what it played.
    std::vector<int16_t> captured(std::unique_ptr<Player>& player) {
        player.reset();
        return readWav(wav_);
    }

    testsupport::ScratchHome home_;
    std::string wav_;
    std::mutex m_;
    std::condition_variable cv_;
    int ends_ = 0;
};

const std::vector<AudioSpan> kTwoTracksAndData = {{150, 450}, {600, 900}};

struct RangeCase {
    const char* name;
    std::vector<AudioSpan> audio;
    int32_t from, to;
};

TEST_F(PlayerTest, PlaysExactlyTheRangeAndEndsOnce) {
    const RangeCase cases[] = {
        {"whole track", {{150, 450}}, 150, 450},
        {"inside a track", {{150, 450}}, 200, 263},
        {"one sector", {{150, 450}}, 449, 450},
        {"two audio tracks back to back", {{150, 300}, {300, 450}}, 250, 350},
        {"over a data track", kTwoTracksAndData, 400, 650},
        {"from inside the data track", kTwoTracksAndData, 500, 700},
        {"to at a track boundary", {{150, 450}, {450, 600}}, 400, 450},
        {"to in a trailing data track", kTwoTracksAndData, 850, 1000},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ends_ = 0;
        auto player = make(std::make_shared<MemorySource>(c.audio), c.audio);
        player->play(c.from, c.to);
        EXPECT_EQ(player->state(), Player::State::Playing);
        ASSERT_TRUE(waitEnd());
        EXPECT_EQ(player->state(), Player::State::Stopped);
        EXPECT_EQ(player->position(), c.to);
        const auto want = expected(c.audio, c.from, c.to);
        const auto got = captured(player);
        EXPECT_EQ(ends(), 1) << "counted once the player is gone: no later end can come";
        EXPECT_EQ(got.size(), want.size());
        EXPECT_EQ(firstDifference(got, want), -1);
    }
}

// The capture holds what a listener heard: across many pauses, the range
// unbroken; while paused, the position is the frame heard last.
TEST_F(PlayerTest, PauseAndResumeContinueWithTheNextSample) {
    const std::vector<AudioSpan> audio = {{150, 1650}};
    auto player = make(std::make_shared<MemorySource>(audio), audio);
    player->play(150, 1650);  // 20 s of audio, 1 s at this speed
    int32_t last = 150;
    size_t heardBefore = 0;  // bytes heard at the pause before
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(waitFor([&] { return player->position() > last + 20; })) << "no progress from " << last;
        player->pause();
        EXPECT_EQ(player->state(), Player::State::Paused);
        // The device's buffer is dropped, not played out. The capture fixes
        // its header up when the pause stops it: then it holds what was heard.
        size_t heard = 0;
        ASSERT_TRUE(waitFor([&] {
            const std::string bytes = testsupport::readFile(wav_);
            uint32_t header = 0;
            for (int b = 0; b < 4 && bytes.size() >= 44; ++b)
                header |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[40 + b])) << (8 * b);
            if (bytes.size() < 44 || header != bytes.size() - 44 || header <= heardBefore) return false;
            heard = header;
            return true;
        })) << "the pause stops the output";
        heardBefore = heard;
        const int32_t held = player->position();
        EXPECT_EQ(held, 150 + static_cast<int32_t>(heard / 4 / kFrames)) << "the frame heard last";
        EXPECT_GT(held, last);
        std::this_thread::sleep_for(50ms);  // a pause that leaks would move it now
        EXPECT_EQ(player->position(), held) << "moved while paused";
        last = held;
        player->resume();
        EXPECT_EQ(player->state(), Player::State::Playing);
    }
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(player->position(), 1650);
    const auto want = expected(audio, 150, 1650);
    const auto got = captured(player);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(firstDifference(got, want), -1);
}

TEST_F(PlayerTest, ANewPlayFlushesTheOldAudio) {
    const std::vector<AudioSpan> audio = {{150, 3150}};
    auto player = make(std::make_shared<MemorySource>(audio), audio);
    player->play(150, 3150);
    ASSERT_TRUE(waitFor([&] { return player->position() > 160; })) << "the first play never got going";
    player->play(2000, 2100);
    EXPECT_EQ(player->position(), 2000);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(ends(), 1) << "the first play did not end: it was replaced";
    const auto first = expected(audio, 150, 3150);
    const auto second = expected(audio, 2000, 2100);
    const auto got = captured(player);
    ASSERT_GT(got.size(), second.size());
    const size_t head = got.size() - second.size();
    EXPECT_EQ(head % 2, 0u);
    EXPECT_EQ(firstDifference(std::vector<int16_t>(got.begin(), got.begin() + head),
                              std::vector<int16_t>(first.begin(), first.begin() + head)),
              -1);
    EXPECT_EQ(firstDifference(std::vector<int16_t>(got.begin() + head, got.end()), second), -1);
}

TEST_F(PlayerTest, AFailingSourceEndsPlayCleanly) {
    struct Case {
        const char* name;
        int32_t failFrom;
    } cases[] = {{"first read", 150}, {"midway", 700}};
    const std::vector<AudioSpan> audio = {{150, 1500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ends_ = 0;
        auto source = std::make_shared<MemorySource>(audio);
        source->failFrom = c.failFrom;
        auto player = make(source, audio);
        player->play(150, 1500);
        ASSERT_TRUE(waitEnd());
        EXPECT_EQ(player->state(), Player::State::Stopped);
        const int32_t end = player->position();
        EXPECT_EQ(end, c.failFrom) << "play ends at the sector that failed";
        // What was read before the failure is played, and nothing else.
        const auto got = captured(player);
        EXPECT_EQ(ends(), 1);
        EXPECT_EQ(got.size(), static_cast<size_t>(end - 150) * kFrames * 2);
        EXPECT_EQ(firstDifference(got, expected(audio, 150, end)), -1);
    }
}

TEST_F(PlayerTest, PositionFollowsTheClockAtRealSpeed) {
    winshim::AUDIO_SetSpeed(1);
    const std::vector<AudioSpan> audio = {{150, 1650}};
    auto player = make(std::make_shared<MemorySource>(audio), audio, "null");
    player->play(150, 1650);
    std::this_thread::sleep_for(300ms);
    // Each reading is bracketed by the clock, so a busy machine that delays
    // this thread widens the window instead of failing the test.
    const auto [a0, p0, b0] = bracketed(*player);
    std::this_thread::sleep_for(2s);
    const auto [a1, p1, b1] = bracketed(*player);
    const double played = (p1 - p0) / 75.0;
    EXPECT_GE(played, seconds(a1 - b0) - 0.05);
    EXPECT_LE(played, seconds(b1 - a0) + 0.05);
    player->stop();
    EXPECT_EQ(player->state(), Player::State::Stopped);
    const int32_t stopped = player->position();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(player->position(), stopped);
    EXPECT_EQ(ends(), 0) << "a stop is no end of play";
}

// The time a command takes is measured by bench/playback_bench; here, each one
// returns and takes effect while a read is still under way.
TEST_F(PlayerTest, CommandsDoNotWaitForASlowSource) {
    const std::vector<AudioSpan> audio = {{150, 1650}};
    const char* commands[] = {"stop", "play", "pause", "destroy"};
    for (const char* command : commands) {
        SCOPED_TRACE(command);
        auto source = std::make_shared<MemorySource>(audio);
        source->held = true;
        auto player = make(source, audio, "null");
        player->play(150, 1650);
        ASSERT_TRUE(source->waitHeld());
        const std::string c = command;
        if (c == "stop") player->stop();
        if (c == "play") player->play(300, 400);
        if (c == "pause") player->pause();
        if (c == "destroy") player.reset();
        EXPECT_TRUE(source->stillHeld()) << "the command waited for the read";
        if (player) {
            EXPECT_EQ(player->state(), c == "stop"   ? Player::State::Stopped
                                       : c == "play" ? Player::State::Playing
                                                     : Player::State::Paused);
            EXPECT_EQ(player->position(), c == "play" ? 300 : 150);
        }
        source->release();
    }
}

TEST_F(PlayerTest, AReadUnderWayWhenTheRangeChangesIsThrownAway) {
    const std::vector<AudioSpan> audio = {{150, 1650}};
    const char* commands[] = {"play", "stop then play", "pause then play"};
    for (const char* command : commands) {
        SCOPED_TRACE(command);
        ends_ = 0;
        auto source = std::make_shared<MemorySource>(audio);
        source->held = true;
        auto player = make(source, audio);
        player->play(150, 1650);
        ASSERT_TRUE(source->waitHeld());  // the first read of 150.. is under way
        if (std::string(command) == "stop then play") player->stop();
        if (std::string(command) == "pause then play") player->pause();
        player->play(300, 330);
        source->release();
        ASSERT_TRUE(waitEnd());
        const auto got = captured(player);
        EXPECT_EQ(got.size(), 30u * kFrames * 2);
        EXPECT_EQ(firstDifference(got, expected(audio, 300, 330)), -1);
    }
}

// A sound device with a latency that takes frames for a while and then stops
// (or never starts), as one does when it is unplugged or its server goes.
class FakeDevice : public winshim::AudioOutput {
public:
    FakeDevice(int64_t latency, int64_t failAfter, bool starts)
        : latency_(latency), failAfter_(failAfter), starts_(starts) {}
    const char* name() const override { return "fake device"; }
    bool start(Pull pull, int64_t first) override {
        if (!starts_) return false;
        first_ = first;
        return inner_->start(
            [this, pull](int16_t* f, int n, int64_t i) {
                if (i - first_ >= failAfter_) failed_ = true;
                return failed_ ? 0 : pull(f, n, i);
            },
            first);
    }
    void stop() override { inner_->stop(); }
    int64_t taken() const override { return inner_->taken(); }
    int64_t heard() const override { return std::max<int64_t>(first_, inner_->heard() - latency_); }
    bool failed() const override { return failed_; }

private:
    std::unique_ptr<winshim::AudioOutput> inner_ = winshim::AUDIO_OpenNull();
    const int64_t latency_, failAfter_;
    const bool starts_;
    std::atomic<int64_t> first_{0};
    std::atomic<bool> failed_{false};
};

TEST_F(PlayerTest, PositionIsWhatTheListenerHearsAndSurvivesTheDevice) {
    constexpr int64_t kRate = 44100, kNever = INT64_MAX;
    struct Case {
        const char* name;
        int64_t latency, failAfter;
        bool starts;
        double lag;  // seconds between the output taking a frame and the listener hearing it
    } cases[] = {
        {"device with 0.3 s latency", kRate * 3 / 10, kNever, true, 0.3},
        {"device failing after 0.5 s", kRate / 10, kRate / 2, true, 0},  // the null output has none
        {"device that does not start", 0, kNever, false, 0},
    };
    constexpr double kSpeed = 2;
    winshim::AUDIO_SetSpeed(kSpeed);
    const std::vector<AudioSpan> audio = {{150, 1650}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ends_ = 0;
        winshim::AUDIO_SetDeviceForTests(
            [&c] { return std::make_unique<FakeDevice>(c.latency, c.failAfter, c.starts); });
        auto player = make(std::make_shared<MemorySource>(audio), audio, "");
        const auto t0 = Clock::now();
        player->play(150, 375);  // 3 s of audio
        std::this_thread::sleep_until(t0 + std::chrono::duration<double>(1.0 / kSpeed));
        // Never ahead of what can have been heard; behind it only by the
        // start-up of the output.
        const auto [a, pos, b] = bracketed(*player);
        const double heard = (pos - 150) / 75.0;
        EXPECT_LE(heard, seconds(b - t0) * kSpeed - c.lag + 0.03);
        EXPECT_GE(heard, seconds(a - t0) * kSpeed - c.lag - 0.2);
        ASSERT_TRUE(waitEnd());
        const double took = seconds(Clock::now() - t0) * kSpeed;
        EXPECT_GT(took, 2.95 + c.lag) << "the end came before the last frame was heard";
        EXPECT_EQ(player->state(), Player::State::Stopped);
        EXPECT_EQ(player->position(), 375);
        EXPECT_EQ(ends(), 1);
    }
    winshim::AUDIO_SetDeviceForTests(nullptr);
}

// A device whose stop hangs until the test lets it go, as a call into a sound
// server that went away may.
class StuckDevice : public winshim::AudioOutput {
public:
    explicit StuckDevice(std::shared_future<void> release) : release_(std::move(release)) {}
    const char* name() const override { return "stuck device"; }
    bool start(Pull pull, int64_t first) override { return inner_->start(std::move(pull), first); }
    void stop() override {
        release_.wait();
        inner_->stop();
    }
    int64_t taken() const override { return inner_->taken(); }
    int64_t heard() const override { return inner_->heard(); }

private:
    std::shared_future<void> release_;
    std::unique_ptr<winshim::AudioOutput> inner_ = winshim::AUDIO_OpenNull();
};

TEST_F(PlayerTest, CommandsDoNotWaitForAStuckDevice) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    winshim::AUDIO_SetDeviceForTests([released] { return std::make_unique<StuckDevice>(released); });
    const std::vector<AudioSpan> audio = {{150, 1650}};
    auto player = make(std::make_shared<MemorySource>(audio), audio, "");
    player->play(150, 1650);
    std::this_thread::sleep_for(100ms);
    player->stop();  // the engine now hangs in the device's stop
    std::this_thread::sleep_for(100ms);
    auto commands = std::async(std::launch::async, [&] {
        player->play(300, 600);
        player->pause();
        player->resume();
        (void)player->position();
        (void)player->state();
        player->stop();
        return player->state();
    });
    const bool answered = commands.wait_for(5s) == std::future_status::ready;
    release.set_value();
    EXPECT_TRUE(answered) << "a command waited for the device";
    EXPECT_EQ(commands.get(), Player::State::Stopped);
    player.reset();
    winshim::AUDIO_SetDeviceForTests(nullptr);
}

}  // namespace
