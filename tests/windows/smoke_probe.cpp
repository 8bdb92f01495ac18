// Looks, from a second process on the same desktop, for what Varnel shows at start
// on a machine without a CD drive: its main window, and a message box owned by it
// that says the CD device is not available, waiting for them to appear. Prints what
// it found; exits 0 only when both are there. Speaks only Windows interfaces, so it
// runs on Windows as well.
//   smoke_probe                   look
//   smoke_probe close-minimised   then answer the box, minimise the player, close
//                                 it, and check that it stored where it will be
//                                 restored (its first start's 200,160 400x400)
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

struct BoxSearch {
    HWND owner;
    HWND box;
};

bool hasChildText(HWND parent, const char* text) {
    struct Search {
        const char* text;
        bool found;
    } search = {text, false};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            Search* s = reinterpret_cast<Search*>(param);
            char buffer[256];
            GetWindowTextA(child, buffer, sizeof buffer);
            if (strcmp(buffer, s->text) == 0) s->found = true;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK findOwnedBox(HWND hwnd, LPARAM param) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
    char cls[64];
    char title[64];
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (strcmp(cls, "#32770") == 0 && strcmp(title, "Error") == 0 && GetWindow(hwnd, GW_OWNER) == search->owner) {
        search->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The player opens the device a moment after its window appears, and Wine starts
// slowly on a busy machine: both windows get a minute to show before the probe
// gives up; what they say is then looked at once.
bool waitForWindows(HWND* mainWnd, BoxSearch* search) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(100)) {
        *mainWnd = FindWindowA("Varnel", "Varnel");
        if (!*mainWnd || !IsWindowVisible(*mainWnd)) continue;
        *search = BoxSearch{*mainWnd, NULL};
        EnumWindows(findOwnedBox, reinterpret_cast<LPARAM>(search));
        if (search->box && IsWindowVisible(search->box)) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    HWND mainWnd = NULL;
    BoxSearch search = {NULL, NULL};
    const bool shown = waitForWindows(&mainWnd, &search);
    if (!mainWnd || !IsWindowVisible(mainWnd)) {
        puts("no visible main window of class Varnel");
        return 1;
    }
    RECT r;
    GetWindowRect(mainWnd, &r);
    printf("main window %ldx%ld\n", r.right - r.left, r.bottom - r.top);
    if (!shown) {
        puts("no visible \"Error\" box owned by the main window");
        return 1;
    }
    if (!hasChildText(search.box, "CD device is not available")) {
        puts("the \"Error\" box does not say \"CD device is not available\"");
        return 1;
    }
    puts("message box: CD device is not available");
    if (argc < 2 || strcmp(argv[1], "close-minimised") != 0) return 0;

    PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(search.box, IDOK));
    ShowWindow(mainWnd, SW_MINIMIZE);
    for (int i = 0; i < 50 && !IsIconic(mainWnd); ++i) Sleep(100);
    PostMessageA(mainWnd, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(mainWnd); ++i) Sleep(100);
    if (IsWindow(mainWnd)) {
        puts("the player did not close");
        return 1;
    }
    const char* keys[] = {"Left", "Top", "Width", "Height"};
    const int expected[] = {200, 160, 400, 400};
    int stored[4];
    for (int i = 0; i < 4; ++i) stored[i] = int(GetPrivateProfileIntA("Varnel", keys[i], -1, "Ostrovane.ini"));
    printf("closed minimised, stored %d,%d %dx%d\n", stored[0], stored[1], stored[2], stored[3]);
    return memcmp(stored, expected, sizeof stored) == 0 ? 0 : 1;
}
