// The standard controls as Windows has them: list box and combo box messages with
// their sort, insertion, deletion and selection rules and return codes, the
// notifications that only the user's input makes, buttons, edit text, and
// GetDlgItemInt's reading of a number.
#include <gtest/gtest.h>

#include "test_support.h"
#include <windows.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

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

// Mouse input at a point of a window's client area, as the user makes it.
void Mouse(HWND hwnd, POINT client, QEvent::Type type) {
    ClientToScreen(hwnd, &client);
    const QPoint global(client.x, client.y);
    QWidget* target = QApplication::widgetAt(global);
    ASSERT_NE(target, nullptr) << "nothing on screen at " << client.x << "," << client.y;
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
void Click(HWND hwnd, POINT client) {
    Mouse(hwnd, client, QEvent::MouseButtonPress);
    Mouse(hwnd, client, QEvent::MouseButtonRelease);
}
void DoubleClick(HWND hwnd, POINT client) {
    Click(hwnd, client);
    Mouse(hwnd, client, QEvent::MouseButtonDblClick);
    Mouse(hwnd, client, QEvent::MouseButtonRelease);
}

// A key as the keyboard gives it to the window with the focus.
void Type(Qt::Key key, const QString& text = QString()) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "no control has the focus";
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

std::string TextOf(HWND hwnd) {
    char buffer[512] = "";
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

// One message and what it must answer; `text` goes in lParam.
struct Step {
    UINT msg;
    WPARAM wParam;
    const char* text;
    LRESULT expected;
};

void RunSteps(HWND control, const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& s : steps) {
        EXPECT_EQ(SendMessageA(control, s.msg, s.wParam, reinterpret_cast<LPARAM>(s.text)), s.expected)
            << "step " << n << ": message " << std::hex << s.msg;
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
    RunSteps(list, {{LB_SETCURSEL, 1, nullptr, 1}, {LB_RESETCONTENT, 0, nullptr, TRUE}});
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
                        {CB_GETCURSEL, 0, nullptr, CB_ERR},
                        {CB_SETCURSEL, 1, nullptr, 1},
                        {CB_SETCURSEL, kNone, nullptr, CB_ERR},
                        {CB_GETCURSEL, 0, nullptr, CB_ERR},
                        {CB_GETLBTEXTLEN, 0, nullptr, 2},
                        {CB_GETLBTEXTLEN, 4, nullptr, CB_ERR},
                        {CB_GETLBTEXT, 4, nullptr, CB_ERR},
                    });
    EXPECT_EQ(TextOf(combo), "");
    EXPECT_EQ(Items(combo, CB_GETCOUNT, CB_GETLBTEXT), (std::vector<std::string>{"z:", "d:", "g:", "a:"}));
    RunSteps(combo, {{CB_RESETCONTENT, 0, nullptr, CB_OKAY}, {CB_GETCOUNT, 0, nullptr, 0}});
    EXPECT_TRUE(g_commands.empty());

    // The template's height includes the dropped-down list; the window is the field.
    RECT r{};
    GetWindowRect(combo, &r);
    EXPECT_GT(r.bottom - r.top, 0);
    EXPECT_LT(r.bottom - r.top, 80);
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

    Click(list, centre(list, 2));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_SELCHANGE}));
    EXPECT_EQ(g_commands.back(), (Command{100, LBN_SELCHANGE, list}));

    g_commands.clear();
    DoubleClick(list, centre(list, 0));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK, LBN_SELCHANGE}));

    g_commands.clear();
    Type(Qt::Key_Down);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(codes(list), (std::vector<WORD>{LBN_SELCHANGE}));

    // Without LBS_NOTIFY the user's clicks select but tell nobody.
    g_commands.clear();
    Click(quiet, centre(quiet, 1));
    EXPECT_EQ(SendMessageA(quiet, LB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(g_commands.empty());
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
    Click(play, POINT{40, 11});
    SendMessageA(pause, BM_CLICK, 0, 0);  // disabled: nothing
    Click(pause, POINT{40, 11});
    EXPECT_EQ(g_commands, (std::vector<Command>{{1001, BN_CLICKED, play}, {1001, BN_CLICKED, play}}));

    g_commands.clear();
    EnableWindow(pause, TRUE);
    Click(pause, POINT{40, 11});
    EXPECT_EQ(g_commands, (std::vector<Command>{{40002, BN_CLICKED, pause}}));

    EXPECT_TRUE(SetWindowTextA(play, "Stop"));
    EXPECT_EQ(TextOf(play), "Stop");
    EXPECT_EQ(GetWindowTextLengthA(play), 4);
}

TEST_F(ControlTest, EditTextRoundTripsAndFollowsTheUser) {
    HWND edit = Make("Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 1017, "", {10, 10, 310, 33});
    ASSERT_NE(edit, nullptr);
    const std::string long300(300, 'x');
    for (const std::string& text :
         {std::string("Overture"), std::string(), std::string("Caf\xc3\xa9 & Bar"), long300}) {
        EXPECT_TRUE(SetWindowTextA(edit, text.c_str()));
        EXPECT_EQ(GetWindowTextLengthA(edit), int(text.size()));
        EXPECT_EQ(TextOf(edit), text);
    }
    EXPECT_EQ(g_commands.size(), 4u) << "each WM_SETTEXT is an EN_CHANGE";
    for (const Command& c : g_commands) EXPECT_EQ(c, (Command{1017, EN_CHANGE, edit}));

    SetWindowTextA(edit, "Ab");
    testsupport::pumpFor(50);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 2, 2);
    g_commands.clear();
    Type(Qt::Key_C, "c");
    Type(Qt::Key_Backspace);
    Type(Qt::Key_D, "d");
    EXPECT_EQ(TextOf(edit), "Abd");
    EXPECT_EQ(GetWindowTextLengthA(edit), 3);
    EXPECT_EQ(g_commands.size(), 3u) << "one EN_CHANGE per change the user makes";
}

TEST_F(ControlTest, GetDlgItemIntReadsADecimalNumberWithBlanksAround) {
    HWND edit = Make("Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER, 1014);
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    } cases[] = {
        {"0", FALSE, 0, TRUE},
        {"12", FALSE, 12, TRUE},
        {"  12  ", FALSE, 12, TRUE},
        {"-12", TRUE, UINT(-12), TRUE},
        {"-12", FALSE, 0, FALSE},
        {"1 2", FALSE, 0, FALSE},
        {"12a", FALSE, 0, FALSE},
        {"", FALSE, 0, FALSE},
        {"   ", TRUE, 0, FALSE},
        {"-", TRUE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE},
        {"4294967296", FALSE, 0, FALSE},
        {"2147483647", TRUE, UINT(INT_MAX), TRUE},
        {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, UINT(INT_MIN), TRUE},
        {"-2147483649", TRUE, 0, FALSE},
        {"99999999999999999999", FALSE, 0, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
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
