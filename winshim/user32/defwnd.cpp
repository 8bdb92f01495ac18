// DefWindowProcA: what Windows does for the messages a window procedure passes on.
#include <algorithm>
#include <cstring>

#include "user32/appcommand.h"
#include "user32/menu.h"
#include "user32/syskeys.h"
#include "user32/window.h"

using namespace winshim;

extern "C" LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w) return 0;
    if (LRESULT answer; APPCOMMAND_DefWindowProc(hwnd, msg, wParam, lParam, &answer)) return answer;
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(hwnd, SW_MAXIMIZE);
            break;
        case SC_CLOSE:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_KEYMENU:
            MENU_TrackKeyboard(hwnd, UINT(lParam));
            break;
        }
        return 0;
    // The keyboard's way to the menu bar and to closing the window.
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_KEYUP:
    case WM_SYSCHAR:
        return SYSKEY_DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_PAINT:
        // Qt's paint event validates the area once it returns.
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT: {
        w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (!w->isChild() && w->widget) w->widget->setWindowTitle(QString::fromLocal8Bit(w->text.c_str()));
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min<size_t>(w->text.size(), wParam - 1);
        std::memcpy(buffer, w->text.data(), n);
        buffer[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(w->text.size());
    default:
        return 0;
    }
}
