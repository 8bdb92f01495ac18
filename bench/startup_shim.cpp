// Shows IDD_MAIN through winshim and says "shown" at its first paint.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "resource.h"

static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        std::puts("shown");
        std::fflush(stdout);
        std::_Exit(0);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCE(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCE(IDR_MAINMENU);
    wc.lpszClassName = "Varnel";
    RegisterClassA(&wc);
    HWND hwnd = CreateDialogParamA(instance, MAKEINTRESOURCE(IDD_MAIN), nullptr, nullptr, 0);
    if (!hwnd) return 1;
    MoveWindow(hwnd, 200, 160, 400, 400, FALSE);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    return 1;
}
