#include "desktop/inhibit.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPointer>
#include <cstdlib>

#include "core/log.h"
#include "core/product.h"
#include "desktop/bus.h"
#include "mcicda/state.h"

namespace winshim {
namespace {

const char kReason[] = "Playing an audio CD";
// The suspend bit of the portal's and the session manager's flags alike.
constexpr uint kSuspendFlag = 4;
// How long exit waits for the release to be heard.
constexpr int kExitTimeoutMs = 1000;

enum class Backend { None, Portal, SessionManager, Logind };

class SuspendInhibitor;
// Gone with the application object, if that is ever destroyed before exit.
QPointer<SuspendInhibitor> g_inhibitor;

void releaseHeldAtExit();

class SuspendInhibitor : public QObject {
public:
    ~SuspendInhibitor() override { releaseAtExit(); }

    // Follows the device: takes the inhibitor when it starts playing, gives it
    // back when it stops.
    void follow() {
        wanted_ = CDA_State().mode == CdaState::Mode::Playing;
        if (pending_) return;  // decided again when the answer comes
        if (wanted_ && held_ == Backend::None) take(Backend::Portal);
        if (!wanted_ && held_ != Backend::None) release(QDBus::NoBlock);
    }

    void releaseAtExit() {
        if (held_ != Backend::None) release(QDBus::Block);
    }

private:
    static QDBusMessage request(Backend backend) {
        switch (backend) {
        case Backend::Portal: {
            QDBusMessage m =
                QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                               "org.freedesktop.portal.Inhibit", "Inhibit");
            m << QString() << kSuspendFlag << QVariantMap{{"reason", QString(kReason)}};
            return m;
        }
        case Backend::SessionManager: {
            QDBusMessage m = QDBusMessage::createMethodCall("org.gnome.SessionManager", "/org/gnome/SessionManager",
                                                            "org.gnome.SessionManager", "Inhibit");
            m << QStringLiteral(WINSHIM_APP_ID) << uint(0) << QString(kReason) << kSuspendFlag;
            return m;
        }
        case Backend::Logind: {
            QDBusMessage m = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                            "org.freedesktop.login1.Manager", "Inhibit");
            m << QString("sleep") << QString(PRODUCT_NAME) << QString(kReason) << QString("block");
            return m;
        }
        case Backend::None:
            break;
        }
        return {};
    }

    static QDBusConnection busOf(Backend backend) {
        return backend == Backend::Logind ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    }

    static Backend next(Backend backend) {
        switch (backend) {
        case Backend::Portal:
            return Backend::SessionManager;
        case Backend::SessionManager:
            return Backend::Logind;
        default:
            return Backend::None;
        }
    }

    // Asks `backend`, and the ones after it in turn while none answers.
    void take(Backend backend) {
        for (; backend != Backend::None; backend = next(backend)) {
            if (backend != Backend::Logind && !DESKTOP_SessionBusExists()) continue;
            QDBusConnection bus = busOf(backend);
            if (!bus.isConnected()) continue;
            pending_ = true;
            auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(request(backend)), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, backend](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                pending_ = false;
                if (w->isError()) {
                    WS_LOG("inhibit", "%s", qPrintable(w->error().message()));
                    take(next(backend));
                    return;
                }
                held(backend, w->reply());
            });
            return;
        }
        // Nobody to ask: a later play asks again.
    }

    void held(Backend backend, const QDBusMessage& reply) {
        const QVariant answer = reply.arguments().value(0);
        switch (backend) {
        case Backend::Portal:
            portalHandle_ = qdbus_cast<QDBusObjectPath>(answer).path();
            break;
        case Backend::SessionManager:
            cookie_ = answer.toUInt();
            break;
        case Backend::Logind:
            lock_ = qdbus_cast<QDBusUnixFileDescriptor>(answer);
            break;
        case Backend::None:
            return;
        }
        held_ = backend;
        WS_LOG("inhibit", "suspend held off");
        // The program leaves by returning from WinMain, after its message loop
        // has stopped: no notice of the closed device is delivered any more. Set
        // up now, after the bus connection, the release runs before the bus goes.
        [[maybe_unused]] static const int atExit = std::atexit(releaseHeldAtExit);
        follow();
    }

    void release(QDBus::CallMode mode) {
        QDBusMessage m;
        switch (held_) {
        case Backend::Portal:
            m = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", portalHandle_,
                                               "org.freedesktop.portal.Request", "Close");
            break;
        case Backend::SessionManager:
            m = QDBusMessage::createMethodCall("org.gnome.SessionManager", "/org/gnome/SessionManager",
                                               "org.gnome.SessionManager", "Uninhibit");
            m << cookie_;
            break;
        case Backend::Logind:
            // logind lets go when the last copy of the descriptor is closed.
            lock_ = QDBusUnixFileDescriptor();
            break;
        case Backend::None:
            return;
        }
        if (m.type() == QDBusMessage::MethodCallMessage) {
            if (mode == QDBus::Block)
                busOf(held_).call(m, QDBus::Block, kExitTimeoutMs);
            else
                busOf(held_).asyncCall(m);
        }
        held_ = Backend::None;
        WS_LOG("inhibit", "suspend allowed again");
    }

    bool wanted_ = false;
    bool pending_ = false;
    Backend held_ = Backend::None;
    QString portalHandle_;
    uint cookie_ = 0;
    QDBusUnixFileDescriptor lock_;
};

void releaseHeldAtExit() {
    if (g_inhibitor) g_inhibitor->releaseAtExit();
}

}  // namespace

void INHIBIT_Watch() {
    static bool watching = false;
    if (watching) return;
    watching = true;
    g_inhibitor = new SuspendInhibitor;
    g_inhibitor->setParent(QCoreApplication::instance());
    CDA_Watch([] {
        if (g_inhibitor) g_inhibitor->follow();
    });
}

}  // namespace winshim
