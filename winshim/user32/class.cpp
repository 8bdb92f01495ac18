// Window classes: the program's own (RegisterClassA) and the built-in ones.
#include <strings.h>

#include <cstdio>
#include <deque>

#include "core/log.h"
#include "user32/window.h"

namespace winshim {
namespace {
// Deques keep WindowClass addresses stable: windows point at their class.
std::deque<WindowClass>& programClasses() {
    static std::deque<WindowClass> classes;
    return classes;
}
std::deque<WindowClass>& systemClasses() {
    static std::deque<WindowClass> classes;
    return classes;
}
ATOM g_nextAtom = 0xC000;

WindowClass* findIn(std::deque<WindowClass>& list, const char* name) {
    for (auto& cls : list)
        if (strcasecmp(cls.name.c_str(), name) == 0) return &cls;
    return nullptr;
}
}  // namespace

void CLASS_AddSystem(WindowClass cls) {
    cls.system = true;
    if (!findIn(systemClasses(), cls.name.c_str())) systemClasses().push_back(std::move(cls));
}

void CLASS_EnsureSystem() {
    static bool done = false;
    if (done) return;
    done = true;
    BUTTON_Register();
    STATIC_Register();
    EDIT_Register();
    LISTBOX_Register();
    COMBO_Register();
    DIALOG_Register();
}

void CTL_RegisterClass(const char* name, UINT style, WNDPROC proc,
                       std::function<QWidget*(Window& window, QWidget* parent)> makeWidget) {
    WindowClass cls;
    cls.name = name;
    cls.style = style;
    cls.proc = proc;
    cls.makeWidget = std::move(makeWidget);
    CLASS_AddSystem(std::move(cls));
}

LRESULT CTL_DefaultProc(const char* control, UINT first, UINT last, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= first && msg <= last) {
        char key[48];
        std::snprintf(key, sizeof key, "%s:%04x", control, msg);
        LOG_Once(key, "%s: message %04x is not handled", control, msg);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

WindowClass* CLASS_Find(const char* name) {
    if (!name) return nullptr;
    CLASS_EnsureSystem();
    if (WindowClass* cls = findIn(programClasses(), name)) return cls;
    return findIn(systemClasses(), name);
}
}  // namespace winshim

using namespace winshim;

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || IS_INTRESOURCE(wc->lpszClassName) || wc->cbWndExtra < 0 ||
        wc->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (findIn(programClasses(), wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass cls;
    cls.name = wc->lpszClassName;
    cls.style = wc->style;
    cls.proc = wc->lpfnWndProc;
    cls.clsExtra = wc->cbClsExtra;
    cls.wndExtra = wc->cbWndExtra;
    cls.instance = wc->hInstance;
    cls.icon = wc->hIcon;
    cls.cursor = wc->hCursor;
    cls.background = wc->hbrBackground;
    if (wc->lpszMenuName)
        cls.menuName = IS_INTRESOURCE(wc->lpszMenuName) ? "#" + std::to_string(LOWORD(wc->lpszMenuName))
                                                         : std::string(wc->lpszMenuName);
    programClasses().push_back(std::move(cls));
    return g_nextAtom++;
}
