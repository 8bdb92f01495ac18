/* The entry point: one running copy, the main window, the message loop. */
#include "varnel.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    (void)previous;
    (void)commandLine;
    HWND running = FindWindowA(MAIN_CLASS_NAME, NULL);
    if (running) {
        ShowWindow(running, SW_RESTORE);
        SetForegroundWindow(running);
        return 0;
    }
    registerMainClass(instance);
    HWND hwnd = createMainWindow(instance);
    if (!hwnd) return 0;
    ShowWindow(hwnd, showCommand);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
