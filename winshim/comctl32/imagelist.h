// Image lists: a table of icon strips that controls draw from. Handles index the
// table and are never reused, so a destroyed list's handle stays invalid.
#pragma once

#include <commctrl.h>

#include <QIcon>
#include <QSize>

namespace winshim {
// Image `index` of a list; a null icon when the list or the index is unknown.
QIcon IMAGELIST_Icon(HIMAGELIST list, int index);
// The size of a list's images; empty for an unknown list.
QSize IMAGELIST_Size(HIMAGELIST list);
}  // namespace winshim
