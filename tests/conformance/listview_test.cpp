// The list view as Windows runs it: the four views chosen by the style, columns
// and their widths per view, rows and subitem texts, hit testing, selection, the
// click notifications the parent gets, and label editing decided by the parent.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input.h"
#include "test_support.h"

namespace {

struct Notice {
    UINT code;
    HWND from;
    UINT_PTR id;
    int item;      // NMITEMACTIVATE.iItem or NMLVDISPINFOA.item.iItem
    POINT pt;      // NMITEMACTIVATE.ptAction
    bool hasText;  // NMLVDISPINFOA.item.pszText != NULL
    std::string text;
};
std::vector<Notice> g_notices;
LRESULT g_beginAnswer = FALSE;  // nonzero refuses an edit
LRESULT g_endAnswer = FALSE;    // nonzero keeps the new text
bool g_destroyOnClick = false;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_NOTIFY) return DefWindowProcA(hwnd, msg, wParam, lParam);
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    Notice n{header->code, header->hwndFrom, header->idFrom, -2, POINT{0, 0}, false, {}};
    if (n.code == NM_CLICK || n.code == NM_DBLCLK || n.code == NM_RCLICK) {
        auto* nm = reinterpret_cast<NMITEMACTIVATE*>(lParam);
        n.item = nm->iItem;
        n.pt = nm->ptAction;
    } else if (n.code == LVN_BEGINLABELEDITA || n.code == LVN_ENDLABELEDITA) {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        n.item = info->item.iItem;
        n.hasText = info->item.pszText != nullptr;
        if (n.hasText) n.text = info->item.pszText;
    } else {
        return 0;
    }
    g_notices.push_back(n);
    if (n.code == NM_CLICK && g_destroyOnClick) DestroyWindow(n.from);
    if (n.code == LVN_BEGINLABELEDITA) return g_beginAnswer;
    if (n.code == LVN_ENDLABELEDITA) return g_endAnswer;
    return 0;
}

std::vector<UINT> Codes() {
    std::vector<UINT> codes;
    for (const Notice& n : g_notices) codes.push_back(n.code);
    return codes;
}

// Long enough for a pending double click to have timed out, with room to spare.
unsigned PastADoubleClick() {
    return testsupport::doubleClickTime() + 200;
}

class ListView : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = "ListViewTestParent";
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        InitCommonControls();
        g_notices.clear();
        g_beginAnswer = g_endAnswer = FALSE;
        g_destroyOnClick = false;
        parent_ = CreateWindowExA(0, "ListViewTestParent", "list", WS_OVERLAPPEDWINDOW, 30, 30, 480, 360, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        ShowWindow(parent_, SW_SHOW);
        SetForegroundWindow(parent_);  // the keyboard goes to the active window
        // The player's track list: WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_EDITLABELS | LVS_REPORT.
        list_ = CreateWindowExA(0, WC_LISTVIEWA, "", 0x50800201, 0, 0, 300, 240, parent_, reinterpret_cast<HMENU>(7),
                                nullptr, nullptr);
        ASSERT_NE(list_, nullptr);
        small_ = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_MASK, 1, 1);
        normal_ = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), ILC_MASK, 1, 1);
        HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
        ImageList_ReplaceIcon(small_, -1, icon);
        ImageList_ReplaceIcon(normal_, -1, icon);
        EXPECT_EQ(Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_)), 0);
        EXPECT_EQ(Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(normal_)), 0);
        EXPECT_EQ(Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_)),
                  reinterpret_cast<LRESULT>(small_))
            << "returns the list it replaces";
        testsupport::pumpFor(50);  // shown and active before any input
    }
    void TearDown() override {
        DestroyWindow(parent_);
        testsupport::settle();
    }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageA(list_, msg, wParam, lParam); }

    int InsertColumn(int index, int fmt, int width, const char* text, int subItem) {
        LVCOLUMNA col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = fmt;
        col.cx = width;
        col.pszText = const_cast<char*>(text);
        col.iSubItem = subItem;
        return int(Send(LVM_INSERTCOLUMNA, WPARAM(index), reinterpret_cast<LPARAM>(&col)));
    }
    // The player's three columns.
    void PlayerColumns() {
        ASSERT_EQ(InsertColumn(0, LVCFMT_LEFT, 60, "Track #", 1), 0);
        ASSERT_EQ(InsertColumn(1, LVCFMT_LEFT, 120, "Title", 2), 1);
        ASSERT_EQ(InsertColumn(2, LVCFMT_CENTER, 80, "Time", 3), 2);
    }
    int InsertRow(int index, const char* label, LPARAM param = 0) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = index;
        item.pszText = const_cast<char*>(label);
        item.lParam = param;
        return int(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    bool SetText(int row, int sub, const char* text) {
        LVITEMA item{};
        item.iSubItem = sub;
        item.pszText = const_cast<char*>(text);
        return Send(LVM_SETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item)) != 0;
    }
    std::string Text(int row, int sub = 0, int size = 64) {
        std::vector<char> buffer(size_t(size), 'x');
        LVITEMA item{};
        item.iSubItem = sub;
        item.pszText = buffer.data();
        item.cchTextMax = size;
        LRESULT n = Send(LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(size_t(n), std::string(buffer.data()).size()) << "returns the length it copied";
        return buffer.data();
    }
    void FillTracks(int count) {
        for (int i = 0; i < count; ++i) {
            std::string label = "Track " + std::to_string(i + 1);
            ASSERT_EQ(InsertRow(i, label.c_str(), 100 + i), i);
            SetText(i, 1, ("Title " + std::to_string(i + 1)).c_str());
            SetText(i, 2, "3:00");
        }
    }
    RECT ItemRect(int row, int code = LVIR_BOUNDS) {
        RECT r{};
        r.left = code;
        EXPECT_TRUE(Send(LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r))) << "row " << row;
        return r;
    }
    void SetView(DWORD view) {
        DWORD style = DWORD(GetWindowLongA(list_, GWL_STYLE));
        SetWindowLongA(list_, GWL_STYLE, LONG((style & ~LVS_TYPEMASK) | view));
        testsupport::settle();
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    // The label's edit control while an edit runs, else null.
    HWND Editor() { return reinterpret_cast<HWND>(Send(LVM_GETEDITCONTROL)); }
    static std::string TextOf(HWND hwnd) {
        char buffer[64] = "";
        GetWindowTextA(hwnd, buffer, sizeof buffer);
        return buffer;
    }

    HWND parent_ = nullptr;
    HWND list_ = nullptr;
    HIMAGELIST small_ = nullptr, normal_ = nullptr;
};

TEST_F(ListView, ColumnsKeepFormatWidthTextAndSubitem) {
    PlayerColumns();
    const struct {
        int fmt, cx;
        const char* text;
        int subItem;
    } expected[] = {{LVCFMT_LEFT, 60, "Track #", 1}, {LVCFMT_LEFT, 120, "Title", 2}, {LVCFMT_CENTER, 80, "Time", 3}};
    for (int i = 0; i < 3; ++i) {
        char text[32];
        std::memset(text, 'x', sizeof text);
        LVCOLUMNA col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.pszText = text;
        col.cchTextMax = sizeof text;
        ASSERT_TRUE(Send(LVM_GETCOLUMNA, WPARAM(i), reinterpret_cast<LPARAM>(&col))) << "column " << i;
        EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, expected[i].fmt) << "column " << i;
        EXPECT_EQ(col.cx, expected[i].cx) << "column " << i;
        EXPECT_STREQ(text, expected[i].text) << "column " << i;
        EXPECT_EQ(col.iSubItem, expected[i].subItem) << "column " << i;
    }
    // A text longer than the buffer is cut to fit, with its terminator.
    char small[4];
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = small;
    col.cchTextMax = sizeof small;
    ASSERT_TRUE(Send(LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&col)));
    EXPECT_STREQ(small, "Tit");
    EXPECT_FALSE(Send(LVM_GETCOLUMNA, 3, reinterpret_cast<LPARAM>(&col))) << "no fourth column";
    EXPECT_EQ(InsertColumn(9, LVCFMT_RIGHT, 40, "Extra", 4), 3) << "an index past the end appends";
}

TEST_F(ListView, ColumnWidthDependsOnTheView) {
    PlayerColumns();
    FillTracks(3);
    const struct {
        DWORD view;
        int widths[3];  // -1: the list view's one shared width
    } cases[] = {
        {LVS_REPORT, {60, 120, 80}}, {LVS_LIST, {-1, -1, -1}},    {LVS_ICON, {0, 0, 0}},
        {LVS_SMALLICON, {0, 0, 0}},  {LVS_REPORT, {60, 120, 80}},
    };
    for (const auto& c : cases) {
        SetView(c.view);
        EXPECT_EQ(GetWindowLongA(list_, GWL_STYLE) & LVS_TYPEMASK, LONG(c.view));
        const int shared = int(Send(LVM_GETCOLUMNWIDTH, 0));
        for (int i = 0; i < 3; ++i) {
            int width = int(Send(LVM_GETCOLUMNWIDTH, WPARAM(i)));
            if (c.widths[i] == -1) {
                EXPECT_GT(width, 0) << "view " << c.view;
                EXPECT_EQ(width, shared) << "view " << c.view << " column " << i;
            } else {
                EXPECT_EQ(width, c.widths[i]) << "view " << c.view << " column " << i;
            }
        }
    }
    SetView(LVS_LIST);
    EXPECT_TRUE(Send(LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(150, 0)));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Send(LVM_GETCOLUMNWIDTH, WPARAM(i)), 150) << "column " << i;
    SetView(LVS_REPORT);
    EXPECT_EQ(Send(LVM_GETCOLUMNWIDTH, 0), 60) << "the list view's width is its own";
    EXPECT_TRUE(Send(LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(90, 0)));
    EXPECT_EQ(Send(LVM_GETCOLUMNWIDTH, 1), 90);
}

TEST_F(ListView, TheFourViewsLayOutTheRowsAsWindowsDoes) {
    PlayerColumns();
    FillTracks(3);
    // Where row 1 lies from row 0: below it, or to its right.
    const struct {
        DWORD view;
        bool below;
    } cases[] = {{LVS_REPORT, true}, {LVS_LIST, true}, {LVS_SMALLICON, false}, {LVS_ICON, false}, {LVS_REPORT, true}};
    for (const auto& c : cases) {
        SetView(c.view);
        RECT r0 = ItemRect(0), r1 = ItemRect(1);
        if (c.below) {
            EXPECT_EQ(r1.left, r0.left) << "view " << c.view;
            EXPECT_GE(r1.top, r0.bottom) << "view " << c.view;
        } else {
            EXPECT_EQ(r1.top, r0.top) << "view " << c.view;
            EXPECT_GE(r1.left, r0.right) << "view " << c.view;
        }
        RECT icon = ItemRect(0, LVIR_ICON);
        const int side = c.view == LVS_ICON ? GetSystemMetrics(SM_CXICON) : GetSystemMetrics(SM_CXSMICON);
        EXPECT_GE(icon.right - icon.left, side) << "view " << c.view << ": the image list's icon is shown";
    }
    SetView(LVS_REPORT);
    RECT bounds = ItemRect(0), label = ItemRect(0, LVIR_LABEL);
    EXPECT_EQ(bounds.right - bounds.left, 60 + 120 + 80) << "a report row spans its columns";
    EXPECT_LT(label.right, bounds.right) << "the label is the first column's";
}

TEST_F(ListView, RowsAndSubitemTexts) {
    PlayerColumns();
    EXPECT_EQ(Send(LVM_GETITEMCOUNT), 0);
    const struct {
        int index;
        const char* label;
        int result;
    } inserts[] = {
        {0, "B", 0},  {1, "D", 1}, {1, "C", 1},  // in between
        {0, "A", 0},                             // in front
        {99, "E", 4},                            // past the end: appended
    };
    for (const auto& c : inserts) EXPECT_EQ(InsertRow(c.index, c.label), c.result) << c.label;
    EXPECT_EQ(Send(LVM_GETITEMCOUNT), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Text(i), std::string(1, char('A' + i)));

    LVITEMA sub{};
    sub.mask = LVIF_TEXT;
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>("subitem");
    EXPECT_EQ(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&sub)), -1) << "rows are inserted, never subitems";

    const struct {
        int row, sub;
        const char* text;
        bool result;
    } sets[] = {
        {0, 1, "Unknown", true}, {0, 2, "4:33", true},    {4, 2, "0:59", true},
        {2, 0, "Track 3", true}, {5, 1, "no row", false}, {0, 3, "no column", false},
    };
    for (const auto& c : sets) EXPECT_EQ(SetText(c.row, c.sub, c.text), c.result) << c.text;
    EXPECT_EQ(Text(0, 1), "Unknown");
    EXPECT_EQ(Text(0, 2), "4:33");
    EXPECT_EQ(Text(4, 2), "0:59");
    EXPECT_EQ(Text(2), "Track 3");
    EXPECT_EQ(Text(1, 1), "") << "a subitem never set is empty";
    // cchTextMax counts the terminator (Microsoft's LVITEM page); Wine fills the
    // buffer and writes the terminator past its end.
    if (!testsupport::wineDeparts("a subitem text cut to the buffer loses its terminator")) {
        EXPECT_EQ(Text(0, 1, 4), "Unk") << "cut to the buffer";
    }

    LVITEMA get{};
    get.mask = LVIF_PARAM | LVIF_IMAGE;
    get.iItem = 0;
    InsertRow(0, "with param", 4242);
    ASSERT_TRUE(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&get)));
    EXPECT_EQ(get.lParam, 4242);
    EXPECT_EQ(get.iImage, 0);

    EXPECT_TRUE(Send(LVM_DELETEITEM, 0));
    EXPECT_EQ(Text(0), "A");
    EXPECT_FALSE(Send(LVM_DELETEITEM, 9));
    EXPECT_EQ(Send(LVM_GETITEMCOUNT), 5);
    EXPECT_EQ(Send(LVM_DELETEALLITEMS), TRUE);
    EXPECT_EQ(Send(LVM_GETITEMCOUNT), 0);
    EXPECT_EQ(InsertRow(3, "again"), 0) << "an empty list appends at 0";
}

TEST_F(ListView, HitTestFindsTheRowUnderAPoint) {
    PlayerColumns();
    FillTracks(4);
    RECT r1 = ItemRect(1), last = ItemRect(3), client;
    GetClientRect(list_, &client);
    // In the report view a row is hit on its first column only, unless
    // LVS_EX_FULLROWSELECT: Wine's tests record Windows answering -1 and
    // LVHT_NOWHERE for a point on a subitem.
    const struct {
        POINT pt;
        int result;
        UINT flags;  // flags that must be set
    } cases[] = {
        {Centre(ItemRect(1, LVIR_LABEL)), 1, LVHT_ONITEMLABEL},
        {POINT{r1.left + 70, r1.top + 2}, -1, LVHT_NOWHERE},  // in the title column
        {Centre(r1), -1, LVHT_NOWHERE},                       // the row's middle, in the title column too
        {Centre(ItemRect(2, LVIR_ICON)), 2, LVHT_ONITEMICON},
        {POINT{20, last.bottom + 10}, -1, LVHT_NOWHERE},  // below the last row
        {POINT{20, client.bottom + 10}, -1, LVHT_BELOW},  // below the control
    };
    for (const auto& c : cases) {
        LVHITTESTINFO info{};
        info.pt = c.pt;
        EXPECT_EQ(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), c.result) << c.pt.x << "," << c.pt.y;
        EXPECT_EQ(info.iItem, c.result);
        EXPECT_EQ(info.flags & c.flags, c.flags) << c.pt.x << "," << c.pt.y;
    }
}

TEST_F(ListView, SelectionThroughItemState) {
    PlayerColumns();
    FillTracks(4);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), -1);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_ALL), 0);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, 1, LVNI_ALL), 2);
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    EXPECT_TRUE(Send(LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state)));
    EXPECT_EQ(Send(LVM_GETITEMSTATE, 2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(Send(LVM_GETITEMSTATE, 1, LVIS_SELECTED), 0);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 2);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, 2, LVNI_SELECTED), -1);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED), 2);
    state.stateMask = LVIS_SELECTED;
    state.state = 0;
    Send(LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), -1);
    EXPECT_TRUE(Send(LVM_ENSUREVISIBLE, 3, FALSE));
}

TEST_F(ListView, ClicksReachTheParentWithTheRowHit) {
    PlayerColumns();
    FillTracks(3);
    const POINT onRow1 = Centre(ItemRect(1, LVIR_LABEL));
    const POINT below{20, ItemRect(2).bottom + 20};

    testsupport::click(list_, onRow1);
    ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK}));
    EXPECT_EQ(g_notices[0].from, list_);
    EXPECT_EQ(g_notices[0].id, 7u);
    EXPECT_EQ(g_notices[0].item, 1);
    EXPECT_EQ(g_notices[0].pt.x, onRow1.x);
    EXPECT_EQ(g_notices[0].pt.y, onRow1.y);
    EXPECT_EQ(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 1) << "the click selects the row";

    // A double click: the first click, then the double click; its release says nothing.
    testsupport::pumpFor(PastADoubleClick());
    g_notices.clear();
    testsupport::doubleClick(list_, onRow1);
    ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, NM_DBLCLK}));
    EXPECT_EQ(g_notices[1].item, 1);
    EXPECT_EQ(g_notices[1].from, list_);

    testsupport::pumpFor(PastADoubleClick());
    g_notices.clear();
    testsupport::click(list_, below);
    testsupport::click(list_, below, testsupport::Button::Right);
    ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, NM_RCLICK}));
    EXPECT_EQ(g_notices[0].item, -1) << "no row under the click";
    EXPECT_EQ(g_notices[1].item, -1);
}

TEST_F(ListView, AParentThatDestroysTheListOnAClickIsSafe) {
    PlayerColumns();
    FillTracks(2);
    g_destroyOnClick = true;
    testsupport::click(list_, Centre(ItemRect(0)));
    EXPECT_FALSE(IsWindow(list_));
    testsupport::settle();
}

TEST_F(ListView, TheParentDecidesWhetherAnEditedLabelIsKept) {
    PlayerColumns();
    FillTracks(2);
    const struct {
        LRESULT begin;  // the answer to LVN_BEGINLABELEDIT
        bool commit;    // Enter (else Escape)
        LRESULT end;    // the answer to LVN_ENDLABELEDIT
        const char* after;
    } cases[] = {
        {FALSE, true, TRUE, "Renamed"},   // accepted
        {FALSE, true, FALSE, "Track 1"},  // refused at the end, as the player does
        {FALSE, false, TRUE, "Track 1"},  // cancelled
        {TRUE, true, TRUE, "Track 1"},    // refused at the start
    };
    for (const auto& c : cases) {
        SetText(0, 0, "Track 1");
        g_notices.clear();
        g_beginAnswer = c.begin;
        g_endAnswer = c.end;
        SetFocus(list_);
        LRESULT started = Send(LVM_EDITLABELA, 0);
        ASSERT_FALSE(g_notices.empty());
        EXPECT_EQ(g_notices[0].code, LVN_BEGINLABELEDITA);
        EXPECT_EQ(g_notices[0].item, 0);
        EXPECT_EQ(g_notices[0].text, "Track 1");
        if (c.begin) {
            EXPECT_EQ(started, 0) << "a refused edit never starts";
            EXPECT_EQ(Editor(), nullptr);
            EXPECT_EQ(Codes(), (std::vector<UINT>{LVN_BEGINLABELEDITA}));
        } else {
            HWND editor = Editor();
            ASSERT_NE(editor, nullptr);
            EXPECT_EQ(started, reinterpret_cast<LRESULT>(editor)) << "the edit control is the answer";
            EXPECT_EQ(TextOf(editor), "Track 1");
            SetWindowTextA(editor, "Renamed");
            testsupport::pressKey(c.commit ? VK_RETURN : VK_ESCAPE);
            testsupport::pumpFor(50);
            ASSERT_EQ(Codes(), (std::vector<UINT>{LVN_BEGINLABELEDITA, LVN_ENDLABELEDITA}));
            EXPECT_EQ(g_notices[1].item, 0);
            EXPECT_EQ(g_notices[1].hasText, c.commit) << "a cancelled edit ends with no text";
            if (c.commit) {
                EXPECT_EQ(g_notices[1].text, "Renamed");
            }
            EXPECT_FALSE(IsWindow(editor)) << "the edit control goes with the edit";
        }
        EXPECT_EQ(Text(0), c.after);
        testsupport::pumpFor(10);
    }
}

TEST_F(ListView, ClickingASelectedLabelStartsAnEditAfterTheDoubleClickTime) {
    PlayerColumns();
    FillTracks(2);
    SetFocus(list_);
    const POINT label = Centre(ItemRect(0, LVIR_LABEL));
    testsupport::click(list_, label);  // selects
    testsupport::pumpFor(PastADoubleClick());
    ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK})) << "a click on an unselected row only selects it";
    g_notices.clear();
    testsupport::click(list_, label);  // on the selected label
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK})) << "the edit waits out a possible double click";
    testsupport::pumpFor(PastADoubleClick());
    ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, LVN_BEGINLABELEDITA}));
    ASSERT_NE(Editor(), nullptr);
    testsupport::pressKey(VK_ESCAPE);
    EXPECT_EQ(Codes().back(), LVN_ENDLABELEDITA);

    // A double click on the selected label is no edit: the player plays the track.
    testsupport::pumpFor(PastADoubleClick());
    g_notices.clear();
    testsupport::doubleClick(list_, label);
    testsupport::pumpFor(PastADoubleClick());
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, NM_DBLCLK}));
    EXPECT_EQ(Editor(), nullptr);

    // F2 is the parent's to act on (it comes as LVN_KEYDOWN): the list view
    // itself starts an edit only on a click, or on LVM_EDITLABEL.
    g_notices.clear();
    testsupport::pressKey(VK_F2);
    testsupport::pumpFor(PastADoubleClick());
    EXPECT_EQ(Codes(), (std::vector<UINT>{}));
    EXPECT_EQ(Editor(), nullptr);

    // Without LVS_EDITLABELS nothing starts.
    SetWindowLongA(list_, GWL_STYLE, GetWindowLongA(list_, GWL_STYLE) & ~LVS_EDITLABELS);
    g_notices.clear();
    testsupport::click(list_, label);
    testsupport::pumpFor(PastADoubleClick());
    testsupport::pressKey(VK_F2);
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK}));
}

}  // namespace
