#include "desktop/mpris_adaptors.h"

#include "desktop/mpris_service.h"

namespace winshim {

MprisRoot::MprisRoot(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisRoot::identity() const {
    return MprisService::identity();
}
QString MprisRoot::desktopEntry() const {
    return MprisService::desktopEntry();
}
void MprisRoot::Raise() {
    service_->raise();
}
void MprisRoot::Quit() {
    service_->quit();
}

MprisPlayer::MprisPlayer(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayer::playbackStatus() const {
    return service_->playbackStatus();
}
QVariantMap MprisPlayer::metadata() const {
    return service_->metadata();
}
qlonglong MprisPlayer::position() const {
    return service_->position();
}
bool MprisPlayer::hasDisc() const {
    return service_->hasDisc();
}

void MprisPlayer::Next() {
    service_->appCommand(APPCOMMAND_MEDIA_NEXTTRACK);
}
void MprisPlayer::Previous() {
    service_->appCommand(APPCOMMAND_MEDIA_PREVIOUSTRACK);
}
void MprisPlayer::Pause() {
    service_->appCommand(APPCOMMAND_MEDIA_PAUSE);
}
void MprisPlayer::PlayPause() {
    service_->appCommand(APPCOMMAND_MEDIA_PLAY_PAUSE);
}
void MprisPlayer::Stop() {
    service_->appCommand(APPCOMMAND_MEDIA_STOP);
}
void MprisPlayer::Play() {
    service_->appCommand(APPCOMMAND_MEDIA_PLAY);
}

}  // namespace winshim
