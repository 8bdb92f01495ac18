// A drive that tests control: a disc image (from tools/mkdisc) as the disc in
// it, and a media status that the test sets, and can hold, as a drive that
// takes its time to answer does. Also what an image's layout file says.
#pragma once

#include <linux/cdrom.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "mcicda/disc_drive.h"

namespace fakedrive {

class FakeDrive : public winshim::DriveDevice {
public:
    explicit FakeDrive(std::string cue) : cue_(std::move(cue)) {}

    std::atomic<int> answer{CDS_DISC_OK};  // what CDROM_DRIVE_STATUS says
    std::atomic<bool> blank{false};        // a disc that libcdio cannot open
    std::atomic<bool> acceptsSpeed{false};
    std::atomic<int> speedAsked{0};

    int status() override {
        std::unique_lock lk(m_);
        ++inside_;
        cv_.notify_all();
        cv_.wait(lk, [&] { return !held_; });
        --inside_;
        return answer;
    }
    CdIo_t* open() override { return blank ? nullptr : cdio_open(cue_.c_str(), DRIVER_BINCUE); }
    bool eject() override {
        answer = CDS_TRAY_OPEN;
        return true;
    }
    bool closeTray() override {
        answer = CDS_DISC_OK;
        return true;
    }
    // An image refuses a speed: the drive's answer is libcdio's unless this one accepts it.
    bool setReadSpeed(CdIo_t* cdio, int speed) override {
        speedAsked = speed;
        return acceptsSpeed || cdio_set_speed(cdio, speed) == DRIVER_OP_SUCCESS;
    }

    // Holds every status call from now on until release().
    void hold() {
        std::lock_guard lk(m_);
        held_ = true;
    }
    // True once a status call is being held.
    bool waitForHeldCall() {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, std::chrono::seconds(10), [&] { return inside_ > 0; });
    }
    bool heldInside() {
        std::lock_guard lk(m_);
        return inside_ > 0;
    }
    void release() {
        std::lock_guard lk(m_);
        held_ = false;
        cv_.notify_all();
    }

private:
    const std::string cue_;
    std::mutex m_;
    std::condition_variable cv_;
    bool held_ = false;
    int inside_ = 0;
};

struct Track {
    int start;
    bool audio;
    unsigned seed;
    int number;  // as the disc numbers it
};
struct Layout {
    std::vector<Track> tracks;
    int leadOut = 0;
};

inline Layout readLayout(const std::string& file) {
    Layout layout;
    std::ifstream in(file);
    std::string line, key, word;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        words >> key;
        if (key == "track") {
            Track t{};
            int audio, pregap;
            words >> t.number >> word >> t.start >> word >> audio >> word >> pregap >> word >> t.seed;
            t.audio = audio != 0;
            layout.tracks.push_back(t);
        } else if (key == "leadout") {
            words >> layout.leadOut;
        }
    }
    return layout;
}

// The interleaved samples of the audio sectors in [from, to), from the layout's formula.
inline std::vector<int16_t> expectedSamples(const Layout& l, int from, int to) {
    std::vector<int16_t> samples;
    for (int lba = from; lba < to; ++lba) {
        const Track* track = nullptr;
        for (const Track& t : l.tracks)
            if (t.start <= lba) track = &t;
        if (!track || !track->audio) continue;
        for (uint32_t k = 0; k < 588; ++k) {
            const uint32_t n = uint32_t(lba) * 588u + k;
            samples.push_back(int16_t(uint16_t(n * 31u + track->seed * 4099u)));
            samples.push_back(int16_t(uint16_t(n * 17u + track->seed * 257u + 12345u)));
        }
    }
    return samples;
}

}  // namespace fakedrive
