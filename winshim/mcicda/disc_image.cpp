// A disc image (.cue, .toc, .nrg) read through libcdio. The door is ours to
// simulate: ejecting an image handle through libcdio frees it twice.
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {

// What identifies one version of the image file: reloaded when it changes.
struct Stamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    time_t mtime = 0;
    long mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

class ImageDisc final : public Disc {
public:
    ImageDisc(std::string path, driver_id_t driver) : path_(std::move(path)), driver_(driver) {}

    std::optional<Toc> toc() override {
        std::lock_guard<std::mutex> lock(mutex_);
        refresh();
        return toc_;
    }

    std::string catalog() override {
        std::lock_guard<std::mutex> lock(mutex_);
        refresh();
        return toc_ ? catalog_ : std::string();
    }

    bool readAudio(int32_t lba, int count, uint8_t* out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        refresh();
        if (!cdio_ || !toc_ || count <= 0 || !out) return false;
        // libcdio reads past the end of the file without saying so: clamp here.
        if (lba < kLeadIn || lba > toc_->leadOut - count) return false;
        const driver_return_code_t rc = cdio_read_audio_sectors(cdio_.get(), out, lba - kLeadIn, uint32_t(count));
        if (rc != DRIVER_OP_SUCCESS) WS_LOG("cdio", "%s: reading %d sectors at %d: %d", path_.c_str(), count, lba, rc);
        return rc == DRIVER_OP_SUCCESS;
    }

    MediaState media() override {
        std::lock_guard<std::mutex> lock(mutex_);
        refresh();
        if (doorOpen_) return MediaState::DoorOpen;
        if (!loaded_.exists) return MediaState::NoDisc;
        return toc_ ? MediaState::Present : MediaState::NotReady;
    }

    bool openDoor() override {
        std::lock_guard<std::mutex> lock(mutex_);
        doorOpen_ = true;
        unload();
        return true;
    }

    bool closeDoor() override {
        std::lock_guard<std::mutex> lock(mutex_);
        doorOpen_ = false;
        unload();  // a disc put in while the door was open is read afresh
        refresh();
        return true;
    }

    bool isImage() const override { return true; }

private:
    // Reads the image again when its file appeared, vanished or changed.
    void refresh() {
        if (doorOpen_) return;
        const Stamp now = stampOf(path_);
        if (now == loaded_ && (cdio_ || !now.exists || failed_)) return;
        unload();
        loaded_ = now;
        if (!now.exists) {
            WS_LOG("cdio", "%s: no such file", path_.c_str());
            return;
        }
        if (kindHoldsUp()) {
            sheet_ = std::make_unique<ImageSheet>(path_, driver_);
            cdio_.reset(cdio_open(sheet_->path().c_str(), driver_));
        }
        if (cdio_) toc_ = DISC_ReadToc(cdio_.get());
        if (!toc_) {
            WS_LOG("cdio", "%s: not a readable disc image", path_.c_str());
            failed_ = true;
            cdio_.reset();
            sheet_.reset();
            return;
        }
        catalog_ = DISC_ReadCatalog(cdio_.get());
    }

    // Only the kinds we read reach libcdio, never a file whose kind it would have
    // to guess: its guessing runs every reader over the file, the fragile NRG one too.
    bool kindHoldsUp() const {
        if (driver_ == DRIVER_UNKNOWN) return false;
        if (driver_ == DRIVER_CDRDAO) return tocHoldsUp(path_);
        return driver_ != DRIVER_NRG || DISC_NrgHoldsUp(path_);
    }

    // libcdio's TOC reader takes a TRACK without a mode as a track of no sector
    // size and divides by it; a text file with NULs would hide the mode from it.
    static bool tocHoldsUp(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (text.find('\0') != std::string::npos) return false;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            for (std::string word; words >> word;)
                if (word == "TRACK" && !(words >> word)) return false;
        }
        return true;
    }

    void unload() {
        cdio_.reset();
        sheet_.reset();
        toc_.reset();
        catalog_.clear();
        loaded_ = {};
        failed_ = false;
    }

    std::mutex mutex_;
    const std::string path_;
    const driver_id_t driver_;
    std::unique_ptr<ImageSheet> sheet_;  // outlives cdio_, which reads through it
    CdioPtr cdio_;
    std::optional<Toc> toc_;
    std::string catalog_;
    Stamp loaded_;
    bool failed_ = false;
    bool doorOpen_ = false;
};

}  // namespace

std::unique_ptr<Disc> DISC_OpenImage(const std::string& path, driver_id_t driver) {
    return std::make_unique<ImageDisc>(path, driver);
}

}  // namespace winshim
