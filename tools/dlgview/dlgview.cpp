// dlgview [template-id]: shows a dialog template of the program's resources.
// 101 (the main window, the default) runs as the program's own class "Varnel"
// with its menu and icon; any other template runs as a modal dialog.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "resource.h"

static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (wParam == IDM_EXIT) {
            DestroyWindow(hwnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

int main(int argc, char** argv) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    int id = argc > 1 ? std::atoi(argv[1]) : IDD_MAIN;
    InitCommonControls();
    if (id != IDD_MAIN) return int(DialogBoxParamA(instance, MAKEINTRESOURCE(id), nullptr, DialogProc, 0));

    WNDCLASSA wc{};
    wc.lpfnWndProc = MainProc;
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
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
