// The player object behind the two MPRIS2 interfaces: what they publish, taken
// from the cdaudio device, and where their requests go.
#pragma once

#include <windows.h>

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include "mcicda/state.h"

namespace winshim {

class MprisService : public QObject {
    Q_OBJECT
public:
    MprisService();

    // The application id's last part: the player's name and, in lower case, its bus name.
    static QString identity();
    static QString desktopEntry();

    // The requests, as the top-level window hears them.
    void appCommand(int command);
    void raise();
    void quit();

    QString playbackStatus() const;
    QVariantMap metadata() const;
    // Microseconds into the current track.
    qlonglong position() const;
    bool hasDisc() const;

    // Reads the device again and tells the bus what changed.
    void refresh();

private:
    bool joinBus();
    static HWND mainWindow();

    CdaState state_;
    bool triedBus_ = false;
    bool onBus_ = false;
    QTimer trackEnd_;  // wakes when the track playing now should have ended
};

}  // namespace winshim
