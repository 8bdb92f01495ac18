// An optical drive read through libcdio: the media state from the drive
// itself, audio through paranoia at a low speed so playback stays quiet.
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {

// Fast enough for playback with room for paranoia's re-reads, slow enough to stay quiet.
constexpr int kReadSpeed = 4;
constexpr std::chrono::seconds kRetryAfter{3};

class DriveDisc final : public Disc {
public:
    explicit DriveDisc(std::string device) : device_(std::move(device)) {}
    ~DriveDisc() override { release(); }

    std::optional<Toc> toc() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return refresh() == MediaState::Present ? toc_ : std::nullopt;
    }

    std::string catalog() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return refresh() == MediaState::Present ? catalog_ : std::string();
    }

    bool readAudio(int32_t lba, int count, uint8_t* out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!cdio_ || !toc_ || count <= 0 || !out || !startParanoia()) return false;
        // Paranoia asked for a sector past the disc's last one never returns.
        const lsn_t first = lba - kLeadIn;
        if (first < 0 || first > lastSector_ - (count - 1) || lba > toc_->leadOut - count) return false;
        for (int i = 0; i < count; ++i) {
            if (cursor_ != first + i) cdio_paranoia_seek(paranoia_, first + i, SEEK_SET);
            const int16_t* samples = cdio_paranoia_read(paranoia_, nullptr);
            if (!samples) {
                WS_LOG("cdio", "%s: reading sector %d failed", device_.c_str(), first + i);
                cursor_ = -1;
                return false;
            }
            cursor_ = first + i + 1;
            // Paranoia gives host-order samples; the sectors we hand out are little-endian.
            uint8_t* p = out + size_t(i) * kSectorBytes;
            for (int k = 0; k < kSectorBytes / 2; ++k) {
                const uint16_t v = uint16_t(samples[k]);
                p[2 * k] = uint8_t(v);
                p[2 * k + 1] = uint8_t(v >> 8);
            }
        }
        return true;
    }

    MediaState media() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return refresh();
    }

    bool openDoor() override {
        std::lock_guard<std::mutex> lock(mutex_);
        release();
        const driver_return_code_t rc = cdio_eject_media_drive(device_.c_str());
        WS_LOG("cdio", "%s: eject: %d", device_.c_str(), rc);
        return rc == DRIVER_OP_SUCCESS;
    }

    bool closeDoor() override {
        std::lock_guard<std::mutex> lock(mutex_);
        release();
        driver_id_t driver = DRIVER_DEVICE;
        const driver_return_code_t rc = cdio_close_tray(device_.c_str(), &driver);
        WS_LOG("cdio", "%s: close tray: %d", device_.c_str(), rc);
        return rc == DRIVER_OP_SUCCESS;
    }

    bool isImage() const override { return false; }

private:
    MediaState probe() const {
        const int fd = open(device_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            WS_LOG("cdio", "%s: %s", device_.c_str(), std::strerror(errno));
            return errno == ENOENT || errno == ENXIO || errno == ENOMEDIUM ? MediaState::NoDisc : MediaState::NotReady;
        }
        const int status = ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        close(fd);
        switch (status) {
        case CDS_NO_DISC:
            return MediaState::NoDisc;
        case CDS_TRAY_OPEN:
            return MediaState::DoorOpen;
        case CDS_DISC_OK:
        case CDS_NO_INFO:  // the drive cannot tell: reading the disc decides
            return MediaState::Present;
        default:
            return MediaState::NotReady;
        }
    }

    // The drive's state now; the table of contents is read again after a media change.
    MediaState refresh() {
        const MediaState state = probe();
        if (state != MediaState::Present) {
            release();
            return state;
        }
        if (cdio_ && cdio_get_media_changed(cdio_.get()) == 1) release();
        // A disc still spinning up may give no table of contents at first: ask again now and then.
        const auto now = std::chrono::steady_clock::now();
        if (cdio_ && !toc_ && now - lastOpen_ > kRetryAfter) release();
        if (!cdio_) {
            lastOpen_ = now;
            cdio_.reset(cdio_open(device_.c_str(), DRIVER_DEVICE));
            if (cdio_) toc_ = DISC_ReadToc(cdio_.get());
            if (toc_) catalog_ = DISC_ReadCatalog(cdio_.get());
        }
        // A blank or unreadable disc: present, but nothing to play.
        return toc_ ? MediaState::Present : MediaState::NotReady;
    }

    bool startParanoia() {
        if (paranoia_) return true;
        cdda_ = cdio_cddap_identify_cdio(cdio_.get(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (!cdda_ || cdio_cddap_open(cdda_) != 0) {
            WS_LOG("cdio", "%s: no audio access", device_.c_str());
            stopParanoia();
            return false;
        }
        if (cdio_cddap_speed_set(cdda_, kReadSpeed) != 0) WS_LOG("cdio", "%s: read speed unchanged", device_.c_str());
        lastSector_ = cdio_cddap_disc_lastsector(cdda_);
        paranoia_ = cdio_paranoia_init(cdda_);
        if (!paranoia_) {
            stopParanoia();
            return false;
        }
        cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cursor_ = -1;
        return true;
    }

    void stopParanoia() {
        if (paranoia_) cdio_paranoia_free(paranoia_);
        if (cdda_) cdio_cddap_close_no_free_cdio(cdda_);
        paranoia_ = nullptr;
        cdda_ = nullptr;
        cursor_ = -1;
    }

    void release() {
        stopParanoia();
        cdio_.reset();
        toc_.reset();
        catalog_.clear();
    }

    std::mutex mutex_;
    const std::string device_;
    CdioPtr cdio_;
    cdrom_drive_t* cdda_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    std::optional<Toc> toc_;
    std::string catalog_;
    lsn_t lastSector_ = -1;
    lsn_t cursor_ = -1;
    std::chrono::steady_clock::time_point lastOpen_;
};

}  // namespace

std::unique_ptr<Disc> DISC_OpenDrive(const std::string& device) {
    return std::make_unique<DriveDisc>(device);
}

}  // namespace winshim
