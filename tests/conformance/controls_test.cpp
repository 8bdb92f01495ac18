// The standard controls as Windows has them: list box and combo box messages with
// their sort, insertion, deletion and selection rules and return codes, the
// notifications that only the user's input makes, buttons, edit text, and
// GetDlgItemInt's reading of a number.
#include <windows.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "input.h"
#include "test_support.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

struct Command {
    WORD id, code;
    HWND control;
    bool operator==(const Command&) const = default;
};
std::vector<Command> g_commands;

void PrintTo(const Command& c, std::ostream* os) {
    *os << "{id " << c.id << ", code " << c.code << ", " << c.control << "}";
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) g_commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A shown top-level window that records the commands its controls send.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.hInstance = Module();
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = "ControlParent";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        parent = CreateWindowExA(0, "ControlParent", "controls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                                 nullptr, nullptr, Module(), nullptr);
        ASSERT_NE(parent, nullptr);
        SetForegroundWindow(parent);  // the keyboard goes to the active window
        g_commands.clear();
    }
    void TearDown() override { DestroyWindow(parent); }

    HWND Make(const char* cls, DWORD style, int id, const char* text = "", RECT r = {10, 10, 210, 130}) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent, reinterpret_cast<HMENU>(INT_PTR(id)), Module(), nullptr);
    }

    HWND parent = nullptr;
};

std::string TextOf(HWND hwnd) {
    char buffer[512] = "";
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

// One message and what it must answer; `text` goes in lParam. A step where
// Wine answers otherwise than Microsoft documents names how.
struct Step {
    UINT msg;
    WPARAM wParam;
    const char* text;
    LRESULT expected;
    const char* wineDeparts = nullptr;
};

void RunSteps(HWND control, const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& s : steps) {
        const LRESULT answer = SendMessageA(control, s.msg, s.wParam, reinterpret_cast<LPARAM>(s.text));
        if (!(s.wineDeparts && testsupport::wineDeparts(s.wineDeparts))) {
            EXPECT_EQ(answer, s.expected) << "step " << n << ": message " << std::hex << s.msg;
        }
        ++n;
    }
}

std::vector<std::string> Items(HWND control, UINT countMsg, UINT textMsg) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(control, countMsg, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char buffer[256] = "";
        SendMessageA(control, textMsg, WPARAM(i), reinterpret_cast<LPARAM>(buffer));
        items.push_back(buffer);
    }
    return items;
}

const WPARAM kNone = WPARAM(-1);

TEST_F(ControlTest, ListBoxSortsWhatIsAddedOnlyAndKeepsItsSelection) {
    HWND list = Make("ListBox", LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER, 100);
    ASSERT_NE(list, nullptr);
    RunSteps(list, {
                       {LB_ADDSTRING, 0, "pear", 0},
                       {LB_ADDSTRING, 0, "apple", 0},
                       {LB_ADDSTRING, 0, "Banana", 1},           // case does not count in the order
                       {LB_INSERTSTRING, kNone, "aardvark", 3},  // appended, never sorted
                       {LB_INSERTSTRING, 1, "kiwi", 1},
                       {LB_INSERTSTRING, 9, "x", LB_ERR},
                       {LB_GETCOUNT, 0, nullptr, 5},
                       {LB_GETCURSEL, 0, nullptr, LB_ERR},
                       {LB_SETCURSEL, 2, nullptr, 2},
                       {LB_INSERTSTRING, 0, "fig", 0},
                       {LB_GETCURSEL, 0, nullptr, 3},  // the selection stays on its item
                       {LB_DELETESTRING, 0, nullptr, 5},
                       {LB_GETCURSEL, 0, nullptr, 2},
                       {LB_DELETESTRING, 2, nullptr, 4},  // the selected one
                       {LB_GETCURSEL, 0, nullptr, LB_ERR},
                       {LB_DELETESTRING, 7, nullptr, LB_ERR},
                       {LB_GETTEXTLEN, 1, nullptr, 4},
                       {LB_GETTEXTLEN, 9, nullptr, LB_ERR},
                       {LB_GETTEXT, 9, nullptr, LB_ERR},
                       {LB_SETCURSEL, 3, nullptr, 3},
                       {LB_SETCURSEL, kNone, nullptr, LB_ERR},  // clears, and says LB_ERR
                       {LB_GETCURSEL, 0, nullptr, LB_ERR},
                   });
    EXPECT_EQ(Items(list, LB_GETCOUNT, LB_GETTEXT), (std::vector<std::string>{"apple", "kiwi", "pear", "aardvark"}));
    char buffer[16];
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_STREQ(buffer, "pear");
    RunSteps(list, {{LB_SETCURSEL, 1, nullptr, 1}});
    SendMessageA(list, LB_RESETCONTENT, 0, 0);  // documented to answer nothing
    RunSteps(list, {{LB_GETCOUNT, 0, nullptr, 0}, {LB_GETCURSEL, 0, nullptr, LB_ERR}});
    EXPECT_TRUE(g_commands.empty()) << "the program's own changes notify nobody";

    HWND plain = Make("ListBox", LBS_NOTIFY, 101);
    RunSteps(plain, {{LB_ADDSTRING, 0, "b", 0}, {LB_ADDSTRING, 0, "a", 1}, {LB_INSERTSTRING, kNone, "c", 2}});
}

TEST_F(ControlTest, ComboBoxListsLikeAListBoxAndShowsItsSelection) {
    HWND combo = Make("ComboBox", CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP, 200, "", {10, 10, 130, 90});
    ASSERT_NE(combo, nullptr);
    RunSteps(combo, {
                        {CB_ADDSTRING, 0, "g:", 0},
                        {CB_ADDSTRING, 0, "d:", 0},
                        {CB_ADDSTRING, 0, "E:", 1},
                        {CB_INSERTSTRING, kNone, "a:", 3},
                        {CB_INSERTSTRING, 9, "x:", CB_ERR},
                        {CB_GETCOUNT, 0, nullptr, 4},
                        {CB_GETCURSEL, 0, nullptr, CB_ERR},  // adding selects nothing
                        {CB_SETCURSEL, 1, nullptr, 1},
                    });
    EXPECT_EQ(TextOf(combo), "E:") << "a drop-down list's text is its selection";
    RunSteps(combo, {
                        {CB_INSERTSTRING, 0, "z:", 0},
                        {CB_GETCURSEL, 0, nullptr, 2},
                        {CB_DELETESTRING, 2, nullptr, 4},
                        {CB_GETCURSEL, 0, nullptr, CB_ERR},
                        {CB_DELETESTRING, 8, nullptr, CB_ERR},
                        {CB_SETCURSEL, 0, nullptr, 0},
                        {CB_SETCURSEL, 7, nullptr, CB_ERR},  // out of range clears the selection
                        {CB_GETCURSEL, 0, nullptr, CB_ERR, "an index out of range keeps the selection"},
                        {CB_SETCURSEL, 1, nullptr, 1},
                        {CB_SETCURSEL, kNone, nullptr, CB_ERR},
                        {CB_GETCURSEL, 0, nullptr, CB_ERR},
                        {CB_GETLBTEXTLEN, 0, nullptr, 2},
                        {CB_GETLBTEXTLEN, 4, nullptr, CB_ERR},
                        {CB_GETLBTEXT, 4, nullptr, CB_ERR},
                    });
    EXPECT_EQ(TextOf(combo), "");
    EXPECT_EQ(Items(combo, CB_GETCOUNT, CB_GETLBTEXT), (std::vector<std::string>{"z:", "d:", "g:", "a:"}));
    RunSteps(combo, {{CB_RESETCONTENT, 0, nullptr, CB_OKAY, "CB_RESETCONTENT answers TRUE, not CB_OKAY"},
                     {CB_GETCOUNT, 0, nullptr, 0}});
    EXPECT_TRUE(g_commands.empty());

    // The template's height includes the dropped-down list; the window is the field.
    RECT r{};
    GetWindowRect(combo, &r);
    EXPECT_GT(r.bottom - r.top, 0);
    EXPECT_LT(r.bottom - r.top, 80);
}

TEST_F(ControlTest, ComboBoxAndListBoxTellOfTheirFocus) {
    HWND combo = Make("ComboBox", CBS_DROPDOWNLIST | WS_TABSTOP, 200, "", {10, 10, 210, 130});
    HWND list = Make("ListBox", WS_BORDER | LBS_NOINTEGRALHEIGHT, 201, "", {220, 10, 380, 130});
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(list, nullptr);
    testsupport::pumpFor(50);
    g_commands.clear();
    SetFocus(combo);
    SetFocus(list);
    SetFocus(combo);
    testsupport::settle();
    const std::vector<Command> expected = {
        // "Sent when the user selects an item, but then selects another control".
        {200, CBN_SETFOCUS, combo}, {200, CBN_SELENDCANCEL, combo}, {200, CBN_KILLFOCUS, combo},
        {201, LBN_SETFOCUS, list},  {201, LBN_KILLFOCUS, list},     {200, CBN_SETFOCUS, combo},
    };
    EXPECT_EQ(g_commands, expected);
}

TEST_F(ControlTest, ListBoxNotifiesTheUsersSelectionOnly) {
    HWND list = Make("ListBox", LBS_NOTIFY | WS_BORDER | LBS_NOINTEGRALHEIGHT, 100);
    HWND quiet = Make("ListBox", WS_BORDER | LBS_NOINTEGRALHEIGHT, 101, "", {220, 10, 380, 130});
    for (HWND h : {list, quiet})
        for (const char* text : {"one", "two", "three"}) SendMessageA(h, LB_ADDSTRING, 0, LPARAM(text));
    testsupport::pumpFor(50);
    const auto centre = [](HWND h, int row) {
        RECT r{};
        EXPECT_NE(SendMessageA(h, LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r)), LB_ERR);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    const auto codes = [&](HWND h) {
        std::vector<WORD> list;
        for (const Command& c : g_commands)
            if (c.control == h) list.push_back(c.code);
        return list;
    };

    SendMessageA(list, LB_SETCURSEL, 1, 0);
    EXPECT_TRUE(g_commands.empty());

    // The click also gives the list box the focus, which it tells with or
    // without LBS_NOTIFY: that style is for the selection and double clicks.
    testsupport::click(list, centre(list, 2));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_SETFOCUS, LBN_SELCHANGE}));
    EXPECT_EQ(g_commands.back(), (Command{100, LBN_SELCHANGE, list}));

    // The first click selects, the second is the double click. Whether the
    // release that ends it says LBN_SELCHANGE once more, Microsoft's
    // documentation leaves open (Wine's list box does not); nothing else may follow.
    g_commands.clear();
    testsupport::doubleClick(list, centre(list, 0));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    const std::vector<WORD> doubled = codes(list);
    EXPECT_TRUE(doubled == (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK}) ||
                doubled == (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK, LBN_SELCHANGE}))
        << testing::PrintToString(doubled);

    g_commands.clear();
    testsupport::pressKey(VK_DOWN);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_SELCHANGE}));

    // Without LBS_NOTIFY the user's clicks select but tell nothing of it;
    // the focus moving is told by both.
    g_commands.clear();
    testsupport::click(quiet, centre(quiet, 1));
    EXPECT_EQ(SendMessageA(quiet, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_KILLFOCUS}));
    EXPECT_EQ(codes(quiet), (std::vector<WORD>{LBN_SETFOCUS}));
}

TEST_F(ControlTest, ButtonsReportClicksAndChangeTheirCaption) {
    HWND play = Make("Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 1001, "Play", {10, 10, 90, 33});
    HWND pause = Make("Button", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 40002, "Pause", {10, 40, 90, 63});
    ASSERT_NE(play, nullptr);
    ASSERT_NE(pause, nullptr);
    testsupport::pumpFor(50);
    struct Case {
        HWND button;
        LRESULT dlgCode;
    } codes[] = {{play, DLGC_BUTTON | DLGC_DEFPUSHBUTTON}, {pause, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON}};
    for (const Case& c : codes) EXPECT_EQ(SendMessageA(c.button, WM_GETDLGCODE, 0, 0), c.dlgCode);

    SendMessageA(play, BM_CLICK, 0, 0);
    testsupport::click(play, POINT{40, 11});
    // A disabled button sends no BN_CLICKED (Microsoft's BN_CLICKED page); Wine's
    // BM_CLICK presses and releases it all the same.
    if (!testsupport::wineDeparts("BM_CLICK on a disabled button sends BN_CLICKED"))
        SendMessageA(pause, BM_CLICK, 0, 0);
    testsupport::click(pause, POINT{40, 11});
    EXPECT_EQ(g_commands, (std::vector<Command>{{1001, BN_CLICKED, play}, {1001, BN_CLICKED, play}}));

    g_commands.clear();
    EnableWindow(pause, TRUE);
    testsupport::pumpFor(testsupport::doubleClickTime() + 200);  // a click of its own, not a double click
    testsupport::click(pause, POINT{40, 11});
    EXPECT_EQ(g_commands, (std::vector<Command>{{40002, BN_CLICKED, pause}}));

    EXPECT_TRUE(SetWindowTextA(play, "Stop"));
    EXPECT_EQ(TextOf(play), "Stop");
    EXPECT_EQ(GetWindowTextLengthA(play), 4);
}

TEST_F(ControlTest, EditTextRoundTripsAndFollowsTheUser) {
    HWND edit = Make("Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 1017, "", {10, 10, 310, 33});
    ASSERT_NE(edit, nullptr);
    // Each change is an EN_UPDATE before the edit control shows it, then an
    // EN_CHANGE after.
    const std::vector<Command> aChange{{1017, EN_UPDATE, edit}, {1017, EN_CHANGE, edit}};
    std::vector<Command> expected;
    const std::string long300(300, 'x');
    for (const std::string& text :
         {std::string("Overture"), std::string(), std::string("Caf\xc3\xa9 & Bar"), long300}) {
        EXPECT_TRUE(SetWindowTextA(edit, text.c_str()));
        EXPECT_EQ(GetWindowTextLengthA(edit), int(text.size()));
        EXPECT_EQ(TextOf(edit), text);
        expected.insert(expected.end(), aChange.begin(), aChange.end());
    }
    EXPECT_EQ(g_commands, expected) << "each WM_SETTEXT is a change";

    SetWindowTextA(edit, "Ab");
    testsupport::pumpFor(50);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 2, 2);
    g_commands.clear();
    testsupport::pressKey('C');
    testsupport::pressKey(VK_BACK);
    testsupport::pressKey('D');
    EXPECT_EQ(TextOf(edit), "Abd");
    EXPECT_EQ(GetWindowTextLengthA(edit), 3);
    expected.clear();
    for (int change = 0; change < 3; ++change) expected.insert(expected.end(), aChange.begin(), aChange.end());
    EXPECT_EQ(g_commands, expected) << "one change for each the user makes";
}

TEST_F(ControlTest, GetDlgItemIntReadsADecimalNumberWithBlanksAround) {
    HWND edit = Make("Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER, 1014);
    ASSERT_NE(edit, nullptr);
    // Microsoft: a minus sign counts only for a signed reading, a character
    // that is no digit is an error, and only a value past INT_MAX (UINT_MAX)
    // fails. Wine reads up to the first such character, takes "-" in an
    // unsigned reading, and refuses INT_MAX and INT_MIN themselves.
    const char* const kWineStops = "reads the number up to a character that is no digit";
    const char* const kWineUnsigned = "an unsigned reading takes a minus sign";
    const char* const kWineLimits = "refuses INT_MAX and INT_MIN";
    struct Case {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
        const char* wineDeparts = nullptr;
    } cases[] = {
        {"0", FALSE, 0, TRUE},
        {"12", FALSE, 12, TRUE},
        {"  12  ", FALSE, 12, TRUE},
        {"-12", TRUE, UINT(-12), TRUE},
        {"-12", FALSE, 0, FALSE, kWineUnsigned},
        {"1 2", FALSE, 0, FALSE, kWineStops},
        {"12a", FALSE, 0, FALSE, kWineStops},
        {"", FALSE, 0, FALSE},
        {"   ", TRUE, 0, FALSE},
        {"-", TRUE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE},
        {"4294967296", FALSE, 0, FALSE},
        {"2147483647", TRUE, UINT(INT_MAX), TRUE, kWineLimits},
        {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, UINT(INT_MIN), TRUE, kWineLimits},
        {"-2147483649", TRUE, 0, FALSE},
        {"99999999999999999999", FALSE, 0, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.wineDeparts && testsupport::wineDeparts(c.wineDeparts)) continue;
        SetDlgItemTextA(parent, 1014, c.text);
        BOOL translated = 2;
        EXPECT_EQ(GetDlgItemInt(parent, 1014, &translated, c.isSigned), c.value);
        EXPECT_EQ(translated, c.translated);
    }
    BOOL translated = TRUE;
    EXPECT_EQ(GetDlgItemInt(parent, 4242, &translated, FALSE), 0u);
    EXPECT_FALSE(translated) << "no such control";
    EXPECT_EQ(GetDlgItemInt(parent, 1014, nullptr, FALSE), 0u);
}
}  // namespace
