// The playback engine. One engine thread per player reads sectors into the
// ring, starts and stops the output, notices the end of play and a failed
// device; the output's own thread pulls frames from the ring. Commands only
// change the shared state under the lock and wake the engine, so none waits
// for the disc or the sound device: a read that is under way when a command
// comes is thrown away afterwards (each play has its own generation).
//
// The engine sleeps until there is work: the pull wakes it when the ring is
// half empty (it then reads until the ring is full), the end of play and the
// drain of a pause are waited for by the clock, and a failed device is looked
// for twice a second.
//
// A play starts the output afresh with the device's whole buffer already in
// the ring, so that sound begins one device latency after the command. A pause
// lets the device play out what it holds (nothing taken is lost) and then
// stops it; a resume starts it afresh from the ring.
//
// The position: every pull that hands out frames is recorded as (output frame
// index, stream frame). The output says which of its frames the listener
// hears now; the records turn that into a stream frame, and the plan into an
// LBA.
#include "mcicda/player.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

#include "core/log.h"
#include "mcicda/audio_output.h"
#include "mcicda/disc.h"
#include "mcicda/player_stream.h"

namespace winshim {
namespace {

constexpr int kChunkSectors = 12;                 // one read: 160 ms of audio
constexpr size_t kRingFrames = 3 * kSampleRate;   // what the reader keeps ahead
constexpr size_t kPrimeFrames = kSampleRate / 4;  // held back after an underrun
constexpr auto kDeviceCheck = std::chrono::milliseconds(500);
constexpr auto kRestAfter = std::chrono::seconds(5);
constexpr size_t kRecords = 2048;  // far more than any device's latency
constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::min();

struct Record {
    int64_t index;  // output frame index of the first frame handed out
    int64_t frame;  // stream frame it was
    int count;
};

struct Core {
    Core(std::shared_ptr<SectorSource> s, std::vector<AudioSpan> a, std::string c)
        : source(std::move(s)), audio(std::move(a)), choice(std::move(c)), ring(kRingFrames) {
        if (!audio.empty()) stoppedPos = audio.front().start;
    }

    void run();
    int pull(int16_t* frames, int count, int64_t index);
    int32_t positionLocked() const;

    // Engine steps; each takes the held lock and may drop it for a while.
    void readChunk(std::unique_lock<std::mutex>& lk);
    void openOutput(std::unique_lock<std::mutex>& lk);
    void startOutput(std::unique_lock<std::mutex>& lk);
    void stopOutput(std::unique_lock<std::mutex>& lk);
    void replaceOutput(std::unique_lock<std::mutex>& lk);
    void finish(std::unique_lock<std::mutex>& lk);
    // How long until the output has played out every frame handed to it.
    std::chrono::milliseconds untilHeard(int64_t index) const;

    mutable std::mutex m;
    std::condition_variable cv;
    const std::shared_ptr<SectorSource> source;
    const std::vector<AudioSpan> audio;
    const std::string choice;
    std::function<void()> onEnd;
    bool quit = false;
    bool inRead = false;  // the engine waits for the disc or the sound device

    // The output: made, started and stopped by the engine only.
    std::unique_ptr<AudioOutput> out;
    bool outRunning = false;
    bool stopping = false;  // the engine is stopping the output: pulls hand out nothing
    bool restart = false;   // a new play: the output starts afresh
    bool resting = false;   // stopped long enough for the device to rest

    // The current play.
    Player::State state = Player::State::Stopped;
    uint64_t generation = 0;
    PlayPlan plan;
    int64_t total = 0;       // stream frames to play; cut short by a failed read
    int64_t nextSector = 0;  // next stream sector to read
    bool readDone = true;
    bool refilling = false;  // reading on until the ring is full
    int32_t endPos = 0;      // the position once play has ended
    FrameRing ring;
    int64_t consumed = 0;  // stream frames handed to the output
    bool priming = true;
    std::deque<Record> records;
    int32_t stoppedPos = 0;
};

}  // namespace

int Core::pull(int16_t* frames, int count, int64_t index) {
    std::lock_guard lk(m);
    if (state != Player::State::Playing || stopping || restart) return 0;
    if (priming) {
        // After an underrun wait for a little stock, so that a slow drive
        // gives a few long gaps rather than many short ones.
        if (!readDone && ring.size() < std::min<size_t>(kPrimeFrames, total - consumed)) return 0;
        priming = false;
    }
    const size_t before = ring.size();
    const int n = static_cast<int>(ring.pop(frames, count));
    if (n == 0) {
        priming = !readDone;
        if (priming) cv.notify_all();
        return 0;
    }
    records.push_back({index, consumed, n});
    if (records.size() > kRecords) records.pop_front();
    consumed += n;
    const size_t half = ring.capacity() / 2;
    if ((readDone && consumed == total) || (!readDone && before >= half && ring.size() < half)) cv.notify_all();
    return n;
}

int32_t Core::positionLocked() const {
    if (state == Player::State::Stopped) return stoppedPos;
    int64_t frame = 0;
    if (!records.empty() && out) {
        const int64_t heard = out->heard();
        frame = records.front().frame;
        for (auto r = records.rbegin(); r != records.rend(); ++r) {
            if (r->index <= heard) {
                // Past the last frame handed out the listener hears silence
                // (the ring ran dry), unless the device is gone: then the time
                // goes on until the null output takes over.
                const bool gone = r == records.rbegin() && state == Player::State::Playing && out->failed();
                frame = r->frame + (gone ? heard - r->index : std::min<int64_t>(heard - r->index, r->count));
                break;
            }
        }
        frame = std::min(frame, total);
    }
    return plan.lbaOf(frame);
}

void Core::readChunk(std::unique_lock<std::mutex>& lk) {
    const int room = static_cast<int>(ring.space() / kFramesPerSector);
    const PlayPlan::Run run = plan.run(nextSector, std::min(room, kChunkSectors));
    const uint64_t gen = generation;
    std::vector<uint8_t> raw(static_cast<size_t>(run.count) * kSectorBytes);
    inRead = true;
    lk.unlock();
    const int got = source->read(run.lba, run.count, raw.data());
    std::vector<int16_t> pcm(raw.size() / 2);
    if (got > 0) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(pcm.data(), raw.data(), raw.size());
        } else {
            for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
        }
    }
    lk.lock();
    inRead = false;
    if (gen != generation || quit) return;  // a command came meanwhile: this read is stale
    ring.push(pcm.data(), static_cast<size_t>(std::max(got, 0)) * kFramesPerSector);
    nextSector += std::max(got, 0);
    if (got < run.count) {
        // What came before the sector that failed still plays; play ends there.
        WS_LOG("audio", "sector %d cannot be read: play ends there", run.lba + std::max(got, 0));
        total = nextSector * kFramesPerSector;
        endPos = plan.lbaOf(total);
        readDone = true;
        return;
    }
    readDone = nextSector >= plan.sectors();
}

void Core::openOutput(std::unique_lock<std::mutex>& lk) {
    inRead = true;
    lk.unlock();
    auto made = AUDIO_Open(choice);
    lk.lock();
    inRead = false;
    out = std::move(made);
}

void Core::startOutput(std::unique_lock<std::mutex>& lk) {
    if (!out) openOutput(lk);
    AudioOutput* o = out.get();
    lk.unlock();
    // Number on from the frames this output already took, so the records of a
    // play stay in order even when a stop and a play crossed a restart.
    const bool ok = o->start([this](int16_t* f, int n, int64_t i) { return pull(f, n, i); }, o->taken());
    lk.lock();
    if (ok) {
        outRunning = true;
    } else {
        replaceOutput(lk);
    }
}

void Core::stopOutput(std::unique_lock<std::mutex>& lk) {
    AudioOutput* o = out.get();
    stopping = true;
    lk.unlock();
    o->stop();
    lk.lock();
    stopping = false;
    outRunning = false;
}

// The device failed (or would not start): go on through the null output, so
// that modes and positions stay true. What the device took but never played,
// and the time it stood still before it was found failed, the listener has
// missed: the stream goes on where it would be had the device played on. The
// next play tries the device again.
void Core::replaceOutput(std::unique_lock<std::mutex>& lk) {
    AudioOutput* old = out.get();
    LOG_Print("audio", "the sound device stopped taking sound; playing on without it");
    const int64_t heard = old->heard();
    if (!records.empty() && state == Player::State::Playing) {
        const int64_t missed = heard - (records.back().index + records.back().count);
        consumed += static_cast<int64_t>(ring.drop(static_cast<size_t>(std::max<int64_t>(missed, 0))));
    }
    lk.unlock();
    old->stop();
    std::unique_ptr<AudioOutput> fresh = AUDIO_OpenStandIn();
    fresh->start([this](int16_t* f, int n, int64_t i) { return pull(f, n, i); }, std::max(old->taken(), heard));
    lk.lock();
    std::swap(out, fresh);
    outRunning = true;
    lk.unlock();
    fresh.reset();  // the old output
    lk.lock();
}

std::chrono::milliseconds Core::untilHeard(int64_t index) const {
    const int64_t left = out ? index - out->heard() : 0;
    return std::chrono::milliseconds(std::max<int64_t>(left, 0) * 1000 / kSampleRate + 2);
}

void Core::finish(std::unique_lock<std::mutex>& lk) {
    state = Player::State::Stopped;
    stoppedPos = endPos;
    ++generation;
    std::function<void()> cb = onEnd;
    lk.unlock();
    if (cb) cb();
    lk.lock();
}

void Core::run() {
    int64_t endIndex = kNoEnd;
    uint64_t endGeneration = 0;
    std::unique_lock lk(m);
    // Early: finding the sound device takes a while, better before the first
    // play than in it.
    if (!quit && !out) openOutput(lk);
    while (!quit) {
        if (state == Player::State::Stopped) {
            if (outRunning) {
                stopOutput(lk);
                resting = false;
            } else if (resting || !out) {
                cv.wait(lk);
            } else if (!cv.wait_for(lk, kRestAfter, [this] { return quit || state != Player::State::Stopped; })) {
                // Stopped a while: let the device go quiet until the next play.
                AudioOutput* o = out.get();
                resting = true;
                inRead = true;
                lk.unlock();
                o->rest();
                lk.lock();
                inRead = false;
            }
            continue;
        }
        if (restart) {
            if (outRunning) stopOutput(lk);
            restart = false;
            // A device that failed before gets another chance with each play.
            if (out && out->standIn()) {
                std::unique_ptr<AudioOutput> old = std::move(out);
                lk.unlock();
                old.reset();
                lk.lock();
                openOutput(lk);
            }
            continue;
        }
        const int64_t handedOut = records.empty() ? kNoEnd : records.back().index + records.back().count;
        if (state == Player::State::Playing && readDone && consumed == total) {
            // All handed out: the end comes when the last frame is heard.
            if (endGeneration != generation) {
                endGeneration = generation;
                endIndex = handedOut;
            }
            if (endIndex == kNoEnd || (out && out->heard() >= endIndex)) {
                finish(lk);
                continue;
            }
        }
        if (!outRunning) {
            if (state == Player::State::Paused) {
                cv.wait(lk);
                continue;
            }
            // Start with the device's first fill at hand, no more.
            const int64_t want = std::min<int64_t>(total - consumed, std::max<int64_t>(out->startFrames(), 1));
            if (!readDone && static_cast<int64_t>(ring.size()) < want) {
                readChunk(lk);
                continue;
            }
            startOutput(lk);
            continue;
        }
        if (out->failed()) {
            replaceOutput(lk);
            continue;
        }
        if (state == Player::State::Paused) {
            // Paused: once the device played out what it had, stop it.
            if (handedOut == kNoEnd || out->heard() >= handedOut) {
                stopOutput(lk);
            } else {
                cv.wait_for(lk, std::min(untilHeard(handedOut), std::chrono::milliseconds(kDeviceCheck)));
            }
            continue;
        }
        // Whole chunks: a drive reads a run of sectors far better than single
        // ones, and a ring filled in one go lets the engine sleep long.
        const int64_t left = plan.sectors() - nextSector;
        const bool room =
            static_cast<int64_t>(ring.space()) >= std::min<int64_t>(kChunkSectors, left) * kFramesPerSector;
        if (!readDone && room && (refilling || priming || ring.size() < ring.capacity() / 2)) {
            refilling = true;
            readChunk(lk);
            continue;
        }
        refilling = false;
        if (readDone && consumed == total) {
            cv.wait_for(lk, std::min(untilHeard(endIndex), std::chrono::milliseconds(kDeviceCheck)));
        } else {
            cv.wait_for(lk, kDeviceCheck);
        }
    }
    std::unique_ptr<AudioOutput> o = std::move(out);
    lk.unlock();
    if (o) o->stop();
}

struct Player::Impl {
    std::shared_ptr<Core> core;
    std::thread engine;
};

Player::Player(std::shared_ptr<SectorSource> source, std::vector<AudioSpan> audio) : impl_(std::make_unique<Impl>()) {
    const char* choice = std::getenv("WINSHIM_AUDIO");
    impl_->core = std::make_shared<Core>(std::move(source), std::move(audio), choice ? choice : "");
    impl_->engine = std::thread([core = impl_->core] { core->run(); });
}

Player::~Player() {
    Core& c = *impl_->core;
    bool reading;
    {
        std::lock_guard lk(c.m);
        c.quit = true;
        c.onEnd = nullptr;
        c.state = State::Stopped;
        reading = c.inRead;
    }
    c.cv.notify_all();
    // A read of a slow drive, or the first search for the sound device, is
    // not waited for: the engine owns its share of the state and ends by
    // itself when it returns.
    if (reading || impl_->engine.get_id() == std::this_thread::get_id()) {
        impl_->engine.detach();
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
        c.nextSector = 0;
        c.readDone = c.total == 0;
        c.endPos = to;
        c.ring.clear();
        c.consumed = 0;
        c.priming = true;
        c.refilling = false;
        c.records.clear();
        c.state = State::Playing;
        c.restart = true;
    }
    c.cv.notify_all();
}

void Player::pause() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.state != State::Playing) return;
        c.state = State::Paused;
    }
    c.cv.notify_all();
}

void Player::resume() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.state != State::Paused) return;
        c.state = State::Playing;
    }
    c.cv.notify_all();
}

void Player::stop() {
    Core& c = *impl_->core;
    {
        std::lock_guard lk(c.m);
        if (c.state == State::Stopped) return;
        c.stoppedPos = c.positionLocked();
        c.state = State::Stopped;
        ++c.generation;
    }
    c.cv.notify_all();
}

Player::State Player::state() const {
    std::lock_guard lk(impl_->core->m);
    return impl_->core->state;
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
