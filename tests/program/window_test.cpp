// The main window: its placement and column widths kept in the settings file,
// the layout, the view commands and the menu commands without action.
#include "program_fixture.h"
#include "resource.h"
#include "varnel.h"

namespace {

using WindowTest = ProgramTest;

RECT Outer(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

// A child's rectangle in its parent's client coordinates.
RECT InParent(HWND child) {
    RECT r = Outer(child);
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ScreenToClient(GetParent(child), &tl);
    ScreenToClient(GetParent(child), &br);
    return RECT{tl.x, tl.y, br.x, br.y};
}

std::vector<int> Columns(HWND list) {
    std::vector<int> widths;
    for (int c = 0; c < 3; c++) widths.push_back(int(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0)));
    return widths;
}

using Keys = std::vector<std::pair<std::string, std::string>>;

TEST_F(WindowTest, FirstStartUsesTheDefaultsAndExitWritesInOrder) {
    Start();
    RECT r = Outer(main_);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 160);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, 400);
    EXPECT_EQ(Columns(TrackList()), (std::vector<int>{85, 245, 80}));
    Exit();
    EXPECT_EQ(IniKeys(), (Keys{{"Top", "160"},
                               {"Left", "200"},
                               {"Width", "400"},
                               {"Height", "400"},
                               {"Column1", "85"},
                               {"Column2", "245"},
                               {"Column3", "80"}}));
}

TEST_F(WindowTest, NextStartUsesWhatWasStored) {
    WriteIni(
        "[Other]\r\nLeft=1\r\n[Varnel]\r\nLeft=-4\r\nTop=30\r\nWidth=500\r\nHeight=350\r\nColumn1=50\r\n"
        "Column2=60\r\nColumn3=70\r\n");
    Start();
    RECT r = Outer(main_);
    EXPECT_EQ(r.left, -4);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 350);
    EXPECT_EQ(Columns(TrackList()), (std::vector<int>{50, 60, 70}));
    Exit();
    EXPECT_EQ(IniKeys(), (Keys{{"Left", "1"},
                               {"Left", "-4"},
                               {"Top", "30"},
                               {"Width", "500"},
                               {"Height", "350"},
                               {"Column1", "50"},
                               {"Column2", "60"},
                               {"Column3", "70"}}));
}

// A size no screen can show comes back within the desktop, and is saved so;
// the position stays as read.
TEST_F(WindowTest, AStoredSizeBeyondTheDesktopIsKeptWithinIt) {
    WriteIni("[Varnel]\r\nLeft=-20000\r\nTop=30\r\nWidth=32767\r\nHeight=32767\r\n");
    Start();
    const std::string width = std::to_string(GetSystemMetrics(SM_CXMAXTRACK));
    const std::string height = std::to_string(GetSystemMetrics(SM_CYMAXTRACK));
    Exit();
    Keys keys = IniKeys();
    keys.resize(4);
    EXPECT_EQ(keys, (Keys{{"Left", "-20000"}, {"Top", "30"}, {"Width", width}, {"Height", height}}));
}

TEST_F(WindowTest, LeftEdgeBeyond2000IsBroughtBack) {
    struct Case {
        int left;
        Keys keys;
    } cases[] = {
        {2001, {{"Top", "100"}, {"Left", "200"}, {"Width", "540"}, {"Height", "400"}}},
        {2000, {{"Top", "50"}, {"Left", "2000"}, {"Width", "300"}, {"Height", "250"}}},
        {-4, {{"Top", "50"}, {"Left", "-4"}, {"Width", "300"}, {"Height", "250"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left);
        std::remove(IniPath().c_str());
        Start();
        MoveWindow(main_, c.left, 50, 300, 250, TRUE);
        Exit();
        Keys keys = IniKeys();
        keys.resize(4);
        EXPECT_EQ(keys, c.keys);
    }
}

TEST_F(WindowTest, MinimisedAtExitSavesTheRestoredPlacement) {
    Start();
    ShowWindow(main_, SW_SHOWNORMAL);
    MoveWindow(main_, 120, 90, 420, 380, TRUE);
    ShowWindow(main_, SW_MINIMIZE);
    testsupport::pumpFor(50);
    Exit();
    Keys keys = IniKeys();
    keys.resize(4);
    EXPECT_EQ(keys, (Keys{{"Top", "90"}, {"Left", "120"}, {"Width", "420"}, {"Height", "380"}}));
}

TEST_F(WindowTest, ColumnWidthsAtExitDependOnTheView) {
    struct Case {
        WPARAM view;
        Keys columns;  // column keys written in a new file
    } cases[] = {
        {IDM_VIEW_REPORT, {{"Column1", "85"}, {"Column2", "245"}, {"Column3", "80"}}},
        {IDM_VIEW_LARGE_ICONS, {}},
        {IDM_VIEW_SMALL_ICONS, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        std::remove(IniPath().c_str());
        Start();
        SendMessageA(main_, WM_COMMAND, c.view, 0);
        Exit();
        Keys keys = IniKeys();
        ASSERT_GE(keys.size(), 4u);
        EXPECT_EQ(Keys(keys.begin() + 4, keys.end()), c.columns);
    }
    // In list view the one shared width goes into all three keys.
    std::remove(IniPath().c_str());
    Start();
    SendMessageA(main_, WM_COMMAND, IDM_VIEW_LIST, 0);
    Exit();
    Keys keys = IniKeys();
    ASSERT_EQ(keys.size(), 7u);
    EXPECT_NE(keys[4].second, "0");
    EXPECT_EQ(keys[5].second, keys[4].second);
    EXPECT_EQ(keys[6].second, keys[4].second);

    // An icon view keeps what an earlier exit stored.
    WriteIni("[Varnel]\r\nColumn1=11\r\nColumn2=22\r\nColumn3=33\r\n");
    Start();
    SendMessageA(main_, WM_COMMAND, IDM_VIEW_LARGE_ICONS, 0);
    Exit();
    keys = IniKeys();
    EXPECT_EQ(Keys(keys.begin(), keys.begin() + 3), (Keys{{"Column1", "11"}, {"Column2", "22"}, {"Column3", "33"}}));
}

TEST_F(WindowTest, ViewCommandsSetOnlyTheViewBits) {
    Start();
    const LONG before = GetWindowLongA(TrackList(), GWL_STYLE);
    EXPECT_EQ(before & LVS_TYPEMASK, LVS_REPORT);
    struct Case {
        WPARAM command;
        LONG view;
    } cases[] = {{IDM_VIEW_LARGE_ICONS, LVS_ICON},
                 {IDM_VIEW_SMALL_ICONS, LVS_SMALLICON},
                 {IDM_VIEW_LIST, LVS_LIST},
                 {IDM_VIEW_LIST, LVS_LIST},
                 {IDM_VIEW_REPORT, LVS_REPORT}};
    for (const Case& c : cases) {
        EXPECT_EQ(SendMessageA(main_, WM_COMMAND, c.command, 0), 0);
        LONG style = GetWindowLongA(TrackList(), GWL_STYLE);
        EXPECT_EQ(style & LVS_TYPEMASK, c.view) << c.command;
        EXPECT_EQ(style & ~LVS_TYPEMASK, before & ~LVS_TYPEMASK) << c.command;
    }
}

TEST_F(WindowTest, LayoutFollowsTheClientSize) {
    Start();
    struct Case {
        int w, h;
        RECT list;
    } cases[] = {
        {400, 300, {0, 125, 400, 280}}, {250, 146, {0, 125, 250, 126}},
        {250, 145, {0, 125, 250, 125}}, {250, 100, {0, 125, 250, 125}},  // no visible height left
        {0, 0, {0, 125, 0, 125}},                                        // minimised
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(SendMessageA(main_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.w, c.h)), 0);
        RECT l = InParent(TrackList());
        EXPECT_EQ((std::vector<LONG>{l.left, l.top, l.right, l.bottom}),
                  (std::vector<LONG>{c.list.left, c.list.top, c.list.right, c.list.bottom}));
    }

    // A real resize: the list across the client, the status bar along the bottom (its height is its own).
    ShowWindow(main_, SW_SHOWNORMAL);
    MoveWindow(main_, 100, 100, 520, 430, TRUE);
    testsupport::pumpFor(50);
    RECT client{};
    GetClientRect(main_, &client);
    RECT l = InParent(TrackList()), s = InParent(IDC_STATUS);
    EXPECT_EQ((std::vector<LONG>{l.left, l.top, l.right, l.bottom}),
              (std::vector<LONG>{0, 125, client.right, client.bottom - 20}));
    EXPECT_EQ((std::vector<LONG>{s.left, s.right, s.bottom}), (std::vector<LONG>{0, client.right, client.bottom}));
}

TEST_F(WindowTest, CommandsWithoutActionAndExit) {
    InsertDisc("1", 1);
    Start();
    OpenNow();
    for (WPARAM command :
         {WPARAM(IDM_CLOSE), WPARAM(IDM_ABOUT), WPARAM(IDM_HELP_CONTENTS), WPARAM(MAKEWPARAM(IDM_EXIT, 1))}) {
        SendMessageA(main_, WM_COMMAND, command, 0);
        EXPECT_TRUE(IsWindow(main_)) << command;
    }
    commands.clear();
    EXPECT_EQ(SendMessageA(main_, WM_COMMAND, IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"stop cd", "close cd"}));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    main_ = nullptr;
    EXPECT_EQ(IniKeys().size(), 7u);
}

TEST_F(WindowTest, CloseBoxEndsAsExitDoes) {
    InsertDisc("1", 1);
    Start();
    OpenNow();
    commands.clear();
    SendMessageA(main_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"stop cd", "close cd"}));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    main_ = nullptr;
    EXPECT_EQ(IniKeys().size(), 7u);
}

TEST_F(WindowTest, CreationBuildsTheChildren) {
    Start();
    EXPECT_EQ(StatusText(0), "No Disc");
    int edges[2] = {};
    EXPECT_EQ(SendMessageA(IDC_STATUS, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 80);
    EXPECT_EQ(edges[1], -1);
    EXPECT_EQ(SendMessageA(IDC_POSITION, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(IDC_POSITION, TBM_GETRANGEMAX, 0, 0), 100);
    EXPECT_EQ(GetDlgCtrlID(IDC_POSITION), 11);
    EXPECT_EQ(GetDlgCtrlID(IDC_STATUS), 2);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main_, IDC_PAUSE)));
    EXPECT_EQ(Text(IDC_PLAY), "Play");
    char heading[32] = "";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = heading;
    column.cchTextMax = sizeof heading;
    SendMessageA(TrackList(), LVM_GETCOLUMNA, 2, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(heading, "Time");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
    DWORD attributes = GetFileAttributesA((home.windowsDir() + "/CD Track Lists").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
