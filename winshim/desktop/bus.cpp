#include "desktop/bus.h"

#include <QFileInfo>
#include <QString>
#include <QtGlobal>

namespace winshim {
bool DESKTOP_SessionBusExists() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + "/bus").exists();
}
}  // namespace winshim
