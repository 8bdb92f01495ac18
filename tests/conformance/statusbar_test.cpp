// The status bar as Windows runs it: made by CreateStatusWindowA, placed along its
// parent's bottom edge (and again whenever it is told of a new size), parts with
// their right edges, a text per part, and the size grip in the corner.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "input.h"

namespace {

HWND g_status = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A Windows program tells its status bar that the window's size changed.
    if (msg == WM_SIZE && g_status) SendMessageA(g_status, WM_SIZE, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class StatusBar : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = "StatusTestParent";
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        InitCommonControls();
        parent_ = CreateWindowExA(0, "StatusTestParent", "status", WS_OVERLAPPEDWINDOW, 40, 40, 420, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        ShowWindow(parent_, SW_SHOW);
    }
    void TearDown() override {
        g_status = nullptr;
        DestroyWindow(parent_);
        testsupport::settle();
    }
    // The player's status bar: style 0x54000103, text "No Disc", identifier 2.
    void Create(LONG style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP | CCS_BOTTOM) {
        g_status = CreateStatusWindowA(style, "No Disc", parent_, 2);
        ASSERT_NE(g_status, nullptr);
    }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageA(g_status, msg, wParam, lParam); }

    // The status bar's outer rectangle and the parent's client area, both on screen.
    void ExpectAlongTheBottom(const char* when) {
        RECT bar, client;
        ASSERT_TRUE(GetWindowRect(g_status, &bar));
        ASSERT_TRUE(GetClientRect(parent_, &client));
        POINT origin{0, 0};
        ClientToScreen(parent_, &origin);
        EXPECT_EQ(bar.left, origin.x) << when;
        EXPECT_EQ(bar.right, origin.x + client.right) << when;
        EXPECT_EQ(bar.bottom, origin.y + client.bottom) << when;
        EXPECT_GE(bar.bottom - bar.top, 16) << when << ": as tall as its text";
        EXPECT_LE(bar.bottom - bar.top, 32) << when;
    }

    HWND parent_ = nullptr;
};

TEST_F(StatusBar, CreateStatusWindowMakesAChildWithTheTextInPartZero) {
    Create();
    char cls[64] = "";
    GetClassNameA(g_status, cls, sizeof cls);
    EXPECT_STREQ(cls, STATUSCLASSNAMEA);
    EXPECT_EQ(GetParent(g_status), parent_);
    EXPECT_EQ(GetDlgCtrlID(g_status), 2);
    EXPECT_TRUE(IsWindowVisible(g_status));
    char text[64] = "";
    EXPECT_EQ(LOWORD(Send(SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text))), 7);
    EXPECT_STREQ(text, "No Disc");
    EXPECT_EQ(Send(SB_GETPARTS, 0, 0), 1) << "one part until told otherwise";
    EXPECT_EQ(GetWindowTextA(g_status, text, sizeof text), 7);
    EXPECT_STREQ(text, "No Disc");
}

TEST_F(StatusBar, SitsAlongTheParentsBottomAndFollowsItsSize) {
    Create();
    ExpectAlongTheBottom("after creation");
    RECT frame;
    GetWindowRect(parent_, &frame);
    const struct { int width, height; } sizes[] = {{600, 450}, {300, 200}, {500, 300}};
    for (const auto& s : sizes) {
        MoveWindow(parent_, frame.left, frame.top, s.width, s.height, TRUE);
        ExpectAlongTheBottom(("after a move to " + std::to_string(s.width) + "x" + std::to_string(s.height)).c_str());
    }
    // A program that moves the bar itself, as the player does: the bar keeps its height.
    RECT client;
    GetClientRect(parent_, &client);
    MoveWindow(g_status, 0, client.bottom - 18, client.right, 18, TRUE);
    ExpectAlongTheBottom("after the program moved it");
}

TEST_F(StatusBar, CcsNoResizeLeavesThePlacementToTheProgram) {
    Create(WS_CHILD | WS_VISIBLE | CCS_NORESIZE);
    MoveWindow(g_status, 10, 20, 150, 30, TRUE);
    RECT bar;
    GetWindowRect(g_status, &bar);
    POINT origin{0, 0};
    ClientToScreen(parent_, &origin);
    EXPECT_EQ(bar.left - origin.x, 10);
    EXPECT_EQ(bar.top - origin.y, 20);
    EXPECT_EQ(bar.right - bar.left, 150);
    EXPECT_EQ(bar.bottom - bar.top, 30);
}

TEST_F(StatusBar, PartsAndTheirTexts) {
    Create();
    const int edges[] = {80, -1};
    EXPECT_TRUE(Send(SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges)));
    int got[4] = {0, 0, 0, 0};
    EXPECT_EQ(Send(SB_GETPARTS, 4, reinterpret_cast<LPARAM>(got)), 2);
    EXPECT_EQ(got[0], 80);
    EXPECT_EQ(got[1], -1);
    EXPECT_EQ(got[2], 0) << "only as many edges as there are parts";

    char text[64] = "";
    Send(SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "No Disc") << "part 0 keeps its text when the parts change";

    const struct {
        WPARAM wParam;  // part index | drawing flags
        const char* text;
        BOOL result;
        int part;
        WORD flags;
    } cases[] = {
        {0, "Disc Inserted", TRUE, 0, 0},
        {1, "playing 3", TRUE, 1, 0},
        {1 | SBT_POPOUT, "paused 3", TRUE, 1, SBT_POPOUT},
        {1 | SBT_NOBORDERS, "", TRUE, 1, SBT_NOBORDERS},
        {0, "No Disc", TRUE, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Send(SB_SETTEXTA, c.wParam, reinterpret_cast<LPARAM>(c.text)), c.result) << c.text;
        std::string expected = c.text;
        LRESULT length = Send(SB_GETTEXTLENGTHA, c.part);
        EXPECT_EQ(LOWORD(length), expected.size()) << c.text;
        EXPECT_EQ(HIWORD(length), c.flags) << c.text;
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(Send(SB_GETTEXTA, c.part, reinterpret_cast<LPARAM>(buffer)), length) << c.text;
        EXPECT_EQ(std::string(buffer), expected);
    }
    EXPECT_FALSE(Send(SB_SETTEXTA, 2, reinterpret_cast<LPARAM>("no such part")));
    EXPECT_FALSE(Send(SB_SETPARTS, 0, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(Send(SB_GETPARTS, 0, 0), 2) << "a refused SB_SETPARTS changes nothing";
}

TEST_F(StatusBar, PartRectanglesRunToTheirRightEdges) {
    Create();
    const int edges[] = {80, -1};
    Send(SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
    RECT client, part0, part1;
    GetClientRect(g_status, &client);
    ASSERT_TRUE(Send(SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part0)));
    ASSERT_TRUE(Send(SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part1)));
    EXPECT_EQ(part0.left, 0);
    EXPECT_EQ(part0.right, 80);
    EXPECT_GE(part1.left, 80);
    EXPECT_EQ(part1.right, client.right) << "-1 runs to the right edge";
    for (const RECT& r : {part0, part1}) {
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.bottom, client.bottom);
        EXPECT_GT(r.bottom - r.top, 10);
    }
    RECT none;
    EXPECT_FALSE(Send(SB_GETRECT, 2, reinterpret_cast<LPARAM>(&none)));
}

TEST_F(StatusBar, TheSizeGripHoldsTheBottomRightCorner) {
    const struct {
        LONG style;
        LRESULT corner;
    } cases[] = {
        {WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, HTBOTTOMRIGHT},
        {WS_CHILD | WS_VISIBLE | CCS_BOTTOM, HTCLIENT},
    };
    for (const auto& c : cases) {
        Create(c.style);
        RECT bar;
        GetWindowRect(g_status, &bar);
        EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(bar.right - 3, bar.bottom - 3)), c.corner) << "style " << c.style;
        EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(bar.left + 20, bar.bottom - 5)), HTCLIENT) << "style " << c.style;
        DestroyWindow(g_status);
        g_status = nullptr;
    }
}

}  // namespace
