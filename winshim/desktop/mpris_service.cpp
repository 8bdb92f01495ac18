#include "desktop/mpris_service.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <algorithm>

#include "core/log.h"
#include "desktop/bus.h"
#include "desktop/mpris.h"
#include "desktop/mpris_adaptors.h"
#include "user32/window.h"

namespace winshim {
namespace {
const char kObjectPath[] = "/org/mpris/MediaPlayer2";
const char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

qlonglong microseconds(int32_t frames) {
    return qlonglong(frames) * 1000000 / 75;
}

bool hasDisc(const CdaState& s) {
    return s.mode == CdaState::Mode::Stopped || s.mode == CdaState::Mode::Playing || s.mode == CdaState::Mode::Paused;
}
}  // namespace

MprisService::MprisService() {
    new MprisRoot(this);
    new MprisPlayer(this);
    trackEnd_.setSingleShot(true);
    connect(&trackEnd_, &QTimer::timeout, this, &MprisService::refresh);
}

QString MprisService::identity() {
    const QString id = QStringLiteral(WINSHIM_APP_ID);
    return id.section('.', -1);
}

QString MprisService::desktopEntry() {
    return QStringLiteral(WINSHIM_APP_ID);
}

// The window the requests are for: the first top-level window that no other
// window owns, the one the program's message loop was made for.
HWND MprisService::mainWindow() {
    for (HWND h : WIN_TopLevels())
        if (Window* w = WIN_Get(h); w && !w->owner) return h;
    return nullptr;
}

void MprisService::appCommand(int command) {
    // A request from the bus comes as a media key's does, and from no window.
    if (HWND main = mainWindow())
        PostMessageA(main, WM_APPCOMMAND, WPARAM(main), MAKELPARAM(0, command | FAPPCOMMAND_OEM));
}

void MprisService::raise() {
    HWND main = mainWindow();
    if (!main) return;
    // As a click on a minimised window's task button: the program hears of the restore.
    if (IsIconic(main)) SendMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(main);
}

void MprisService::quit() {
    if (HWND main = mainWindow()) PostMessageA(main, WM_CLOSE, 0, 0);
}

QString MprisService::playbackStatus() const {
    switch (state_.mode) {
    case CdaState::Mode::Playing:
        return QStringLiteral("Playing");
    case CdaState::Mode::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap MprisService::metadata() const {
    if (!winshim::hasDisc(state_)) return {};
    const QString trackId = "/" + desktopEntry().replace('.', '/') + "/track/" + QString::number(state_.track);
    return {
        {"mpris:trackid", QVariant::fromValue(QDBusObjectPath(trackId))},
        {"mpris:length", microseconds(state_.trackEnd - state_.trackStart)},
        {"xesam:trackNumber", state_.track},
        {"xesam:title", QStringLiteral("Track %1").arg(state_.track)},
    };
}

qlonglong MprisService::position() const {
    // Asked for, not announced: read it now.
    CdaState now = CDA_State();
    return winshim::hasDisc(now) ? microseconds(std::max(0, now.position - now.trackStart)) : 0;
}

bool MprisService::hasDisc() const {
    return winshim::hasDisc(state_);
}

void MprisService::refresh() {
    const QString status = playbackStatus();
    const QVariantMap meta = metadata();
    const bool disc = hasDisc();
    state_ = CDA_State();

    trackEnd_.stop();
    if (state_.mode == CdaState::Mode::Playing) {
        // The next track begins where this one ends: one wake-up then, a little after.
        const int frames = std::max(0, state_.trackEnd - state_.position);
        trackEnd_.start(frames * 1000 / 75 + 50);
    }
    if (!triedBus_ && state_.mode != CdaState::Mode::Closed && mainWindow()) {
        triedBus_ = true;
        onBus_ = joinBus();
        return;
    }
    if (!onBus_) return;

    QVariantMap changed;
    if (playbackStatus() != status) changed["PlaybackStatus"] = playbackStatus();
    if (metadata() != meta) changed["Metadata"] = metadata();
    if (hasDisc() != disc)
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"}) changed[name] = hasDisc();
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

bool MprisService::joinBus() {
    if (!DESKTOP_SessionBusExists()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
    // The plain name belongs to whoever took it first; a later player adds its process.
    const QString name = "org.mpris.MediaPlayer2." + identity().toLower();
    for (const QString& candidate : {name, name + ".instance" + QString::number(QCoreApplication::applicationPid())}) {
        QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
            candidate, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            WS_LOG("mpris", "on the session bus as %s", qPrintable(candidate));
            return true;
        }
    }
    bus.unregisterObject(kObjectPath);
    return false;
}

void MPRIS_Watch() {
    static MprisService* service = nullptr;
    if (service) return;
    service = new MprisService;
    service->setParent(QCoreApplication::instance());
    CDA_Watch([] { service->refresh(); });
}

}  // namespace winshim
