// The playback engine. One engine thread per player fills the ring, starts
// and stops the output, notices the end of play and a failed device; a reader
// thread reads the sectors it asks for, so that the engine answers a command
// at once even while a slow drive reads; the output's own thread pulls frames
// from the ring. Commands only change what is asked (the mode, and a new
// generation for each play or stop) under the lock and wake the engine, so
// none waits for the disc or the sound device: a read that comes back after a
// play or stop, or for a place the ring no longer needs, is thrown away.
//
// Every command is heard within one device period: pause and stop drop what
// the device holds (AudioOutput::stop discards it), and a resume reads the
// disc again from the frame heard last, part-way into its sector if need be,
// so that what a listener hears across pauses is one unbroken stretch.
//
// The engine is in one of these states; run() calls the step of the current
// one, which waits for what that state waits for and says which comes next.
// Every step but Idle's and Resting's first obeys the commands (obey()): a new
// play goes to Priming, a stop to Idle, a pause to Paused, a resume from
// Paused to Priming; the output is stopped on the way out of the states in
// which it runs (Playing, Refilling, Starved, Draining).
//
//   Idle       Stopped, the output open and still. Waits for a play; 5 s on,
//              -> Resting.
//   Resting    Stopped long: the output gave its device back. Waits for a play.
//   Priming    A play or a resume: reads until the device's first fill (at
//              least a quarter second) is at hand, so that sound begins one
//              device latency after the command; starts the output ->
//              Playing; nothing to play -> Idle.
//   Playing    The output pulls from the ring. Waits until the ring is half
//              empty -> Refilling; all read -> Draining. Looks for a failed
//              device twice a second (the null output then stands in).
//   Refilling  Reads chunk after chunk until the ring is full -> Playing: a
//              drive reads a run far better than single sectors, and a full
//              ring lets the engine sleep long.
//   Starved    The pull found the ring empty before all was read (a slow
//              drive) and moved Playing or Refilling here: the device plays
//              silence while the engine reads a quarter second, -> Playing, so
//              that a slow drive gives a few long gaps, not many short ones.
//   Draining   All read: waits until the last frame is heard -> end of play,
//              Idle.
//   Paused     The output stopped and its buffer dropped, the frame heard last
//              kept as where play goes on. Waits for a resume, a play or a stop.
//
// The states that read (Priming, Refilling, Starved) ask the reader for one
// chunk at a time and wait for it, for a command, or for a failed device.
// The pull moves Playing or Refilling to Starved; nothing else changes the
// state but its step.
//
// The position: every pull that hands out frames is recorded as (output frame
// index, stream frame). The output says which of its frames the listener
// hears now; the records turn that into a stream frame, and the plan into an
// LBA. While paused the position is the frame heard last.
#include "mcicda/player.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "mcicda/player_core.h"

namespace winshim {
namespace playback {
namespace {

// Threads of a player that went while they waited for the disc or the sound
// device: each ends by itself once its wait is over, and the process waits
// for them at exit, so that no output they opened is left open (or unfreed).
std::mutex g_orphansMutex;
std::condition_variable g_orphansDone;
int g_orphans = 0;

void waitForOrphans() {
    std::unique_lock lk(g_orphansMutex);
    g_orphansDone.wait_for(lk, std::chrono::seconds(5), [] { return g_orphans == 0; });
}

// Joined by a thread of its own: `t` may be the calling thread.
void adopt(std::thread t) {
    static const bool waitsAtExit = std::atexit(waitForOrphans) == 0;
    (void)waitsAtExit;
    {
        std::lock_guard lk(g_orphansMutex);
        ++g_orphans;
    }
    std::thread([t = std::move(t)]() mutable {
        t.join();
        std::lock_guard lk(g_orphansMutex);
        --g_orphans;
        g_orphansDone.notify_all();
    }).detach();
}

}  // namespace

// Play reached its end: stopped, at the end position.
Phase Core::finish(std::unique_lock<std::mutex>& lk) {
    const bool ran = outputRuns(phase);
    phase = Phase::Idle;
    mode = Player::State::Stopped;
    stoppedPos = endPos;
    following = ++generation;
    if (ran) haltOutput(lk);
    std::function<void()> cb = onEnd;
    lk.unlock();
    if (cb) cb();
    lk.lock();
    return Phase::Idle;
}

// What the commands ask of the current state: the next state, or the
// current one when they ask nothing new.
Phase Core::obey(std::unique_lock<std::mutex>& lk) {
    const Phase was = phase;
    if (following != generation) {
        // A new play, or a stop: what the device holds is not heard.
        following = generation;
        phase = mode == Player::State::Stopped ? Phase::Idle : Phase::Priming;
        if (outputRuns(was)) haltOutput(lk);
        if (phase == Phase::Idle) return was == Phase::Resting ? Phase::Resting : Phase::Idle;
        // A device that failed before gets another chance with each play.
        if (out && out->standIn()) {
            std::unique_ptr<AudioOutput> old = std::move(out);
            lk.unlock();
            old.reset();
            lk.lock();
        }
        begin(resumeFrame);
        return Phase::Priming;
    }
    if (mode == Player::State::Paused && was != Phase::Paused) {
        phase = Phase::Paused;
        if (outputRuns(was)) haltOutput(lk);
        // The output now holds still at the frame heard last: play goes on from there.
        if (following == generation) resumeFrame = heardFrameLocked();
        ring.clear();
        records.clear();
        return Phase::Paused;
    }
    if (mode == Player::State::Playing && was == Phase::Paused) {
        begin(resumeFrame);
        return Phase::Priming;
    }
    return was;
}

Phase Core::stepIdle(std::unique_lock<std::mutex>& lk) {
    if (cv.wait_for(lk, kRestAfter, [this] { return asked(); })) return obey(lk);
    // Stopped a while: let the device go quiet until the next play.
    if (AudioOutput* o = out.get()) {
        busy = true;
        lk.unlock();
        o->rest();
        lk.lock();
        busy = false;
    }
    return Phase::Resting;
}

Phase Core::stepResting(std::unique_lock<std::mutex>& lk) {
    cv.wait(lk, [this] { return asked(); });
    return obey(lk);
}

Phase Core::stepPriming(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Priming) return next;
    if (!out) {
        openOutput(lk);
        return Phase::Priming;
    }
    if (allRead() && consumed == total) return finish(lk);  // nothing (more) to play
    // Start with the device's first fill at hand, and no less than a quarter
    // second, so that the next read has time to come back.
    const int64_t want = std::min<int64_t>(total - consumed, std::max<int64_t>(out->startFrames(), kPrimeFrames));
    if (!allRead() && static_cast<int64_t>(ring.size()) < want) {
        // In one read: the sound begins sooner.
        if (!fetch(want - static_cast<int64_t>(ring.size()))) waitForRead(lk);
        return Phase::Priming;
    }
    phase = allRead() ? Phase::Draining : Phase::Playing;
    if (!startOutput(lk)) replaceOutput(lk);
    return phase;
}

Phase Core::stepPlaying(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Playing) return next;
    if (out->failed()) {
        replaceOutput(lk);
        return phase;
    }
    if (allRead()) return Phase::Draining;
    if (ring.size() < ring.capacity() / 2 && roomForChunk()) return Phase::Refilling;
    cv.wait_for(lk, kDeviceCheck, [this] { return asked() || ring.size() < ring.capacity() / 2; });
    return phase;
}

Phase Core::stepRefilling(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Refilling) return next;
    if (out->failed()) {
        replaceOutput(lk);
        return phase;
    }
    if (allRead()) return Phase::Draining;
    if (!roomForChunk()) return Phase::Playing;
    if (!fetch()) waitForRead(lk);
    return phase;
}

Phase Core::stepStarved(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Starved) return next;
    if (out->failed()) {
        replaceOutput(lk);
        return phase;
    }
    if (allRead()) return Phase::Draining;
    if (ring.size() >= std::min<size_t>(kPrimeFrames, static_cast<size_t>(total - consumed)) || !roomForChunk())
        return Phase::Playing;
    if (!fetch()) waitForRead(lk);
    return phase;
}

Phase Core::stepDraining(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Draining) return next;
    if (out->failed()) {
        replaceOutput(lk);
        return phase;
    }
    if (consumed < total) {
        // The pull says when it has handed out the last frame.
        cv.wait_for(lk, kDeviceCheck, [this] { return asked() || consumed == total; });
        return phase;
    }
    // All handed out: the end comes when the last frame is heard.
    if (records.empty()) return finish(lk);
    const int64_t end = records.back().index + records.back().count;
    if (out->heard() >= end) return finish(lk);
    cv.wait_for(lk, std::min(untilHeard(end), std::chrono::milliseconds(kDeviceCheck)), [this] { return asked(); });
    return phase;
}

Phase Core::stepPaused(std::unique_lock<std::mutex>& lk) {
    if (const Phase next = obey(lk); next != Phase::Paused) return next;
    cv.wait(lk, [this] { return asked(); });
    return Phase::Paused;
}

void Core::run() {
    std::unique_lock lk(m);
    // Early: finding the sound device takes a while, better before the first
    // play than in it.
    if (!quit) openOutput(lk);
    while (!quit) {
        switch (phase) {
        case Phase::Idle:
            phase = stepIdle(lk);
            break;
        case Phase::Resting:
            phase = stepResting(lk);
            break;
        case Phase::Priming:
            phase = stepPriming(lk);
            break;
        case Phase::Playing:
            phase = unlessStarved(stepPlaying(lk));
            break;
        case Phase::Refilling:
            phase = unlessStarved(stepRefilling(lk));
            break;
        case Phase::Starved:
            phase = stepStarved(lk);
            break;
        case Phase::Draining:
            phase = stepDraining(lk);
            break;
        case Phase::Paused:
            phase = stepPaused(lk);
            break;
        }
    }
    phase = Phase::Idle;
    std::unique_ptr<AudioOutput> o = std::move(out);
    lk.unlock();
    o.reset();
}

}  // namespace playback

using playback::adopt;
using playback::Core;
using playback::Phase;

struct Player::Impl {
    std::shared_ptr<Core> core;
    std::thread engine;
    std::thread reader;
};

Player::Player(std::shared_ptr<SectorSource> source, std::vector<AudioSpan> audio) : impl_(std::make_unique<Impl>()) {
    const char* choice = std::getenv("WINSHIM_AUDIO");
    impl_->core = std::make_shared<Core>(std::move(source), std::move(audio), choice ? choice : "");
    impl_->engine = std::thread([core = impl_->core] { core->run(); });
    impl_->reader = std::thread([core = impl_->core] { core->readLoop(); });
}

Player::~Player() {
    Core& c = *impl_->core;
    bool opening, reading;
    {
        std::lock_guard lk(c.m);
        c.quit = true;
        c.onEnd = nullptr;
        c.mode = State::Stopped;
        opening = c.busy;
        reading = c.read && c.read->got < 0;
    }
    c.cv.notify_all();
    c.readCv.notify_all();
    // A read of a slow drive, or the first search for the sound device, is
    // not waited for: the thread owns its share of the state and ends by
    // itself when it returns, closing what it opened.
    if (reading) {
        adopt(std::move(impl_->reader));
    } else {
        impl_->reader.join();
    }
    if (opening || impl_->engine.get_id() == std::this_thread::get_id()) {
        adopt(std::move(impl_->engine));
    } else {
        impl_->engine.join();
    }
}

void Player::play(int32_t from, int32_t to) {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        ++c.generation;
        c.plan = PLAYER_Plan(c.audio, from, to);
        c.total = c.plan.sectors() * kFramesPerSector;
        c.endPos = to;
        c.resumeFrame = 0;
        c.records.clear();
        c.mode = State::Playing;
    }
    c.cv.notify_all();
}

void Player::pause() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.mode != State::Playing) return;
        c.mode = State::Paused;
    }
    c.cv.notify_all();
}

void Player::resume() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.mode != State::Paused) return;
        c.mode = State::Playing;
    }
    c.cv.notify_all();
}

void Player::stop() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.mode == State::Stopped) return;
        c.stoppedPos = c.positionLocked();
        c.mode = State::Stopped;
        ++c.generation;
    }
    c.cv.notify_all();
}

Player::State Player::state() const {
    std::lock_guard lk(impl_->core->m);
    return impl_->core->mode;
}

int32_t Player::position() const {
    std::lock_guard lk(impl_->core->m);
    return impl_->core->positionLocked();
}

void Player::setOnEnd(std::function<void()> onEnd) {
    std::lock_guard lk(impl_->core->m);
    impl_->core->onEnd = std::move(onEnd);
}

}  // namespace winshim
