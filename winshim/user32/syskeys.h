// System keys (F10, Alt, Alt with another key) as Windows delivers and handles them.
#pragma once

#include <windows.h>

namespace winshim {
// Turns Qt's key events for system keys into WM_SYSKEYDOWN, WM_SYSCHAR and
// WM_SYSKEYUP to the window with the focus. Installed once, with the first window.
void SYSKEY_Install();

// What DefWindowProcA does with WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYUP and WM_SYSCHAR.
LRESULT SYSKEY_DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// While one lives, key events pass the filter untouched: winshim's own
// synthetic keys for Qt's widgets.
struct SysKeyBypass {
    SysKeyBypass();
    ~SysKeyBypass();
    SysKeyBypass(const SysKeyBypass&) = delete;
    SysKeyBypass& operator=(const SysKeyBypass&) = delete;
};
}  // namespace winshim
