// The other process of the FindWindowA tests: a minimised top-level window of a
// program class that reports on stdout, a word a line, what is done to it.
//
//   findwindow_peer <class> <title> [quit-on-restore]
//
// Prints "ready" once the window is up and minimised; then "restored",
// "minimized", "activated" as its window procedure learns of them, and "exited"
// when its message loop ends. With quit-on-restore it destroys its window as soon
// as it is restored.
#include <windows.h>

#include <cstdio>
#include <cstring>

#ifndef WA_INACTIVE
#define WA_INACTIVE 0
#endif

namespace {
bool g_ready = false;
bool g_quitOnRestore = false;

void report(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

LRESULT CALLBACK PeerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        if (!g_ready) break;
        if (wParam == SIZE_MINIMIZED) report("minimized");
        if (wParam == SIZE_RESTORED) {
            report("restored");
            if (g_quitOnRestore) DestroyWindow(hwnd);
        }
        return 0;
    case WM_ACTIVATE:
        if (g_ready && LOWORD(wParam) != WA_INACTIVE) report("activated");
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: findwindow_peer <class> <title> [quit-on-restore]\n");
        return 2;
    }
    g_quitOnRestore = argc > 3 && std::strcmp(argv[3], "quit-on-restore") == 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PeerProc;
    wc.hInstance = instance;
    wc.lpszClassName = argv[1];
    if (!RegisterClassA(&wc)) {
        report("no-class");
        return 1;
    }
    HWND hwnd = CreateWindowExA(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd) {
        report("no-window");
        return 1;
    }
    ShowWindow(hwnd, SW_SHOW);
    ShowWindow(hwnd, SW_MINIMIZE);
    if (!IsIconic(hwnd)) report("not-minimized");
    g_ready = true;
    report("ready");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    report("exited");
    return 0;
}
