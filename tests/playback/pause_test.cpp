// Pause and resume against a sound device whose clock the test moves by hand,
// so that a pause lands on the very frame a case names whatever the machine's
// load: the device holds frames taken ahead of what is heard, as a device's
// buffer does, and a stop drops them. What the listener heard across the
// pauses must be the range, unbroken; while paused the position is the frame
// heard last. Also: the output is owned in every state, even while it is
// still being opened.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mcicda/audio_output.h"
#include "mcicda/player.h"
#include "memory_source.h"
#include "test_support.h"

using namespace std::chrono_literals;
using namespace memorysource;
using winshim::Player;

namespace {

// What the test and the device share: the device belongs to the player.
struct Hand {
    std::mutex pulling;  // held across a pull, so that no pull runs once stop() returns
    std::mutex m;
    winshim::AudioOutput::Pull pull;
    bool running = false;
    int64_t taken = 0, heard = 0;
    std::deque<int16_t> held;     // taken, not yet heard
    std::vector<int16_t> played;  // what the listener heard
    int64_t dropped = 0;          // frames a stop threw away
    int starts = 0;

    // Lets the listener hear up to `n` more frames, taking frames so that
    // `ahead` stay taken beyond what is heard. Returns how many were heard.
    int64_t hear(int64_t n, int64_t ahead) {
        {
            std::lock_guard p(pulling);
            winshim::AudioOutput::Pull fill;
            int64_t want = 0, index = 0;
            {
                std::lock_guard lk(m);
                if (!running) return 0;
                fill = pull;
                index = taken;
                want = heard + n + ahead - taken;
            }
            if (want > 0) {
                std::vector<int16_t> buf(static_cast<size_t>(want) * 2);
                const int got = fill(buf.data(), static_cast<int>(want), index);
                std::lock_guard lk(m);
                held.insert(held.end(), buf.begin(), buf.begin() + got * 2);
                taken += got;
            }
        }
        std::lock_guard lk(m);
        const int64_t k = std::min<int64_t>(n, static_cast<int64_t>(held.size() / 2));
        played.insert(played.end(), held.begin(), held.begin() + k * 2);
        held.erase(held.begin(), held.begin() + k * 2);
        heard += k;
        return k;
    }
    bool isRunning() {
        std::lock_guard lk(m);
        return running;
    }
    int startCount() {
        std::lock_guard lk(m);
        return starts;
    }
};

class HandDevice : public winshim::AudioOutput {
public:
    HandDevice(std::shared_ptr<Hand> hand, int64_t ahead) : hand_(std::move(hand)), ahead_(ahead) {}
    const char* name() const override { return "hand device"; }
    bool start(Pull pull, int64_t first) override {
        std::lock_guard lk(hand_->m);
        hand_->pull = std::move(pull);
        hand_->taken = hand_->heard = first;
        hand_->held.clear();
        hand_->running = true;
        ++hand_->starts;
        return true;
    }
    void stop() override {
        std::lock_guard p(hand_->pulling);
        std::lock_guard lk(hand_->m);
        hand_->running = false;
        hand_->pull = nullptr;
        hand_->dropped += static_cast<int64_t>(hand_->held.size() / 2);
        hand_->held.clear();
    }
    int64_t taken() const override {
        std::lock_guard lk(hand_->m);
        return hand_->taken;
    }
    int64_t heard() const override {
        std::lock_guard lk(hand_->m);
        return hand_->heard;
    }
    int64_t startFrames() const override { return ahead_; }

private:
    std::shared_ptr<Hand> hand_;
    const int64_t ahead_;
};

// The LBA of frame `frame` of the audio of [from, to).
int32_t lbaOf(const std::vector<AudioSpan>& audio, int32_t from, int32_t to, int64_t frame) {
    for (int32_t lba = from; lba < to; ++lba) {
        if (!inAudio(audio, lba)) continue;
        if (frame < kFrames) return lba;
        frame -= kFrames;
    }
    return to;
}

class Pause : public ::testing::Test {
protected:
    void TearDown() override { winshim::AUDIO_SetDeviceForTests(nullptr); }
    testsupport::ScratchHome home_;
};

constexpr int64_t kAhead = 44100 / 5;  // what the device holds: a fifth of a second
const std::vector<AudioSpan> kOneTrack = {{150, 750}};

struct PauseCase {
    const char* name;
    std::vector<AudioSpan> audio;
    int32_t from, to;
    std::vector<int64_t> pauses;  // frames heard when each pause comes, in order
    int32_t slowReadFrom;         // a read from this LBA on waits, as a slow drive; 0: none
};

TEST_F(Pause, TheListenerHearsTheRangeUnbrokenAndThePositionHolds) {
    const PauseCase cases[] = {
        {"inside a sector", kOneTrack, 150, 750, {1234}, 0},
        {"on a sector's first frame", kOneTrack, 150, 750, {10 * kFrames}, 0},
        {"before anything is heard", kOneTrack, 150, 750, {0}, 0},
        {"at a track boundary", {{150, 450}, {450, 750}}, 150, 750, {300 * kFrames, 300 * kFrames + 1}, 0},
        {"where a data track is skipped", {{150, 450}, {600, 900}}, 400, 700, {50 * kFrames - 1, 50 * kFrames}, 0},
        {"in the last second of the disc", {{150, 450}}, 150, 450, {300 * kFrames - 30000, 300 * kFrames - 1}, 0},
        {"many times, close together",
         kOneTrack,
         150,
         750,
         {1, 2, 3, 588, 589, 5000, 5001, 44100, 44101, 44102, 100000, 200000, 200001, 300000},
         0},
        // The ring holds three seconds: the read of sector 376 on comes while playing.
        {"during a slow read", kOneTrack, 150, 750, {100000, 130000}, 376},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto hand = std::make_shared<Hand>();
        winshim::AUDIO_SetDeviceForTests([hand] { return std::make_unique<HandDevice>(hand, kAhead); });
        setenv("WINSHIM_AUDIO", "", 1);
        auto source = std::make_shared<MemorySource>(c.audio);
        if (c.slowReadFrom) {
            source->holdFrom = c.slowReadFrom;
            source->held = true;
        }
        std::atomic<int> ends{0};
        Player player(source, c.audio);
        player.setOnEnd([&] { ++ends; });
        player.play(c.from, c.to);
        int64_t heard = 0;
        int starts = 0;
        for (const int64_t at : c.pauses) {
            SCOPED_TRACE(at);
            // The device starts anew after each pause: one start more each time.
            ASSERT_TRUE(waitFor([&] { return hand->startCount() > starts; }));
            starts = hand->startCount();
            if (c.slowReadFrom && at == c.pauses.front()) {
                ASSERT_TRUE(waitFor([&] {
                    heard += hand->hear(std::min<int64_t>(588, at - heard), kAhead);
                    return source->stillHeld() && heard == at;
                })) << "heard "
                    << heard;
            } else {
                ASSERT_TRUE(waitFor([&] {
                    heard += hand->hear(at - heard, kAhead);
                    return heard == at;
                })) << "heard "
                    << heard;
            }
            player.pause();
            ASSERT_TRUE(waitFor([&] { return !hand->isRunning(); })) << "the pause stops the device";
            EXPECT_EQ(player.state(), Player::State::Paused);
            EXPECT_EQ(player.position(), lbaOf(c.audio, c.from, c.to, at)) << "the frame heard last";
            std::this_thread::sleep_for(20ms);
            EXPECT_EQ(player.position(), lbaOf(c.audio, c.from, c.to, at)) << "moved while paused";
            if (c.slowReadFrom) source->release();
            player.resume();
        }
        ASSERT_TRUE(waitFor([&] {
            hand->hear(44100 / 10, kAhead);
            return ends > 0;
        })) << "play reaches its end";
        EXPECT_EQ(player.position(), c.to);
        std::lock_guard lk(hand->m);
        const std::vector<int16_t> want = expected(c.audio, c.from, c.to);
        EXPECT_EQ(hand->played.size(), want.size()) << "frames heard against frames in the range";
        EXPECT_TRUE(hand->played == want) << "nothing lost, nothing repeated";
        EXPECT_GT(hand->dropped, 0) << "a pause drops what the device holds";
    }
}

// An output that takes its time to open, as a sound server that is slow to
// answer: commands that come meanwhile must leave no output behind, open or
// unfreed, once the player and its engine are gone.
std::atomic<int> g_alive{0}, g_running{0};

class SlowDevice : public winshim::AudioOutput {
public:
    SlowDevice() { ++g_alive; }
    ~SlowDevice() override {
        SlowDevice::stop();
        --g_alive;
    }
    const char* name() const override { return "slow device"; }
    bool start(Pull pull, int64_t first) override {
        if (!running_.exchange(true)) ++g_running;
        return inner_->start(std::move(pull), first);
    }
    void stop() override {
        inner_->stop();
        if (running_.exchange(false)) --g_running;
    }
    int64_t taken() const override { return inner_->taken(); }
    int64_t heard() const override { return inner_->heard(); }

private:
    std::unique_ptr<winshim::AudioOutput> inner_ = winshim::AUDIO_OpenNull();
    std::atomic<bool> running_{false};
};

TEST_F(Pause, TheOutputIsOwnedWhileItIsBeingOpened) {
    const char* commands[] = {"close", "play then close", "stop", "play again", "pause"};
    for (const char* command : commands) {
        SCOPED_TRACE(command);
        std::atomic<int> opening{0};
        winshim::AUDIO_SetDeviceForTests([&opening] {
            ++opening;
            std::this_thread::sleep_for(200ms);
            return std::make_unique<SlowDevice>();
        });
        setenv("WINSHIM_AUDIO", "", 1);
        auto player = std::make_unique<Player>(std::make_shared<MemorySource>(kOneTrack), kOneTrack);
        ASSERT_TRUE(waitFor([&] { return opening > 0; })) << "the engine opens its output";
        const std::string c = command;
        if (c != "close") player->play(150, 750);
        if (c == "stop") player->stop();
        if (c == "play again") player->play(300, 400);
        if (c == "pause") player->pause();
        if (c == "stop" || c == "play again" || c == "pause") {
            // The engine goes on with the output it opened, then is closed.
            ASSERT_TRUE(waitFor([] { return g_alive > 0; }));
        }
        player.reset();
        EXPECT_TRUE(waitFor([] { return g_alive == 0; })) << "an output outlived its player";
        EXPECT_EQ(g_running, 0) << "an output still plays";
        winshim::AUDIO_SetDeviceForTests(nullptr);
    }
}

}  // namespace
