// The library's entry points that belong to no single control.
#include <commctrl.h>

#include "user32/window.h"

using namespace winshim;

extern "C" void WINAPI InitCommonControls(void) {
    CLASS_EnsureSystem();
}

extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    // Every class is registered at once, whatever dwICC asks for: registering is
    // idempotent and costs nothing.
    CLASS_EnsureSystem();
    return TRUE;
}

extern "C" HWND WINAPI CreateStatusWindowA(LONG style, LPCSTR text, HWND parent, UINT id) {
    HINSTANCE module = nullptr;
    if (Window* p = WIN_Get(parent)) module = p->instance;
    return CreateWindowExA(0, STATUSCLASSNAMEA, text, DWORD(style), 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), module, nullptr);
}
