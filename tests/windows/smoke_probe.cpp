// Looks, from a second process on the same desktop, for what Varnel shows at start
// on a machine without a CD drive: its main window, and a message box owned by it
// that says the CD device is not available, waiting for them to appear. Prints what
// it found; exits 0 only when all is as expected. Speaks only Windows interfaces, so it runs on Windows as well.
//   smoke_probe                   look
//   smoke_probe close-minimised   then answer the box, minimise the player, close
//                                 it, and check that it stored where it will be
//                                 restored (its first start's 200,160 400x400)
//   smoke_probe session L T W H COMPOSER ALBUM [L2 T2 W2 H2 COMPOSER2 ALBUM2]
//                                 wait for the player, answer the box, check that
//                                 the window is at L,T W x H and that the List
//                                 Editor shows COMPOSER and ALBUM; with the second
//                                 set, save COMPOSER2 and ALBUM2 there ("File
//                                 saved!") and move the window to L2,T2 W2 x H2;
//                                 then close the player
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resource.h"

namespace {

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

// A visible dialog-class window with this caption owned by `owner`.
HWND findOwned(HWND owner, const char* caption) {
    struct Search {
        HWND owner;
        const char* caption;
        HWND found;
    } search = {owner, caption, NULL};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            Search* s = reinterpret_cast<Search*>(param);
            char cls[64];
            char title[64];
            GetClassNameA(hwnd, cls, sizeof cls);
            GetWindowTextA(hwnd, title, sizeof title);
            if (strcmp(cls, "#32770") == 0 && strcmp(title, s->caption) == 0 && GetWindow(hwnd, GW_OWNER) == s->owner &&
                IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits up to 30 seconds: a slow machine under Wine takes its time.
HWND awaitOwned(HWND owner, const char* caption) {
    for (int i = 0; i < 300; ++i) {
        if (HWND found = findOwned(owner, caption)) return found;
        Sleep(100);
    }
    return NULL;
}

bool awaitGone(HWND hwnd) {
    for (int i = 0; i < 300 && IsWindow(hwnd); ++i) Sleep(100);
    return !IsWindow(hwnd);
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

// Answers the box that says the device is not available, which every opening
// of the device shows on a machine without a CD drive.
bool answerNoDevice(HWND mainWnd) {
    HWND box = awaitOwned(mainWnd, "Error");
    if (!box || !hasChildText(box, "CD device is not available")) {
        puts("no \"CD device is not available\" box owned by the main window");
        return false;
    }
    press(box, IDOK);
    return awaitGone(box);
}

bool placedAt(HWND hwnd, const char* const* rect) {
    RECT r;
    GetWindowRect(hwnd, &r);
    printf("main window at %ld,%ld %ldx%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return r.left == atol(rect[0]) && r.top == atol(rect[1]) && r.right - r.left == atol(rect[2]) &&
           r.bottom - r.top == atol(rect[3]);
}

// Wine starts slowly on a busy machine: the main window gets a minute to show.
HWND awaitMainWindow() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(100)) {
        HWND hwnd = FindWindowA("Varnel", "Varnel");
        if (hwnd && IsWindowVisible(hwnd)) return hwnd;
    }
    return NULL;
}

bool session(int argc, char** argv) {
    if (argc != 6 && argc != 12) {
        puts("session L T W H COMPOSER ALBUM [L2 T2 W2 H2 COMPOSER2 ALBUM2]");
        return false;
    }
    HWND mainWnd = awaitMainWindow();
    if (!mainWnd || !answerNoDevice(mainWnd)) return false;
    bool ok = placedAt(mainWnd, argv);

    PostMessageA(mainWnd, WM_COMMAND, IDM_SONG_LIST, 0);
    HWND editor = awaitOwned(mainWnd, "List Editor");
    if (!editor) {
        puts("no List Editor");
        return false;
    }
    char composer[256];
    char album[256];
    GetDlgItemTextA(editor, IDC_EDIT_COMPOSER, composer, sizeof composer);
    GetDlgItemTextA(editor, IDC_EDIT_ALBUM, album, sizeof album);
    printf("List Editor shows \"%s\", \"%s\"\n", composer, album);
    ok = ok && strcmp(composer, argv[4]) == 0 && strcmp(album, argv[5]) == 0;
    if (argc == 12) {
        SetDlgItemTextA(editor, IDC_EDIT_COMPOSER, argv[10]);
        SetDlgItemTextA(editor, IDC_EDIT_ALBUM, argv[11]);
        press(editor, IDC_SAVE);
        HWND saved = awaitOwned(editor, "Varnel");
        if (!saved || !hasChildText(saved, "File saved!")) {
            puts("Save did not say \"File saved!\"");
            return false;
        }
        puts("Save: File saved!");
        press(saved, IDOK);
        awaitGone(saved);
    }
    press(editor, IDC_CLOSE);
    if (!awaitGone(editor) || !answerNoDevice(mainWnd)) return false;
    if (argc == 12) {
        MoveWindow(mainWnd, atoi(argv[6]), atoi(argv[7]), atoi(argv[8]), atoi(argv[9]), TRUE);
        ok = placedAt(mainWnd, argv + 6) && ok;
    }
    PostMessageA(mainWnd, WM_CLOSE, 0, 0);
    if (!awaitGone(mainWnd)) {
        puts("the player did not close");
        return false;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "session") == 0) return session(argc - 2, argv + 2) ? 0 : 1;
    // The player opens the device a moment after its window appears: the box is
    // waited for too, then what both say is looked at once.
    HWND mainWnd = awaitMainWindow();
    if (!mainWnd) {
        puts("no visible main window of class Varnel");
        return 1;
    }
    RECT r;
    GetWindowRect(mainWnd, &r);
    printf("main window %ldx%ld\n", r.right - r.left, r.bottom - r.top);

    HWND box = awaitOwned(mainWnd, "Error");
    if (!box) {
        puts("no visible \"Error\" box owned by the main window");
        return 1;
    }
    if (!hasChildText(box, "CD device is not available")) {
        puts("the \"Error\" box does not say \"CD device is not available\"");
        return 1;
    }
    puts("message box: CD device is not available");
    if (argc < 2 || strcmp(argv[1], "close-minimised") != 0) return 0;

    press(box, IDOK);
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
