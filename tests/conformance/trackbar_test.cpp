// The trackbar as Windows runs it: range, position, selection, page and line
// sizes, tick marks, and the WM_HSCROLL codes the parent gets for keys, clicks in
// the channel and drags of the thumb, in Windows order and after the thumb moved.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input.h"
#include "test_support.h"

namespace {

struct Scroll {
    WORD code;
    WORD high;       // HIWORD(wParam)
    LONG posThen;    // TBM_GETPOS asked inside the handler
    bool fromTrack;  // lParam is the trackbar
};
std::vector<Scroll> g_scrolls;
HWND g_track = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HSCROLL) {
        HWND from = reinterpret_cast<HWND>(lParam);
        g_scrolls.push_back(
            Scroll{LOWORD(wParam), HIWORD(wParam), LONG(SendMessageA(from, TBM_GETPOS, 0, 0)), from == g_track});
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The codes heard so far, for failure messages.
std::string Heard() {
    std::string codes;
    for (const Scroll& s : g_scrolls) codes += std::to_string(s.code) + "@" + std::to_string(s.posThen) + " ";
    return codes;
}

// Microsoft: TB_ENDTRACK answers the WM_LBUTTONUP that ends a mouse action.
// Wine's trackbar sends it there and again from WM_CAPTURECHANGED when it lets
// the mouse go, so one release ends twice under Wine; the second is dropped.
void ForgiveWinesSecondEnd() {
    const size_t n = g_scrolls.size();
    if (n >= 2 && g_scrolls[n - 1].code == TB_ENDTRACK && g_scrolls[n - 2].code == TB_ENDTRACK &&
        testsupport::wineDeparts("a mouse release sends TB_ENDTRACK twice"))
        g_scrolls.pop_back();
}

LONG Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    return LONG(SendMessageA(g_track, msg, wParam, lParam));
}

class Trackbar : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = "TrackbarTestParent";
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        InitCommonControls();
        parent_ = CreateWindowExA(0, "TrackbarTestParent", "trackbar", WS_OVERLAPPEDWINDOW, 50, 50, 400, 200, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        ShowWindow(parent_, SW_SHOW);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        g_track = nullptr;
        testsupport::settle();
    }
    // The style the player gives its position slider, unless a test says otherwise.
    void Create(DWORD style = WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS | TBS_TOP | TBS_ENABLESELRANGE) {
        g_track = CreateWindowExA(0, TRACKBAR_CLASSA, "", style, 20, 20, 185, 30, parent_, reinterpret_cast<HMENU>(11),
                                  nullptr, nullptr);
        ASSERT_NE(g_track, nullptr);
        testsupport::settle();
        g_scrolls.clear();
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static RECT Rect(UINT msg) {
        RECT r{};
        Send(msg, 0, reinterpret_cast<LPARAM>(&r));
        return r;
    }

    HWND parent_ = nullptr;
};

TEST_F(Trackbar, StartsAsWindowsDoes) {
    Create();
    EXPECT_EQ(Send(TBM_GETRANGEMIN), 0);
    EXPECT_EQ(Send(TBM_GETRANGEMAX), 100);
    EXPECT_EQ(Send(TBM_GETPOS), 0);
    EXPECT_EQ(Send(TBM_GETSELSTART), 0);
    EXPECT_EQ(Send(TBM_GETSELEND), 0);
    EXPECT_EQ(Send(TBM_GETLINESIZE), 1);
    EXPECT_EQ(Send(TBM_GETPAGESIZE), 20) << "a fifth of the range";
}

struct RangeCase {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LONG min, max, pos, page;
};

TEST_F(Trackbar, RangeMessagesKeepThePositionInside) {
    Create();
    Send(TBM_SETPOS, TRUE, 60);
    // Each step runs on the same trackbar, in order.
    const RangeCase steps[] = {
        {TBM_SETRANGE, TRUE, MAKELONG(0, 50), 0, 50, 50, 10},
        {TBM_SETRANGE, FALSE, MAKELONG(10, 210), 10, 210, 50, 40},
        {TBM_SETRANGEMIN, TRUE, 70, 70, 210, 70, 28},
        {TBM_SETRANGEMAX, TRUE, 100, 70, 100, 70, 6},
        {TBM_SETRANGE, TRUE, MAKELONG(0, 100), 0, 100, 70, 20},
    };
    for (const RangeCase& s : steps) {
        Send(s.msg, s.wParam, s.lParam);
        EXPECT_EQ(Send(TBM_GETRANGEMIN), s.min) << "message " << s.msg;
        EXPECT_EQ(Send(TBM_GETRANGEMAX), s.max) << "message " << s.msg;
        EXPECT_EQ(Send(TBM_GETPOS), s.pos) << "message " << s.msg;
        EXPECT_EQ(Send(TBM_GETPAGESIZE), s.page) << "message " << s.msg;
    }
}

TEST_F(Trackbar, PositionIsClampedIntoTheRange) {
    Create();
    const struct {
        LONG set, get;
    } cases[] = {{50, 50}, {0, 0}, {100, 100}, {-5, 0}, {101, 100}, {100000, 100}, {37, 37}};
    for (const auto& c : cases) {
        Send(TBM_SETPOS, TRUE, c.set);
        EXPECT_EQ(Send(TBM_GETPOS), c.get) << "set " << c.set;
    }
    EXPECT_TRUE(g_scrolls.empty()) << "a program's TBM_SETPOS tells the parent nothing";
}

TEST_F(Trackbar, SelectionRangeNeedsTheStyle) {
    const struct {
        DWORD style;
        LPARAM sel;
        LONG start, end;
    } cases[] = {
        {TBS_ENABLESELRANGE, MAKELONG(0, 40), 0, 40},
        {TBS_ENABLESELRANGE, MAKELONG(25, 75), 25, 75},
        {TBS_ENABLESELRANGE, MAKELONG(0, 100), 0, 100},
        {0, MAKELONG(0, 40), 0, 0},
    };
    for (const auto& c : cases) {
        Create(WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS | TBS_TOP | c.style);
        Send(TBM_SETSEL, TRUE, c.sel);
        EXPECT_EQ(Send(TBM_GETSELSTART), c.start) << "style " << c.style;
        EXPECT_EQ(Send(TBM_GETSELEND), c.end) << "style " << c.style;
        Send(TBM_CLEARSEL, TRUE);
        EXPECT_EQ(Send(TBM_GETSELSTART), 0);
        EXPECT_EQ(Send(TBM_GETSELEND), 0);
        DestroyWindow(g_track);
    }
}

TEST_F(Trackbar, TickFrequencyAndSizes) {
    const struct {
        DWORD style;
        WPARAM freq;
        LONG tics;
    } cases[] = {
        {TBS_AUTOTICKS, 2, 51},  // 0, 2, ..., 100
        {TBS_AUTOTICKS, 10, 11},
        {TBS_AUTOTICKS, 30, 5},  // 0, 30, 60, 90 and the end
        {0, 2, 2},               // without TBS_AUTOTICKS only the ends
        {TBS_AUTOTICKS | TBS_NOTICKS, 2, 0},
    };
    for (const auto& c : cases) {
        Create(WS_CHILD | WS_VISIBLE | c.style);
        Send(TBM_SETTICFREQ, c.freq);
        EXPECT_EQ(Send(TBM_GETNUMTICS), c.tics) << "style " << c.style << " every " << c.freq;
        DestroyWindow(g_track);
    }
    Create();
    EXPECT_EQ(Send(TBM_SETPAGESIZE, 0, 7), 20) << "returns the previous page size";
    EXPECT_EQ(Send(TBM_GETPAGESIZE), 7);
    Send(TBM_SETRANGE, TRUE, MAKELONG(0, 500));
    EXPECT_EQ(Send(TBM_GETPAGESIZE), 7) << "a page size that was set stays";
    EXPECT_EQ(Send(TBM_SETLINESIZE, 0, 3), 1);
    EXPECT_EQ(Send(TBM_GETLINESIZE), 3);
}

struct KeyCase {
    UINT vk;
    LONG from;
    WORD code;
    LONG to;
};

TEST_F(Trackbar, KeysMoveTheThumbThenEndTheTrack) {
    Create();
    const KeyCase cases[] = {
        {VK_LEFT, 50, TB_LINEUP, 49},    {VK_UP, 50, TB_LINEUP, 49},    {VK_RIGHT, 50, TB_LINEDOWN, 51},
        {VK_DOWN, 50, TB_LINEDOWN, 51},  {VK_PRIOR, 50, TB_PAGEUP, 30}, {VK_NEXT, 50, TB_PAGEDOWN, 70},
        {VK_HOME, 50, TB_TOP, 0},        {VK_END, 50, TB_BOTTOM, 100},  {VK_PRIOR, 10, TB_PAGEUP, 0},
        {VK_NEXT, 95, TB_PAGEDOWN, 100},
    };
    for (const KeyCase& c : cases) {
        Send(TBM_SETPOS, TRUE, c.from);
        g_scrolls.clear();
        Send(WM_KEYDOWN, c.vk, 1);
        Send(WM_KEYUP, c.vk, 0xC0000001);
        ASSERT_EQ(g_scrolls.size(), 2u) << "key " << c.vk;
        EXPECT_EQ(g_scrolls[0].code, c.code) << "key " << c.vk;
        EXPECT_EQ(g_scrolls[0].high, 0) << "key " << c.vk;
        EXPECT_EQ(g_scrolls[0].posThen, c.to) << "the thumb has moved before the parent hears of it";
        EXPECT_TRUE(g_scrolls[0].fromTrack);
        EXPECT_EQ(g_scrolls[1].code, TB_ENDTRACK) << "key " << c.vk;
        EXPECT_EQ(Send(TBM_GETPOS), c.to);
    }
}

TEST_F(Trackbar, KeysFromTheKeyboardReachTheParent) {
    Create();
    SetForegroundWindow(parent_);
    SetFocus(g_track);
    Send(TBM_SETPOS, TRUE, 10);
    g_scrolls.clear();
    testsupport::pressKey(VK_RIGHT);
    ASSERT_EQ(g_scrolls.size(), 2u);
    EXPECT_EQ(g_scrolls[0].code, TB_LINEDOWN);
    EXPECT_EQ(g_scrolls[0].posThen, 11);
    EXPECT_EQ(g_scrolls[1].code, TB_ENDTRACK);
}

TEST_F(Trackbar, DraggingTheThumbTracksThenReportsThePosition) {
    Create();
    RECT thumb = Rect(TBM_GETTHUMBRECT);
    RECT channel = Rect(TBM_GETCHANNELRECT);
    ASSERT_GT(thumb.right, thumb.left);
    ASSERT_GT(channel.right - channel.left, 100);
    const POINT grab = Centre(thumb);
    auto along = [&](LONG dx) { return POINT{grab.x + dx, grab.y}; };

    testsupport::mousePress(g_track, grab);
    EXPECT_TRUE(g_scrolls.empty()) << "pressing the thumb moves nothing yet";
    testsupport::mouseMove(g_track, along(40), true);
    testsupport::mouseMove(g_track, along(40), true);  // no move, no message
    testsupport::mouseMove(g_track, along(80), true);
    testsupport::mouseRelease(g_track, along(80));
    ForgiveWinesSecondEnd();

    ASSERT_EQ(g_scrolls.size(), 4u) << Heard();
    const WORD order[] = {TB_THUMBTRACK, TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(g_scrolls[i].code, order[i]) << "message " << i;
    EXPECT_GT(g_scrolls[0].posThen, 0);
    EXPECT_GT(g_scrolls[1].posThen, g_scrolls[0].posThen);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(g_scrolls[i].high, g_scrolls[i].posThen) << "HIWORD is the new position, " << i;
    }
    EXPECT_EQ(g_scrolls[2].posThen, g_scrolls[1].posThen);
    EXPECT_EQ(g_scrolls[3].high, 0);
    EXPECT_EQ(Send(TBM_GETPOS), g_scrolls[2].posThen);
    // 80 pixels of the thumb's travel. Microsoft does not say how far the thumb
    // travels: over the channel (winshim) or over the channel less the thumb's
    // own width (Wine); either is a drag of 80 pixels.
    const LONG channelWidth = channel.right - channel.left, thumbWidth = thumb.right - thumb.left;
    const LONG pos = Send(TBM_GETPOS);
    EXPECT_GE(pos, 80 * 100 / channelWidth - 2) << "thumb " << thumbWidth << ", channel " << channelWidth;
    EXPECT_LE(pos, 80 * 100 / (channelWidth - thumbWidth) + 2)
        << "thumb " << thumbWidth << ", channel " << channelWidth;
}

TEST_F(Trackbar, ClickingTheChannelPagesTowardsTheClick) {
    Create();
    RECT channel = Rect(TBM_GETCHANNELRECT);
    const int y = (channel.top + channel.bottom) / 2;
    const struct {
        LONG from;
        int x;
        WORD code;
        LONG to;
    } cases[] = {
        {0, channel.right - 3, TB_PAGEDOWN, 20},
        {50, channel.right - 3, TB_PAGEDOWN, 70},
        {50, channel.left + 2, TB_PAGEUP, 30},
        {10, channel.left + 2, TB_PAGEUP, 0},
    };
    for (const auto& c : cases) {
        Send(TBM_SETPOS, TRUE, c.from);
        g_scrolls.clear();
        testsupport::click(g_track, POINT{c.x, y});
        ForgiveWinesSecondEnd();
        ASSERT_EQ(g_scrolls.size(), 2u) << "from " << c.from << ": " << Heard();
        EXPECT_EQ(g_scrolls[0].code, c.code) << "from " << c.from;
        EXPECT_EQ(g_scrolls[0].posThen, c.to) << "from " << c.from;
        EXPECT_EQ(g_scrolls[0].high, 0);
        EXPECT_EQ(g_scrolls[1].code, TB_ENDTRACK);
    }
}

TEST_F(Trackbar, HoldingTheButtonInTheChannelRepeatsUntilTheThumbArrives) {
    Create();
    RECT channel = Rect(TBM_GETCHANNELRECT);
    const POINT at{channel.right - 3, (channel.top + channel.bottom) / 2};
    testsupport::mousePress(g_track, at);
    testsupport::pumpFor(1500);
    testsupport::mouseRelease(g_track, at);
    ForgiveWinesSecondEnd();
    ASSERT_GE(g_scrolls.size(), 6u) << Heard();
    for (size_t i = 0; i + 1 < g_scrolls.size(); ++i) EXPECT_EQ(g_scrolls[i].code, TB_PAGEDOWN) << i;
    EXPECT_EQ(g_scrolls.back().code, TB_ENDTRACK);
    EXPECT_EQ(Send(TBM_GETPOS), 100);
}

TEST_F(Trackbar, AParentThatDestroysTheTrackbarInItsHandlerIsSafe) {
    Create();
    RECT channel = Rect(TBM_GETCHANNELRECT);
    const POINT at{channel.right - 3, (channel.top + channel.bottom) / 2};
    // The first WM_HSCROLL destroys the control; the release that follows finds no trackbar.
    static HWND victim;
    victim = g_track;
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent_, GWLP_WNDPROC));
    SetWindowLongPtrA(parent_, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                          if (m == WM_HSCROLL && IsWindow(victim)) DestroyWindow(victim);
                          return DefWindowProcA(h, m, wp, lp);
                      }));
    // The release goes to the window the press went to, which is gone.
    POINT where = at;
    ClientToScreen(g_track, &where);
    testsupport::mousePress(g_track, at);
    EXPECT_FALSE(IsWindow(victim));
    ScreenToClient(parent_, &where);
    testsupport::mouseRelease(parent_, where);
    SetWindowLongPtrA(parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
}

}  // namespace
