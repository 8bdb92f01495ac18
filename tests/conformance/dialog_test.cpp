// The dialog manager as Windows runs it: dialogs built from the program's three
// templates, the order of creation and where the controls land. The modal loop,
// the dialog keys and the default dialog procedure: dialog_modal_test.cpp.
#include <windows.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "test_support.h"

namespace {

// Windows' GetDlgItem sets ERROR_CONTROL_ID_NOT_FOUND for a missing control
// (other reimplementations of user32 record it as checked on NT); Wine's sets no
// error at all.
constexpr const char* kWineNoControlError = "GetDlgItem of a missing control leaves the last error alone";

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

std::string TextOf(HWND hwnd) {
    char buffer[256] = "";
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND hwnd) {
    char buffer[64] = "";
    GetClassNameA(hwnd, buffer, sizeof buffer);
    for (char* c = buffer; *c; ++c) *c = char(std::tolower(static_cast<unsigned char>(*c)));
    return buffer;
}

// The template's controls without an identifier, in template order: each found one
// is given a scratch identifier so that the next GetDlgItem(-1) finds the next.
std::vector<HWND> Unnamed(HWND dialog) {
    std::vector<HWND> found;
    while (HWND label = GetDlgItem(dialog, -1)) {
        found.push_back(label);
        SetWindowLongA(label, GWL_ID, LONG(9000 + found.size()));
    }
    return found;
}

// ---------------------------------------------------------------------------
// IDD_MAIN under the program's own class

struct MainLog {
    std::vector<UINT> order;  // WM_CREATE and WM_INITDIALOG as they came
    HWND playInCreate = reinterpret_cast<HWND>(1);
    DWORD errorInCreate = 0;
    WPARAM initFocus = 0;
    HWND playAtInit = nullptr;
} g_main;

LRESULT CALLBACK VarnelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        g_main.order.push_back(msg);
        SetLastError(0);
        g_main.playInCreate = GetDlgItem(hwnd, IDC_PLAY);
        g_main.errorInCreate = GetLastError();
    } else if (msg == WM_INITDIALOG) {
        g_main.order.push_back(msg);
        g_main.initFocus = wParam;
        g_main.playAtInit = GetDlgItem(hwnd, IDC_PLAY);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Windows sends WM_INITDIALOG only to a dialog that has a dialog procedure. The
// message goes to the window, so the class procedure gets it; as that one never
// calls DefDlgProc, this procedure is never called.
INT_PTR CALLBACK MainDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

class MainTemplate : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = VarnelProc;
            wc.cbWndExtra = DLGWINDOWEXTRA;
            wc.hInstance = Module();
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = "Varnel";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        g_main = MainLog{};
        dialog = CreateDialogParamA(Module(), MAKEINTRESOURCE(IDD_MAIN), nullptr, MainDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override { DestroyWindow(dialog); }
    HWND dialog = nullptr;
};

TEST_F(MainTemplate, RunsTheClassProcedureAndGetsWmCreateBeforeAnyControl) {
    EXPECT_EQ(ClassOf(dialog), "varnel");
    EXPECT_EQ(TextOf(dialog), "Varnel");
    ASSERT_EQ(g_main.order, (std::vector<UINT>{WM_CREATE, WM_INITDIALOG}));
    EXPECT_EQ(g_main.playInCreate, nullptr);
    if (!testsupport::wineDeparts(kWineNoControlError)) {
        EXPECT_EQ(g_main.errorInCreate, DWORD(ERROR_CONTROL_ID_NOT_FOUND));
    }
    // WM_INITDIALOG comes with every control made; its wParam is the first tab stop.
    EXPECT_NE(g_main.playAtInit, nullptr);
    EXPECT_EQ(reinterpret_cast<HWND>(g_main.initFocus), GetDlgItem(dialog, IDC_PLAY));
    // The template's WS_VISIBLE shows the window once it is built.
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(MainTemplate, WithoutADialogProcedureThereIsNoWmInitDialog) {
    // The player makes its main window this way.
    DestroyWindow(dialog);
    g_main = MainLog{};
    dialog = CreateDialogParamA(Module(), MAKEINTRESOURCE(IDD_MAIN), nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_main.order, (std::vector<UINT>{WM_CREATE}));
    EXPECT_NE(GetDlgItem(dialog, IDC_PLAY), nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
}

// The pixels of a template's x, y, cx and cy: each turned on its own, as
// MapDialogRect turns a coordinate, so that a control's width is not the
// difference of its mapped edges. The base units come from the dialog's font,
// which differs between systems; the arithmetic does not.
RECT TemplatePixels(HWND dialog, int x, int y, int cx, int cy) {
    RECT r{x, y, cx, cy};
    EXPECT_TRUE(MapDialogRect(dialog, &r));
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

TEST_F(MainTemplate, ControlsSitWhereTheirDialogUnitsSay) {
    // The template's 305 x 150 units are the client area, below the class menu if any.
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT size = TemplatePixels(dialog, 0, 0, 305, 150);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    struct Case {
        int id;  // -1: the n-th control without identifier
        int unnamed;
        const char* cls;
        const char* text;
        RECT units;  // x, y, cx, cy as the template has them
        DWORD style;
    } cases[] = {
        // Halves on every side at base units of 6 x 13: Play's x and cx are 370.5 and 76.5 pixels there.
        {IDC_PLAY, 0, "button", "Play", {247, 13, 51, 14}, 0x50010001},
        {-1, 0, "static", "Title:", {27, 33, 20, 9}, 0x50020000},
        {-1, 1, "static", "Composer", {12, 13, 36, 11}, 0x50020000},
        {IDC_COMPOSER, 0, "static", "", {53, 13, 177, 13}, 0x50021000},
        {IDC_ALBUM, 0, "static", "", {53, 32, 178, 12}, 0x50021000},
        {IDC_EJECT, 0, "button", "Eject", {247, 49, 51, 14}, 0x50010000},
        {-1, 2, "static", "Disc ID:", {20, 51, 30, 9}, 0x50020000},
        {IDC_DISC_ID, 0, "static", "", {54, 49, 53, 13}, 0x50021000},
        {IDC_PAUSE, 0, "button", "Pause", {247, 31, 51, 14}, 0x58010000},
    };
    const std::vector<HWND> labels = Unnamed(dialog);
    ASSERT_EQ(labels.size(), 3u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HWND control = c.id == -1 ? labels[size_t(c.unnamed)] : GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), c.cls);
        EXPECT_EQ(TextOf(control), c.text);
        EXPECT_EQ(DWORD(GetWindowLongA(control, GWL_STYLE)), c.style);
        RECT r{};
        GetWindowRect(control, &r);
        POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
        ScreenToClient(dialog, &topLeft);
        ScreenToClient(dialog, &bottomRight);
        const RECT pixels = TemplatePixels(dialog, c.units.left, c.units.top, c.units.right, c.units.bottom);
        EXPECT_EQ(topLeft.x, pixels.left);
        EXPECT_EQ(topLeft.y, pixels.top);
        EXPECT_EQ(bottomRight.x, pixels.right);
        EXPECT_EQ(bottomRight.y, pixels.bottom);
    }
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_PAUSE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EJECT)));
}

TEST(MapDialogRect, RoundsEachCoordinateHalfAwayFromZero) {
    HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCE(IDD_DRIVE), nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    // The font's base units are what 4 x 8 dialog units come to; they differ
    // between systems (6 x 13 under winshim, 7 x 13 under Wine), the rounding
    // does not. The cases meet halves at either width.
    RECT unit{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dialog, &unit));
    const double perX = unit.right / 4.0, perY = unit.bottom / 8.0;
    const RECT cases[] = {
        {1, 1, 3, 3},     // 1.5 and 4.5 at a width of 6
        {-1, -1, 2, 4},   // -1.5 at a width of 6; 6.5 at an odd height
        {-2, -4, 2, -3},  // -3.5 and 3.5 at a width of 7; -6.5 at an odd height
        {153, 63, 247, 150},
    };
    for (const RECT& units : cases) {
        SCOPED_TRACE(std::to_string(units.left) + "," + std::to_string(units.top));
        RECT r = units;
        ASSERT_TRUE(MapDialogRect(dialog, &r));
        EXPECT_EQ(r.left, std::lround(units.left * perX));
        EXPECT_EQ(r.top, std::lround(units.top * perY));
        EXPECT_EQ(r.right, std::lround(units.right * perX));
        EXPECT_EQ(r.bottom, std::lround(units.bottom * perY));
    }
    DestroyWindow(dialog);
}

// ---------------------------------------------------------------------------
// The two modal templates, built whole

INT_PTR CALLBACK QuietProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG;
}

TEST(DialogTemplates, BuildEveryControlWithItsClassTextAndStyle) {
    struct Control {
        int id;  // -1: the next control without identifier
        const char* cls;
        const char* text;
        DWORD style;
    };
    struct Case {
        int templateId;
        const char* caption;
        std::vector<Control> controls;
    } cases[] = {
        {IDD_DRIVE,
         "Drive",
         {
             {-1, "static", "Select Drive :", 0x50020000},
             {IDC_DRIVE_LIST, "combobox", "", 0x50010103},
         }},
        {IDD_LIST_EDITOR,
         "List Editor",
         {
             {IDC_SAVE, "button", "Save", 0x50010001},
             {IDC_CLOSE, "button", "Close", 0x50010000},
             {-1, "static", "Disc ID :", 0x50020000},
             {IDC_DISC_ID, "static", "Static", 0x50021000},
             {-1, "static", "Composer :", 0x50020000},
             {-1, "static", "Title / Album :", 0x50020000},
             {IDC_EDIT_COMPOSER, "edit", "", 0x50810080},
             {IDC_EDIT_ALBUM, "edit", "", 0x50810080},
             {-1, "static", "Tracks :", 0x50020000},
             {IDC_TRACK_COUNT, "static", "Static", 0x50021000},
             {-1, "static", "Title :", 0x50020000},
             {IDC_EDIT_TRACK, "edit", "", 0x50810080},
             {IDC_TITLE_LIST, "listbox", "", 0x50A10103},
             {IDC_ADD, "button", "Add", 0x50010000},
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCE(c.templateId), nullptr, QuietProc, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ClassOf(dialog), "#32770");
        EXPECT_EQ(TextOf(dialog), c.caption);
        EXPECT_FALSE(IsWindowVisible(dialog)) << "the template has no WS_VISIBLE";
        const std::vector<HWND> unnamed = Unnamed(dialog);
        size_t nextUnnamed = 0;
        for (const Control& control : c.controls) {
            SCOPED_TRACE(control.text);
            HWND hwnd = control.id == -1 ? (nextUnnamed < unnamed.size() ? unnamed[nextUnnamed++] : nullptr)
                                         : GetDlgItem(dialog, control.id);
            ASSERT_NE(hwnd, nullptr);
            EXPECT_EQ(ClassOf(hwnd), control.cls);
            EXPECT_EQ(TextOf(hwnd), control.text);
            const DWORD style = DWORD(GetWindowLongA(hwnd, GWL_STYLE));
            // A dialog may draw a control's border as a client edge (its
            // three-dimensional look), and a list box shows its scroll bar, and so
            // WS_VSCROLL, only while its items need it.
            DWORD loose = WS_BORDER;
            if (control.cls == std::string("listbox")) loose |= WS_VSCROLL;
            EXPECT_EQ(style & ~loose, control.style & ~loose);
            if (control.style & WS_BORDER) {
                EXPECT_TRUE((style & WS_BORDER) || (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
            }
            EXPECT_EQ(GetParent(hwnd), dialog);
        }
        EXPECT_EQ(nextUnnamed, unnamed.size()) << "controls the table does not know";
        DestroyWindow(dialog);
    }
}
}  // namespace
