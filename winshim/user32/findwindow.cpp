// FindWindowA: this process's top-level windows first, then those that other
// processes of this user serve through the window link.
#include <windows.h>

#include "core/log.h"
#include "user32/link_path.h"
#include "user32/window.h"

using namespace winshim;

// Class names and titles both compare without regard to case. Found or not, the
// last error is left as it was.
extern "C" HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    if (className && IS_INTRESOURCE(className)) {
        // Class atoms are not kept; the program looks windows up by name.
        LOG_Once("FindWindowA:atom", "FindWindowA: class atom %u is not supported", unsigned(LOWORD(className)));
        return nullptr;
    }
    for (HWND h : WIN_TopLevels()) {
        const Window* w = WIN_Get(h);
        if (!w || !w->cls || w->destroying) continue;
        if (className && !LINK_EqualNoCase(w->cls->name, className)) continue;
        if (windowName && !LINK_EqualNoCase(w->text, windowName)) continue;
        return h;
    }
    return LINK_FindRemote(className, windowName);
}
