// The keyboard's way to the menu bar and to closing a window, as Windows gives
// it to every window through DefWindowProc: F10 or a lone Alt makes
// WM_SYSCOMMAND/SC_KEYMENU for the top-level window, Alt with a character
// SC_KEYMENU with that character, Alt+F4 SC_CLOSE (Microsoft's pages on
// WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR and WM_SYSCOMMAND).
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "../../resources/resource.h"
#include "input.h"
#include "test_support.h"

namespace {

struct Command {
    HWND hwnd;
    WPARAM code;
    LPARAM lParam;
    bool operator==(const Command& o) const { return hwnd == o.hwnd && code == o.code && lParam == o.lParam; }
};
std::vector<Command> g_sysCommands;
std::vector<WPARAM> g_commands;
bool g_swallowSysCommand = true;

LRESULT CALLBACK KeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SYSCOMMAND) {
        g_sysCommands.push_back({hwnd, wParam & 0xFFF0, lParam});
        if (g_swallowSysCommand) return 0;
    }
    if (msg == WM_COMMAND) g_commands.push_back(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* KeyClass() {
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = KeyProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "KeyboardProbe";
        return RegisterClassA(&wc) != 0;
    }();
    return registered ? "KeyboardProbe" : nullptr;
}

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_sysCommands.clear();
        g_commands.clear();
        g_swallowSysCommand = true;
    }
    HWND makeWindow(HMENU menu) {
        HWND hwnd = CreateWindowExA(0, KeyClass(), "keys", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, menu,
                                    GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }
};

// The lParam of a keystroke message: repeat count 1 and its flags.
LPARAM Data(WORD flags) {
    return LPARAM(DWORD(MAKELONG(1, flags)));
}

struct Message {
    UINT msg;
    WPARAM wParam;
    WORD flags;
};

TEST_F(KeyboardTest, DefWindowProcTurnsSystemKeysIntoSysCommands) {
    constexpr WORD kAlt = KF_ALTDOWN, kUp = KF_UP | KF_REPEAT;
    const LPARAM none = -1;  // no WM_SYSCOMMAND expected
    struct Case {
        const char* name;
        bool toChild;
        std::vector<Message> keys;
        WPARAM code;
        LPARAM lParam;
    };
    const Case cases[] = {
        {"F10", false, {{WM_SYSKEYDOWN, VK_F10, 0}, {WM_SYSKEYUP, VK_F10, kUp}}, SC_KEYMENU, 0},
        {"F10 in a child goes to its top-level window",
         true,
         {{WM_SYSKEYDOWN, VK_F10, 0}, {WM_SYSKEYUP, VK_F10, kUp}},
         SC_KEYMENU,
         0},
        {"a lone Alt", false, {{WM_SYSKEYDOWN, VK_MENU, kAlt}, {WM_SYSKEYUP, VK_MENU, kUp}}, SC_KEYMENU, 0},
        {"Alt held until it repeats",
         false,
         {{WM_SYSKEYDOWN, VK_MENU, kAlt}, {WM_SYSKEYDOWN, VK_MENU, kAlt | KF_REPEAT}, {WM_SYSKEYUP, VK_MENU, kUp}},
         0,
         none},
        {"Alt+P",
         false,
         {{WM_SYSKEYDOWN, VK_MENU, kAlt},
          {WM_SYSKEYDOWN, 'P', kAlt},
          {WM_SYSCHAR, 'p', kAlt},
          {WM_SYSKEYUP, 'P', kAlt | kUp},
          {WM_KEYUP, VK_MENU, kUp}},
         SC_KEYMENU,
         'p'},
        {"Alt+Tab is the system's", false, {{WM_SYSKEYDOWN, VK_MENU, kAlt}, {WM_SYSCHAR, '\t', kAlt}}, 0, none},
        {"Alt+F4",
         false,
         {{WM_SYSKEYDOWN, VK_MENU, kAlt},
          {WM_SYSKEYDOWN, VK_F4, kAlt},
          {WM_SYSKEYUP, VK_F4, kAlt | kUp},
          {WM_SYSKEYUP, VK_MENU, kUp}},
         SC_CLOSE,
         0},
        {"Alt+F4 in a child closes its top-level window", true, {{WM_SYSKEYDOWN, VK_F4, kAlt}}, SC_CLOSE, 0},
        {"Alt+Space in a child asks for the top-level window's menu", true, {{WM_SYSCHAR, ' ', kAlt}}, SC_KEYMENU, ' '},
        {"Enter without Alt", false, {{WM_SYSKEYDOWN, VK_RETURN, 0}, {WM_SYSKEYUP, VK_RETURN, kUp}}, 0, none},
    };
    HWND top = makeWindow(nullptr);
    HWND child = CreateWindowExA(0, KeyClass(), "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_sysCommands.clear();
        for (const Message& m : c.keys) SendMessageA(c.toChild ? child : top, m.msg, m.wParam, Data(m.flags));
        testsupport::pumpFor(20);  // Alt+F4 posts its command
        std::vector<Command> expected;
        if (c.lParam != none) expected.push_back({top, c.code, c.lParam});
        // Alt+Space reaches the top-level window through its child's DefWindowProc.
        std::vector<Command> atTop;
        for (const Command& got : g_sysCommands)
            if (got.hwnd == top) atTop.push_back(got);
        EXPECT_EQ(atTop, expected);
    }
    DestroyWindow(top);
}

// Typed by a user: the menu bar takes the keyboard, arrows move along it, Enter
// opens a pop-up with its first item chosen and chooses the item, Escape leaves;
// Alt+F4 closes the window, as does Close in the window menu that Alt+Space
// opens. Whether or not the titles have mnemonics.
TEST_F(KeyboardTest, TheMenuBarIsReachedByKeyboard) {
    struct Case {
        const char* name;
        std::vector<testsupport::Stroke> keys;
        std::vector<WPARAM> commands;
        bool closed;
        const char* wineDeparts = nullptr;
    };
    const Case cases[] = {
        {"F10, Right, Right, Enter, Enter", {{VK_F10}, {VK_RIGHT}, {VK_RIGHT}, {VK_RETURN}, {VK_RETURN}}, {IDC_PLAY}},
        {"Alt, Right, Right, Down, Down, Enter",
         {{VK_MENU}, {VK_RIGHT}, {VK_RIGHT}, {VK_DOWN}, {VK_DOWN}, {VK_RETURN}},
         {IDM_STOP}},
        {"Left goes back a title",
         {{VK_F10}, {VK_RIGHT}, {VK_RIGHT}, {VK_LEFT}, {VK_RETURN}, {VK_RETURN}},
         {IDM_SONG_LIST}},
        {"Escape leaves the menu bar", {{VK_F10}, {VK_ESCAPE}, {VK_RETURN}}, {}},
        {"F10 again leaves it too", {{VK_F10}, {VK_F10}, {VK_DOWN}, {VK_RETURN}}, {}},
        {"Alt+F4", {{VK_F4, true}}, {}, true},
        {"Alt+Space opens the window menu; Close is its last item",
         {{VK_SPACE, true}, {VK_UP}, {VK_RETURN}},
         {},
         true,
         "Alt+Space, Up and Enter leave the window open"},
    };
    g_swallowSysCommand = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_commands.clear();
        HWND hwnd = makeWindow(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU)));
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
        testsupport::settle();
        // Two Escapes more close whatever a wrong key left open, rather than leave
        // the test in a menu's loop.
        std::vector<testsupport::Stroke> keys = c.keys;
        keys.insert(keys.end(), {{VK_ESCAPE}, {VK_ESCAPE}});
        testsupport::typeKeys(keys);
        testsupport::pumpFor(50);
        if (c.wineDeparts && testsupport::runningOnWine()) {
            testsupport::wineDeparts(c.wineDeparts);
        } else {
            EXPECT_EQ(g_commands, c.commands);
            EXPECT_EQ(!IsWindow(hwnd), c.closed);
        }
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
}
}  // namespace
