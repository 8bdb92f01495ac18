// The playback engine's pieces below its states: the pull, the position, the
// reader, and starting, stopping and replacing the output.
#include "mcicda/player_core.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/log.h"
#include "mcicda/disc.h"

namespace winshim::playback {

int Core::pull(int16_t* frames, int count, int64_t index) {
    std::lock_guard lk(m);
    if (mode != Player::State::Playing || following != generation) return 0;
    if (phase != Phase::Playing && phase != Phase::Refilling && phase != Phase::Draining) return 0;
    const size_t before = ring.size();
    const int n = static_cast<int>(ring.pop(frames, count));
    if (n == 0) {
        if (!allRead()) {
            phase = Phase::Starved;
            cv.notify_all();
        }
        return 0;
    }
    records.push_back({index, consumed, n});
    if (records.size() > kRecords) records.pop_front();
    consumed += n;
    const size_t half = ring.capacity() / 2;
    if (consumed == total || (!allRead() && before >= half && ring.size() < half)) cv.notify_all();
    return n;
}

// One past the stream frame the listener heard last.
int64_t Core::heardFrameLocked() const {
    if (records.empty() || !out) return resumeFrame;
    const int64_t heard = out->heard();
    int64_t frame = records.front().frame;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (r->index <= heard) {
            // Past the last frame handed out the listener hears silence (the
            // ring ran dry), unless the device is gone: then the time goes on
            // until the null output takes over.
            const bool gone = r == records.rbegin() && outputRuns(phase) && out->failed();
            frame = r->frame + (gone ? heard - r->index : std::min<int64_t>(heard - r->index, r->count));
            break;
        }
    }
    return std::min(frame, total);
}

int32_t Core::positionLocked() const {
    if (mode == Player::State::Stopped) return stoppedPos;
    return plan.lbaOf(heardFrameLocked());
}

// The ring from stream frame `frame` on: the sector that holds it is read
// whole, and the frames before it dropped.
void Core::begin(int64_t frame) {
    ring.clear();
    records.clear();
    consumed = frame;
    nextSector = frame / kFramesPerSector;
    skip = static_cast<int>(frame % kFramesPerSector);
}

bool Core::roomForChunk() const {
    const int64_t left = (total + kFramesPerSector - 1) / kFramesPerSector - nextSector;
    return static_cast<int64_t>(ring.space()) >= std::min<int64_t>(kChunkSectors, left) * kFramesPerSector;
}

// The next chunk (at least `frames`), through the reader: asks for it, or
// takes it once it is read. True when the ring got what there was to get (or a stale read was
// thrown away), false while the read is under way.
bool Core::fetch(int64_t frames) {
    if (!read) {
        const int64_t left = (total + kFramesPerSector - 1) / kFramesPerSector - nextSector;
        const int room = static_cast<int>(ring.space() / kFramesPerSector);
        const int64_t chunk =
            std::max<int64_t>(kChunkSectors, (frames + skip + kFramesPerSector - 1) / kFramesPerSector);
        const PlayPlan::Run run = plan.run(nextSector, static_cast<int>(std::min<int64_t>({room, chunk, left})));
        if (run.count <= 0) return true;
        read = Read{generation, nextSector, run, {}};
        readCv.notify_all();
        return false;
    }
    if (read->got < 0) return false;
    Read r = std::move(*read);
    read.reset();
    // Read for a play or a place that is no longer wanted.
    if (r.generation != generation || r.generation != following || r.sector != nextSector) return true;
    if (r.got > 0) {
        ring.push(r.pcm.data() + static_cast<size_t>(skip) * kChannels,
                  static_cast<size_t>(r.got) * kFramesPerSector - static_cast<size_t>(skip));
        skip = 0;
    }
    nextSector += r.got;
    if (r.got < r.run.count) {
        // What came before the sector that failed still plays; play ends there.
        WS_LOG("audio", "sector %d cannot be read: play ends there", r.run.lba + r.got);
        total = consumed + static_cast<int64_t>(ring.size());
        endPos = plan.lbaOf(total);
    }
    return true;
}

void Core::waitForRead(std::unique_lock<std::mutex>& lk) {
    cv.wait_for(lk, kDeviceCheck, [this] { return asked() || (read && read->got >= 0); });
}

void Core::readLoop() {
    std::unique_lock lk(m);
    while (!quit) {
        if (!read || read->got >= 0) {
            readCv.wait(lk);
            continue;
        }
        const PlayPlan::Run run = read->run;
        std::vector<uint8_t> raw(static_cast<size_t>(run.count) * kSectorBytes);
        lk.unlock();
        const int got = std::clamp(source->read(run.lba, run.count, raw.data()), 0, run.count);
        std::vector<int16_t> pcm(raw.size() / 2);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(pcm.data(), raw.data(), raw.size());
        } else {
            for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
        }
        lk.lock();
        // The engine never takes back a read under way: this one is still asked for.
        read->pcm = std::move(pcm);
        read->got = got;
        cv.notify_all();
    }
}

void Core::openOutput(std::unique_lock<std::mutex>& lk) {
    busy = true;
    lk.unlock();
    auto made = AUDIO_Open(choice);
    lk.lock();
    busy = false;
    out = std::move(made);
}

bool Core::startOutput(std::unique_lock<std::mutex>& lk) {
    AudioOutput* o = out.get();
    lk.unlock();
    // Number on from the frames this output already took, so that the records
    // of a play stay in order across its restarts.
    const bool ok = o->start([this](int16_t* f, int n, int64_t i) { return pull(f, n, i); }, o->taken());
    lk.lock();
    return ok;
}

// Stops the output, dropping what it holds. The caller has already left the
// states in which the pull hands out frames.
void Core::haltOutput(std::unique_lock<std::mutex>& lk) {
    AudioOutput* o = out.get();
    if (!o) return;
    lk.unlock();
    o->stop();
    lk.lock();
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
    int64_t next = heard;
    if (!records.empty()) {
        // The missed frames count as handed out until the time of the failure
        // is found, so that the position runs on before the null output's
        // first pull; the null output numbers on from there (or from what the
        // device took, to keep the records in order).
        const Record last = records.back();
        const int64_t end = last.index + last.count;
        const int missed = static_cast<int>(ring.drop(static_cast<size_t>(std::max<int64_t>(heard - end, 0))));
        if (missed > 0) records.push_back({end, last.frame + last.count, missed});
        consumed += missed;
        next = std::max(heard, records.back().index + records.back().count);
    }
    lk.unlock();
    // The null output first: stopping a device that failed can take a while,
    // and the listener's time goes on meanwhile. The old one pulls no more.
    std::unique_ptr<AudioOutput> fresh = AUDIO_OpenStandIn();
    fresh->start([this](int16_t* f, int n, int64_t i) { return pull(f, n, i); }, std::max(old->taken(), next));
    old->stop();
    lk.lock();
    std::swap(out, fresh);
    lk.unlock();
    fresh.reset();  // the old output
    lk.lock();
}

std::chrono::milliseconds Core::untilHeard(int64_t index) const {
    const int64_t left = out ? index - out->heard() : 0;
    return std::chrono::milliseconds(std::max<int64_t>(left, 0) * 1000 / kSampleRate + 2);
}

}  // namespace winshim::playback
