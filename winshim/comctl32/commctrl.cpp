// The library's entry points that belong to no single control.
#include <commctrl.h>

#include "comctl32/classes.h"
#include "user32/window.h"

using namespace winshim;

namespace {
// As on Windows, the common controls' classes exist once the program has asked
// for them; registering again is idempotent and costs nothing.
void registerClasses() {
    LISTVIEW_Register();
    STATUS_Register();
    TRACKBAR_Register();
}
}  // namespace

extern "C" void WINAPI InitCommonControls(void) {
    registerClasses();
}

extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    // Every class is registered at once, whatever dwICC asks for.
    registerClasses();
    return TRUE;
}

extern "C" HWND WINAPI CreateStatusWindowA(LONG style, LPCSTR text, HWND parent, UINT id) {
    HINSTANCE module = nullptr;
    if (Window* p = WIN_Get(parent)) module = p->instance;
    return CreateWindowExA(0, STATUSCLASSNAMEA, text, DWORD(style), 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), module, nullptr);
}
