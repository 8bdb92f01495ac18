// The cdaudio MCI driver: one open device on one drive letter, answering the
// MCI command messages from the disc's table of contents and playing through
// the playback engine.
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "core/log.h"
#include "kernel32/drives.h"
#include "mcicda/disc.h"
#include "mcicda/media.h"
#include "mcicda/player.h"
#include "mcicda/state.h"
#include "mcicda/timefmt.h"
#include "winmm/commands.h"
#include "winmm/mcidriver.h"

namespace winshim {
namespace {

class DiscSource : public SectorSource {
public:
    explicit DiscSource(std::shared_ptr<Disc> disc) : disc_(std::move(disc)) {}
    int read(int32_t lba, int count, uint8_t* out) override {
        if (disc_->readAudio(lba, count, out)) return count;
        // Find the sector that failed: the ones before it still play.
        int good = 0;
        while (good < count && disc_->readAudio(lba + good, 1, out + size_t(good) * kSectorBytes)) ++good;
        return good;
    }

private:
    std::shared_ptr<Disc> disc_;
};

class CdAudioDriver : public MciDriver {
public:
    CdAudioDriver(char letter, std::shared_ptr<Disc> disc) : letter_(letter), disc_(std::move(disc)) {
        if (disc_->isImage() && MEDIA_ImageDoorOpen(letter_)) disc_->openDoor();
        CDA_Publish(this, [this] { return snapshot(); });
    }
    ~CdAudioDriver() override {
        CDA_Withdraw(this);
        player_.reset();
    }

    DWORD command(UINT message, DWORD_PTR flags, void* parms) override {
        DWORD result = run(message, flags, parms);
        // A command that does more than read may move the device.
        const MciVerb* verb = MCI_VerbOf(message);
        if (!verb || !verb->onlyReads) CDA_Changed();
        return result;
    }

private:
    DWORD run(UINT message, DWORD_PTR flags, void* parms) {
        switch (message) {
        case MCI_CLOSE:
            player_.reset();
            return 0;
        case MCI_STATUS:
            return status(flags, static_cast<MCI_STATUS_PARMS*>(parms));
        case MCI_SET:
            return set(flags, static_cast<MCI_SET_PARMS*>(parms));
        case MCI_PLAY:
            return play(flags, static_cast<MCI_PLAY_PARMS*>(parms));
        case MCI_SEEK:
            return seek(flags, static_cast<MCI_SEEK_PARMS*>(parms));
        case MCI_PAUSE:
            if (player_ && player_->state() == Player::State::Playing) player_->pause();
            return 0;
        case MCI_RESUME:
            if (!player_ || player_->state() != Player::State::Paused) return MCIERR_HARDWARE;
            player_->resume();
            return 0;
        case MCI_STOP:
            if (player_) player_->stop();
            // Stop forgets the place; pause is the command that keeps it.
            playedOnce_ = false;
            if (auto toc = currentToc()) position_ = discStart(*toc);
            return 0;
        case MCI_INFO:
            return info(flags, static_cast<MCI_INFO_PARMSA*>(parms));
        case MCI_GETDEVCAPS:
            return caps(flags, static_cast<MCI_GETDEVCAPS_PARMS*>(parms));
        default:
            return MCIERR_UNSUPPORTED_FUNCTION;
        }
    }

    // A play lasts while its engine plays: until its end, a stop, a pause, a
    // seek, a close, or another play.
    uint64_t lastingAction(UINT message) override {
        const bool playing = player_ && player_->state() == Player::State::Playing;
        return message == MCI_PLAY && playing ? plays_ : 0;
    }
    bool actionOver(uint64_t action) override {
        return action != plays_ || !player_ || player_->state() != Player::State::Playing;
    }
    // The table of contents of the disc now in the drive, or nothing without one.
    // A changed disc gets a new player. A drive tells the media notices what
    // it finds (an image tells them through its door).
    const Toc* currentToc() { return currentToc(disc_->media()); }
    const Toc* currentToc(MediaState media) {
        if (media != MediaState::Present) {
            if (toc_) dropDisc();
        } else if (!toc_) {
            toc_ = disc_->toc();
            if (!toc_) return nullptr;
            position_ = discStart(*toc_);
            // The player comes with the disc: finding the sound device takes
            // a while, and a play should not wait for it.
            player(*toc_);
        }
        if (!disc_->isImage()) MEDIA_Report(letter_, toc_.has_value(), reported_);
        reported_ = true;
        return toc_ ? &*toc_ : nullptr;
    }

    void dropDisc() {
        player_.reset();
        toc_.reset();
    }

    static int32_t firstAudio(const Toc& toc) {
        for (const TrackInfo& t : toc.tracks)
            if (t.audio) return t.start;
        return toc.tracks.empty() ? toc.leadOut : toc.tracks.front().start;
    }

    static int32_t discStart(const Toc& toc) { return toc.tracks.empty() ? 0 : toc.tracks.front().start; }

    Player& player(const Toc& toc) {
        if (!player_) {
            std::vector<AudioSpan> spans;
            for (const TrackInfo& t : toc.tracks)
                if (t.audio) spans.push_back({t.start, toc.end(t)});
            player_ = std::make_unique<Player>(std::make_shared<DiscSource>(disc_), std::move(spans));
            player_->setOnEnd(CDA_Changed);
        }
        return *player_;
    }

    int32_t currentPosition() {
        if (player_ && player_->state() != Player::State::Stopped) return player_->position();
        if (player_ && playedOnce_) return player_->position();
        return position_;
    }

    CdaState snapshot() {
        CdaState s;
        const Toc* toc = currentToc();
        if (!toc || toc->tracks.empty()) {
            s.mode = CdaState::Mode::NoDisc;
            return s;
        }
        const WORD mode = modeNow();
        s.mode = mode == MCI_MODE_PLAY    ? CdaState::Mode::Playing
                 : mode == MCI_MODE_PAUSE ? CdaState::Mode::Paused
                                          : CdaState::Mode::Stopped;
        s.position = currentPosition();
        s.tracks = int(toc->tracks.size());
        s.track = CDA_TrackAt(s.position, *toc);
        const TrackInfo& current = *toc->track(uint32_t(s.track));
        s.trackStart = current.start;
        s.trackEnd = toc->end(current);
        return s;
    }

    DWORD status(DWORD_PTR flags, MCI_STATUS_PARMS* p) {
        if (!p || !(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
        switch (p->dwItem) {
        case MCI_STATUS_MEDIA_PRESENT: {
            bool present = currentToc() != nullptr;
            p->dwReturn = MCI_MakeResource(present, present ? MCI_TRUE : MCI_FALSE);
            return MCI_RESOURCE_RETURNED;
        }
        case MCI_STATUS_READY: {
            bool ready = disc_->media() == MediaState::Present;
            p->dwReturn = MCI_MakeResource(ready, ready ? MCI_TRUE : MCI_FALSE);
            return MCI_RESOURCE_RETURNED;
        }
        case MCI_STATUS_MODE: {
            WORD mode = modeNow();
            p->dwReturn = MCI_MakeResource(mode, mode);
            return MCI_RESOURCE_RETURNED;
        }
        case MCI_STATUS_TIME_FORMAT:
            p->dwReturn = MCI_MakeResource(WORD(format_), WORD(MCI_FORMAT_RETURN_BASE + format_));
            return MCI_RESOURCE_RETURNED;
        }
        const Toc* toc = currentToc();
        if (!toc) return MCIERR_DEVICE_NOT_READY;
        const int count = int(toc->tracks.size());
        const bool withTrack = flags & MCI_TRACK;
        // A track is named by the disc's number for it: first to last, not always from 1.
        const TrackInfo* track = withTrack ? toc->track(p->dwTrack) : nullptr;
        if (withTrack && !track) return MCIERR_OUTOFRANGE;
        switch (p->dwItem) {
        case MCI_STATUS_NUMBER_OF_TRACKS:
            p->dwReturn = DWORD(count);
            return MCI_INTEGER_RETURNED;
        case MCI_STATUS_CURRENT_TRACK:
            p->dwReturn = DWORD(CDA_TrackAt(currentPosition(), *toc));
            return MCI_INTEGER_RETURNED;
        case MCI_STATUS_LENGTH: {
            // The last track and the whole disc end one frame before the lead-out.
            int32_t frames =
                track ? toc->end(*track) - track->start : toc->leadOut - (count ? toc->tracks.front().start : 0);
            if (!track || track == &toc->tracks.back()) frames -= 1;
            CdaValue v = CDA_Length(frames, format_);
            p->dwReturn = v.value;
            return v.flags;
        }
        case MCI_STATUS_POSITION: {
            int32_t lba = track ? track->start : (flags & MCI_STATUS_START) ? discStart(*toc) : currentPosition();
            CdaValue v = CDA_Position(lba, format_, *toc);
            p->dwReturn = v.value;
            return v.flags;
        }
        case MCI_CDA_STATUS_TYPE_TRACK: {
            if (!track) return MCIERR_MISSING_PARAMETER;
            WORD kind = track->audio ? MCI_CDA_TRACK_AUDIO : MCI_CDA_TRACK_OTHER;
            p->dwReturn = MCI_MakeResource(kind, kind);
            return MCI_RESOURCE_RETURNED | MCI_RESOURCE_DRIVER;
        }
        }
        return MCIERR_UNSUPPORTED_FUNCTION;
    }

    WORD modeNow() {
        const MediaState media = disc_->media();
        currentToc(media);
        switch (media) {
        case MediaState::DoorOpen:
        case MediaState::NoDisc:
            return MCI_MODE_OPEN;
        case MediaState::NotReady:
            return MCI_MODE_NOT_READY;
        case MediaState::Present:
            break;
        }
        if (!player_) return MCI_MODE_STOP;
        switch (player_->state()) {
        case Player::State::Playing:
            return MCI_MODE_PLAY;
        case Player::State::Paused:
            return MCI_MODE_PAUSE;
        case Player::State::Stopped:
            break;
        }
        return MCI_MODE_STOP;
    }

    DWORD set(DWORD_PTR flags, MCI_SET_PARMS* p) {
        if (flags & MCI_SET_TIME_FORMAT) {
            if (!p) return MCIERR_MISSING_PARAMETER;
            if (p->dwTimeFormat != MCI_FORMAT_MILLISECONDS && p->dwTimeFormat != MCI_FORMAT_MSF &&
                p->dwTimeFormat != MCI_FORMAT_TMSF)
                return MCIERR_BAD_TIME_FORMAT;
            format_ = p->dwTimeFormat;
        }
        if (flags & MCI_SET_DOOR_OPEN) {
            dropDisc();
            if (!disc_->openDoor()) return MCIERR_HARDWARE;
            if (disc_->isImage()) {
                MEDIA_SetImageDoorOpen(letter_, true);
                MEDIA_Notify(letter_, false);
            }
        }
        if (flags & MCI_SET_DOOR_CLOSED) {
            if (!disc_->closeDoor()) return MCIERR_HARDWARE;
            if (disc_->isImage() && MEDIA_ImageDoorOpen(letter_)) {
                MEDIA_SetImageDoorOpen(letter_, false);
                MEDIA_Notify(letter_, true);
            }
        }
        return 0;
    }

    // A position argument as an LBA, or the MCI error that refuses it.
    DWORD toLba(DWORD value, const Toc& toc, int32_t* lba) {
        std::optional<int32_t> at = CDA_PositionToLba(value, format_, toc);
        if (!at || *at < discStart(toc) || *at > toc.leadOut) return MCIERR_OUTOFRANGE;
        *lba = *at;
        return 0;
    }

    DWORD play(DWORD_PTR flags, MCI_PLAY_PARMS* p) {
        const Toc* toc = currentToc();
        if (!toc) return MCIERR_DEVICE_NOT_READY;
        bool anyAudio = false;
        for (const TrackInfo& t : toc->tracks) anyAudio = anyAudio || t.audio;
        if (!anyAudio) return MCIERR_HARDWARE;
        int32_t from = currentPosition(), to = toc->leadOut;
        if ((flags & (MCI_FROM | MCI_TO)) && !p) return MCIERR_MISSING_PARAMETER;
        if (flags & MCI_FROM) {
            if (DWORD error = toLba(p->dwFrom, *toc, &from)) return error;
            if (from >= toc->leadOut) return MCIERR_OUTOFRANGE;
        }
        if (flags & MCI_TO) {
            if (DWORD error = toLba(p->dwTo, *toc, &to)) return error;
            if (to <= from) return MCIERR_OUTOFRANGE;
        }
        Player& engine = player(*toc);
        // A bare play while paused goes on from the paused sample.
        if (!(flags & (MCI_FROM | MCI_TO)) && engine.state() == Player::State::Paused) {
            engine.resume();
            ++plays_;
            return 0;
        }
        if (!(flags & (MCI_FROM | MCI_TO)) && engine.state() == Player::State::Playing) return 0;
        if (from >= to) from = firstAudio(*toc);
        engine.play(from, to);
        ++plays_;
        playedOnce_ = true;
        return 0;
    }

    DWORD seek(DWORD_PTR flags, MCI_SEEK_PARMS* p) {
        const Toc* toc = currentToc();
        if (!toc) return MCIERR_DEVICE_NOT_READY;
        int32_t target;
        const DWORD how = flags & (MCI_SEEK_TO_START | MCI_SEEK_TO_END | MCI_TO);
        if (how == MCI_SEEK_TO_START) {
            target = firstAudio(*toc);
        } else if (how == MCI_SEEK_TO_END) {
            target = toc->leadOut;
        } else if (how == MCI_TO) {
            if (!p) return MCIERR_MISSING_PARAMETER;
            if (DWORD error = toLba(p->dwTo, *toc, &target)) return error;
        } else {
            return how ? MCIERR_FLAGS_NOT_COMPATIBLE : MCIERR_MISSING_PARAMETER;
        }
        // A seek stops play and leaves the device at the new place.
        if (player_) player_->stop();
        playedOnce_ = false;
        position_ = target;
        return 0;
    }

    DWORD info(DWORD_PTR flags, MCI_INFO_PARMSA* p) {
        if (!p || !p->lpstrReturn || p->dwRetSize == 0) return MCIERR_NULL_PARAMETER_BLOCK;
        char text[64] = "";
        if (flags & MCI_INFO_PRODUCT) {
            std::snprintf(text, sizeof text, "CD Audio");
        } else if (flags & (MCI_INFO_MEDIA_IDENTITY | MCI_INFO_MEDIA_UPC)) {
            const Toc* toc = currentToc();
            if (!toc) return MCIERR_DEVICE_NOT_READY;
            if (flags & MCI_INFO_MEDIA_IDENTITY) {
                std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(DISC_Identity(*toc)));
            } else {
                std::string upc = disc_->catalog();
                if (upc.empty()) return MCIERR_NO_IDENTITY;
                std::snprintf(text, sizeof text, "%s", upc.c_str());
            }
        } else {
            return MCIERR_MISSING_PARAMETER;
        }
        if (std::strlen(text) >= p->dwRetSize) return MCIERR_PARAM_OVERFLOW;
        std::memcpy(p->lpstrReturn, text, std::strlen(text) + 1);
        return 0;
    }

    DWORD caps(DWORD_PTR flags, MCI_GETDEVCAPS_PARMS* p) {
        if (!p || !(flags & MCI_GETDEVCAPS_ITEM)) return MCIERR_MISSING_PARAMETER;
        bool yes;
        switch (p->dwItem) {
        case MCI_GETDEVCAPS_DEVICE_TYPE:
            p->dwReturn = DWORD(MCI_MakeResource(MCI_DEVTYPE_CD_AUDIO, MCI_DEVTYPE_CD_AUDIO));
            return MCI_RESOURCE_RETURNED;
        case MCI_GETDEVCAPS_CAN_PLAY:
        case MCI_GETDEVCAPS_CAN_EJECT:
        case MCI_GETDEVCAPS_HAS_AUDIO:
            yes = true;
            break;
        case MCI_GETDEVCAPS_CAN_RECORD:
        case MCI_GETDEVCAPS_CAN_SAVE:
        case MCI_GETDEVCAPS_HAS_VIDEO:
        case MCI_GETDEVCAPS_USES_FILES:
        case MCI_GETDEVCAPS_COMPOUND_DEVICE:
            yes = false;
            break;
        default:
            return MCIERR_UNSUPPORTED_FUNCTION;
        }
        p->dwReturn = DWORD(MCI_MakeResource(yes, yes ? MCI_TRUE : MCI_FALSE));
        return MCI_RESOURCE_RETURNED;
    }

    const char letter_;
    std::shared_ptr<Disc> disc_;
    std::optional<Toc> toc_;
    std::unique_ptr<Player> player_;
    DWORD format_ = MCI_FORMAT_MSF;
    int32_t position_ = 0;     // where a stopped device is
    bool playedOnce_ = false;  // since the last seek or stop: the engine knows the place
    uint64_t plays_ = 0;       // plays started, each one the action a `wait` waits for
    bool reported_ = false;    // what this device first found went to the notices unannounced
};

std::unique_ptr<MciDriver> openDevice(const std::string& element, const std::string&, MCIERROR* error) {
    std::optional<DriveEntry> drive;
    if (element.empty()) {
        auto table = DRIVES_Table();
        if (!table.empty()) drive = table.front();
    } else {
        // Only the letter counts: "d", "d:" and "d:\" all name drive d.
        char letter = char(element[0] | 0x20);
        if (element.size() == 1 || element[1] == ':') drive = DRIVES_Lookup(letter);
        if (!drive) {
            *error = MCIERR_INVALID_FILE;
            return nullptr;
        }
    }
    if (!drive) {
        *error = MCIERR_CANNOT_LOAD_DRIVER;
        return nullptr;
    }
    std::shared_ptr<Disc> disc = DISC_Open(drive->source);
    if (!disc) {
        *error = MCIERR_INVALID_FILE;
        return nullptr;
    }
    WS_LOG("mci", "cdaudio on %c: (%s)", drive->letter, drive->source.c_str());
    MEDIA_StartMonitor();
    return std::make_unique<CdAudioDriver>(drive->letter, std::move(disc));
}
}  // namespace

extern const MciDriverEntry MCICDA_Driver = {"cdaudio", openDevice};

}  // namespace winshim
