// An optical drive read through libcdio: the media state from the drive
// itself, audio through paranoia at a low speed so playback stays quiet.
//
// The drive may take seconds to answer (spinning up, a scratched disc, a USB
// drive pulled out mid-command), and commands must not wait for it. So the
// status is asked, and the table of contents read, on a thread of the disc's
// own; a command asks for a fresh answer, waits a little for it and otherwise
// takes the last one. Reads come from the player's thread and hold only the
// reading lock, which commands never take.
#include "mcicda/disc_drive.h"

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <linux/cdrom.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {

using Clock = std::chrono::steady_clock;

// Fast enough for playback with room for paranoia's re-reads, slow enough to stay quiet.
constexpr int kReadSpeed = 4;
constexpr std::chrono::seconds kRetryAfter{3};
// How long a command waits for the drive's answer before it takes the last one.
constexpr std::chrono::milliseconds kAnswerWait{25};
// Paranoia's re-reads of one stretch before it gives up on it.
constexpr int kReadRetries = 5;
// After a hard read error, how far on each sector is read once more on its
// own: more than paranoia reads ahead.
constexpr int kVerifySectors = 300;

// Paranoia's callback has no context of its own: hard read errors are counted
// for the thread that reads.
thread_local int t_readErrors = 0;
void countReadErrors(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_READERR) ++t_readErrors;
}

struct DriveCore {
    DriveCore(std::string n, std::shared_ptr<DriveDevice> d) : name(std::move(n)), device(std::move(d)) {}
    ~DriveCore() { release(); }

    void watch();
    void probe();
    void publish(MediaState s, std::optional<Toc> t, std::string c);
    // The answer to give a command: fresh when the drive answers in time.
    void awaitAnswer(std::unique_lock<std::mutex>& lk);
    bool readSectors(int32_t lba, int count, uint8_t* out);
    bool readOne(lsn_t lsn, uint8_t* out);
    bool startParanoia();
    void stopParanoia();
    void release();

    const std::string name;
    const std::shared_ptr<DriveDevice> device;

    // The last answer, and the rounds of asking: under m.
    std::mutex m;
    std::condition_variable cv;
    MediaState state = MediaState::NotReady;
    std::optional<Toc> toc;
    std::string catalog;
    uint64_t wanted = 1, done = 0;
    bool busy = false;
    Clock::time_point busySince;
    bool quit = false;

    // The disc: opened and released by the watcher and the door, read by the
    // player; under io. Lock order: io, then m.
    std::mutex io;
    CdioPtr cdio;
    std::optional<Toc> ioToc;
    std::string ioCatalog;
    cdrom_drive_t* cdda = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    lsn_t lastSector = -1;
    lsn_t cursor = -1;
    lsn_t verifyUntil = -1;
    lsn_t toldFailure = -1;
    Clock::time_point lastOpen;
};

void DriveCore::watch() {
    std::unique_lock lk(m);
    while (!quit) {
        if (done >= wanted) {
            cv.wait(lk);
            continue;
        }
        busy = true;
        busySince = Clock::now();
        lk.unlock();
        probe();
        lk.lock();
        busy = false;
        ++done;
        cv.notify_all();
    }
}

void DriveCore::probe() {
    const int status = device->status();
    const MediaState now = DISC_MediaOfStatus(status);
    if (now != MediaState::Present) {
        // Said first, so that a read under way stops at its next sector.
        publish(now, std::nullopt, {});
        std::lock_guard lk(io);
        release();
        return;
    }
    std::unique_lock lk(io, std::try_to_lock);
    if (!lk.owns_lock()) {
        // The player is reading the disc: it is there, and the drive says so.
        {
            std::lock_guard answer(m);
            if (state == MediaState::Present) return;
        }
        lk.lock();
    }
    if (cdio && cdio_get_media_changed(cdio.get()) == 1) release();
    // A disc still spinning up may give no table of contents at first: ask again now and then.
    if (cdio && !ioToc && Clock::now() - lastOpen > kRetryAfter) release();
    if (!cdio) {
        lastOpen = Clock::now();
        cdio.reset(device->open());
        if (cdio) ioToc = DISC_ReadToc(cdio.get());
        // Asked once a disc: the drive answers it from the subchannel, in between reads.
        if (ioToc) ioCatalog = DISC_ReadCatalog(cdio.get());
    }
    // A blank or unreadable disc: present, but nothing to play.
    publish(ioToc ? MediaState::Present : MediaState::NotReady, ioToc, ioCatalog);
}

void DriveCore::publish(MediaState s, std::optional<Toc> t, std::string c) {
    std::lock_guard lk(m);
    static const char* const kNames[] = {"disc present", "no disc", "door open", "not ready"};
    if (s != state) WS_LOG("cdio", "%s: %s", name.c_str(), kNames[int(s)]);
    state = s;
    toc = std::move(t);
    catalog = std::move(c);
}

void DriveCore::awaitAnswer(std::unique_lock<std::mutex>& lk) {
    // A round that began before this call may have asked too early: wait for the next.
    const uint64_t target = done + (busy ? 2 : 1);
    if (wanted < target) wanted = target;
    cv.notify_all();
    // A drive that already keeps a round waiting gets no more time.
    const Clock::time_point deadline = (busy ? busySince : Clock::now()) + kAnswerWait;
    cv.wait_until(lk, deadline, [&] { return done >= target; });
}

bool DriveCore::readSectors(int32_t lba, int count, uint8_t* out) {
    std::lock_guard lk(io);
    if (!cdio || !ioToc || count <= 0 || !out || !startParanoia()) return false;
    // Paranoia asked for a sector past the disc's last one never returns.
    const lsn_t first = lba - kLeadIn;
    if (first < 0 || first > lastSector - (count - 1) || lba > ioToc->leadOut - count) return false;
    for (int i = 0; i < count; ++i) {
        bool gone;
        {
            std::lock_guard answer(m);
            gone = state != MediaState::Present;
        }
        if (gone || !readOne(first + i, out + size_t(i) * kSectorBytes)) {
            // The player asks again for the sectors before this one: told once.
            if (toldFailure != first + i)
                WS_LOG("cdio", "%s: sector %d %s: giving up there", name.c_str(), lba + i,
                       gone ? "is not read, the disc went away" : "cannot be read");
            toldFailure = first + i;
            cursor = -1;
            return false;
        }
        cursor = first + i + 1;
    }
    return true;
}

// One sector, little-endian as the sectors we hand out.
bool DriveCore::readOne(lsn_t lsn, uint8_t* out) {
    if (cursor != lsn) cdio_paranoia_seek(paranoia, lsn, SEEK_SET);
    t_readErrors = 0;
    const int16_t* samples = cdio_paranoia_read_limited(paranoia, countReadErrors, kReadRetries);
    if (!samples) return false;
    // Paranoia makes up what it could not read (silence), and it reads ahead:
    // an error may belong to any sector of the stretch. Until the stretch is
    // past, each sector is what the drive reads of it alone, or play ends there.
    if (t_readErrors > 0) verifyUntil = lsn + kVerifySectors;
    if (lsn < verifyUntil) return cdio_read_audio_sectors(cdio.get(), out, lsn, 1) == DRIVER_OP_SUCCESS;
    for (int k = 0; k < kSectorBytes / 2; ++k) {
        const uint16_t v = uint16_t(samples[k]);
        out[2 * k] = uint8_t(v);
        out[2 * k + 1] = uint8_t(v >> 8);
    }
    return true;
}

bool DriveCore::startParanoia() {
    if (paranoia) return true;
    cdda = cdio_cddap_identify_cdio(cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!cdda || cdio_cddap_open(cdda) != 0) {
        WS_LOG("cdio", "%s: no audio access", name.c_str());
        stopParanoia();
        return false;
    }
    if (!device->setReadSpeed(cdio.get(), kReadSpeed)) WS_LOG("cdio", "%s: read speed unchanged", name.c_str());
    lastSector = cdio_cddap_disc_lastsector(cdda);
    paranoia = cdio_paranoia_init(cdda);
    if (!paranoia) {
        stopParanoia();
        return false;
    }
    cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cursor = -1;
    return true;
}

void DriveCore::stopParanoia() {
    if (paranoia) cdio_paranoia_free(paranoia);
    if (cdda) cdio_cddap_close_no_free_cdio(cdda);
    paranoia = nullptr;
    cdda = nullptr;
    cursor = -1;
    verifyUntil = -1;
    toldFailure = -1;
}

void DriveCore::release() {
    stopParanoia();
    cdio.reset();
    ioToc.reset();
    ioCatalog.clear();
}

class DriveDisc final : public Disc {
public:
    DriveDisc(const std::string& name, std::shared_ptr<DriveDevice> device)
        : core_(std::make_shared<DriveCore>(name, std::move(device))) {
        watcher_ = std::thread([core = core_] { core->watch(); });
    }

    ~DriveDisc() override {
        bool asking;
        {
            std::lock_guard lk(core_->m);
            core_->quit = true;
            asking = core_->busy;
        }
        core_->cv.notify_all();
        // A drive that does not answer is not waited for: the watcher owns its
        // share and ends when the drive lets it go.
        if (asking) {
            watcher_.detach();
        } else {
            watcher_.join();
        }
    }

    std::optional<Toc> toc() override {
        std::unique_lock lk(core_->m);
        core_->awaitAnswer(lk);
        return core_->state == MediaState::Present ? core_->toc : std::nullopt;
    }

    std::string catalog() override {
        std::unique_lock lk(core_->m);
        core_->awaitAnswer(lk);
        return core_->state == MediaState::Present ? core_->catalog : std::string();
    }

    bool readAudio(int32_t lba, int count, uint8_t* out) override { return core_->readSectors(lba, count, out); }

    MediaState media() override {
        std::unique_lock lk(core_->m);
        core_->awaitAnswer(lk);
        return core_->state;
    }

    bool openDoor() override { return door(true); }
    bool closeDoor() override { return door(false); }
    bool isImage() const override { return false; }

private:
    bool door(bool open) {
        bool ok;
        {
            std::lock_guard lk(core_->io);
            core_->release();
            ok = open ? core_->device->eject() : core_->device->closeTray();
        }
        WS_LOG("cdio", "%s: %s: %s", core_->name.c_str(), open ? "eject" : "close tray", ok ? "done" : "failed");
        return ok;
    }

    std::shared_ptr<DriveCore> core_;
    std::thread watcher_;
};

std::function<std::shared_ptr<DriveDevice>(const std::string&)> g_testDevices;

}  // namespace

MediaState DISC_MediaOfStatus(int status) {
    switch (status) {
    case CDS_NO_DISC:
    case -ENOMEDIUM:
    // The device went away (a USB drive pulled out) or is not there at all.
    case -ENOENT:
    case -ENXIO:
    case -ENODEV:
        return MediaState::NoDisc;
    case CDS_TRAY_OPEN:
        return MediaState::DoorOpen;
    case CDS_DISC_OK:
    case CDS_NO_INFO:  // the drive cannot tell: reading the disc decides
        return MediaState::Present;
    default:  // not ready, or an error of a drive that is there
        return MediaState::NotReady;
    }
}

std::unique_ptr<Disc> DISC_OpenDriveOn(const std::string& name, std::shared_ptr<DriveDevice> device) {
    return std::make_unique<DriveDisc>(name, std::move(device));
}

bool DISC_DriveHasDisc(DriveDevice& device) {
    if (DISC_MediaOfStatus(device.status()) != MediaState::Present) return false;
    CdioPtr cdio(device.open());
    return cdio && DISC_ReadToc(cdio.get());
}

void DISC_SetDriveDevicesForTests(std::function<std::shared_ptr<DriveDevice>(const std::string&)> make) {
    g_testDevices = std::move(make);
}

std::unique_ptr<Disc> DISC_OpenDrive(const std::string& node) {
    return DISC_OpenDriveOn(node, g_testDevices ? g_testDevices(node) : DISC_DeviceNode(node));
}

}  // namespace winshim
