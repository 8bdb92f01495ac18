#include "desktop/identity.h"

#include <QGuiApplication>

namespace winshim {

// Wayland shells read the desktop file name as the window's app id; X11 shells read
// WM_CLASS, whose class part Qt takes from the application name. Both are the id,
// which is also the desktop entry's file name.
void DESKTOP_Identify() {
    QGuiApplication::setApplicationName(QStringLiteral(WINSHIM_APP_ID));
    QGuiApplication::setDesktopFileName(QStringLiteral(WINSHIM_APP_ID));
}

}  // namespace winshim
