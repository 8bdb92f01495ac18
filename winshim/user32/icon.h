// Icons and cursors: HICON/HCURSOR handles for the module's icon groups and the
// system's standard icons and cursors, and their Qt counterparts for the window system.
#pragma once

#include <windows.h>

#include <QCursor>
#include <QIcon>
#include <QSize>

namespace winshim {
// The icon behind a handle, with every image of its group; a null QIcon for an
// unknown handle or a cursor.
QIcon ICON_ToQIcon(HICON icon);
// The size of the image chosen for the standard icon size (32 x 32); empty when unknown.
QSize ICON_Size(HICON icon);
// The cursor behind a handle; the arrow for an unknown handle or an icon.
QCursor ICON_ToQCursor(HCURSOR cursor);
}  // namespace winshim
