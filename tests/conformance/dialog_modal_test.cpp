// The dialog manager as Windows runs it: the modal loop and its results, the
// dialog keys and the default dialog procedure, over the program's templates.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "input.h"
#include "test_support.h"

namespace {

// Windows' GetDlgItem sets ERROR_CONTROL_ID_NOT_FOUND for a missing control
// (other reimplementations of user32 record it as checked on NT); Wine's sets no
// error at all.
constexpr const char* kWineNoControlError = "GetDlgItem of a missing control leaves the last error alone";

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

// ---------------------------------------------------------------------------
// The modal loop

struct ModalLog {
    enum class End { InInit, Posted, FromTimer, Never } end = End::Never;
    INT_PTR value = 0;
    std::vector<std::pair<WORD, LPARAM>> commands;  // (id, lParam) of WM_COMMAND
    std::vector<UINT> seen;
    int focusAtStart = 0;  // control id
} g_modal;

constexpr UINT kEndNow = WM_APP + 1;

INT_PTR CALLBACK ModalProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_modal.seen.push_back(msg);
    switch (msg) {
    case WM_INITDIALOG:
        if (g_modal.end == ModalLog::End::InInit) EndDialog(dialog, g_modal.value);
        if (g_modal.end == ModalLog::End::Posted) PostMessageA(dialog, kEndNow, 0, 0);
        if (g_modal.end == ModalLog::End::FromTimer) SetTimer(dialog, 5, 30, nullptr);
        return TRUE;
    case WM_TIMER:
    case kEndNow:
        EndDialog(dialog, g_modal.value);
        return TRUE;
    case WM_COMMAND:
        // Clicks only: the combo box tells of its focus (CBN_SETFOCUS, ...) too.
        if (HIWORD(wParam) != BN_CLICKED) return TRUE;
        g_modal.commands.emplace_back(LOWORD(wParam), lParam);
        if (LOWORD(wParam) == IDCANCEL && g_modal.end == ModalLog::End::Never) EndDialog(dialog, 99);
        return TRUE;
    }
    return FALSE;
}

TEST(DialogBoxParamA, ReturnsTheValueGivenToEndDialog) {
    struct Case {
        ModalLog::End end;
        INT_PTR value;
    } cases[] = {
        {ModalLog::End::InInit, 7},
        {ModalLog::End::Posted, 42},
        {ModalLog::End::FromTimer, -5},
    };
    for (const Case& c : cases) {
        g_modal = ModalLog{};
        g_modal.end = c.end;
        g_modal.value = c.value;
        EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCE(IDD_DRIVE), nullptr, ModalProc, 0), c.value);
    }
    EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCE(999), nullptr, ModalProc, 0), -1) << "no such template";
}

TEST(DialogBoxParamA, CloseBoxOfADialogThatIgnoresWmCloseClicksCancel) {
    g_modal = ModalLog{};
    struct Closer {
        static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_INITDIALOG) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            return ModalProc(dialog, msg, wParam, lParam);
        }
    };
    EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCE(IDD_DRIVE), nullptr, Closer::Proc, 0), 99);
    ASSERT_EQ(g_modal.commands.size(), 1u);
    EXPECT_EQ(g_modal.commands[0], (std::pair<WORD, LPARAM>{IDCANCEL, 0}));
    EXPECT_NE(std::find(g_modal.seen.begin(), g_modal.seen.end(), UINT(WM_CLOSE)), g_modal.seen.end());
}

// The owner of a modal dialog: its timer goes on, and it is disabled meanwhile.
struct OwnerLog {
    int ticks = 0;
    bool enabledDuringDialog = true;
    HWND dialog = nullptr;
    POINT dialogOrigin{}, ownerOrigin{};
    RECT dialogClient{};
    RECT templateSize{0, 0, 153, 63};  // IDD_DRIVE's size in dialog units, then in pixels
} g_owner;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && ++g_owner.ticks == 3 && g_owner.dialog) {
        g_owner.enabledDuringDialog = IsWindowEnabled(hwnd);
        EndDialog(g_owner.dialog, 3);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK OwnedProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG) return FALSE;
    g_owner.dialog = dialog;
    ClientToScreen(dialog, &g_owner.dialogOrigin);
    ClientToScreen(GetParent(dialog), &g_owner.ownerOrigin);
    GetClientRect(dialog, &g_owner.dialogClient);
    MapDialogRect(dialog, &g_owner.templateSize);
    return TRUE;
}

TEST(DialogBoxParamA, OwnerKeepsItsTimerAndIsDisabledWhileTheDialogRuns) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = Module();
    wc.lpszClassName = "DialogOwner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, "DialogOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 500, 400, nullptr,
                                 nullptr, Module(), nullptr);
    ASSERT_NE(owner, nullptr);
    g_owner = OwnerLog{};
    SetTimer(owner, 1, 20, nullptr);
    EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCE(IDD_DRIVE), owner, OwnedProc, 0), 3);
    EXPECT_GE(g_owner.ticks, 3);
    EXPECT_FALSE(g_owner.enabledDuringDialog);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(g_owner.dialog));
    // No DS_CENTER: the template's (0, 0) is the owner's client origin.
    EXPECT_EQ(g_owner.dialogOrigin.x, g_owner.ownerOrigin.x);
    EXPECT_EQ(g_owner.dialogOrigin.y, g_owner.ownerOrigin.y);
    // The template's size is the client area's.
    EXPECT_EQ(g_owner.dialogClient.right, g_owner.templateSize.right);
    EXPECT_EQ(g_owner.dialogClient.bottom, g_owner.templateSize.bottom);
    KillTimer(owner, 1);
    DestroyWindow(owner);
}

// ---------------------------------------------------------------------------
// Dialog keys

struct KeyStep {
    UINT vk;
    bool shift;
    WORD command;      // id of the click the dialog procedure gets, 0 for none
    int focusAfter;    // control id that has the focus afterwards, 0 to skip
    int dropDown = 0;  // a combo box whose list is dropped down before the key
};
std::vector<KeyStep> g_steps;
std::vector<std::string> g_keyFailures;

// Presses the keys once the dialog is up and active.
INT_PTR CALLBACK KeyProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        for (const char* drive : {"d:", "e:"})
            SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_ADDSTRING, 0, LPARAM(drive));
        SetTimer(dialog, 1, 50, nullptr);
        return TRUE;
    }
    if (msg == WM_TIMER) {
        KillTimer(dialog, 1);
        int n = 0;
        for (const KeyStep& step : g_steps) {
            if (step.dropDown) SendDlgItemMessageA(dialog, step.dropDown, CB_SHOWDROPDOWN, TRUE, 0);
            const size_t before = g_modal.commands.size();
            testsupport::pressDialogKey(step.vk, step.shift);
            if (step.dropDown && SendDlgItemMessageA(dialog, step.dropDown, CB_GETDROPPEDSTATE, 0, 0))
                g_keyFailures.push_back("the key did not close the list");
            const std::string where = "step " + std::to_string(n++);
            const WORD got = g_modal.commands.size() > before ? g_modal.commands.back().first : 0;
            if (got != step.command)
                g_keyFailures.push_back(where + ": command " + std::to_string(got) + ", wanted " +
                                        std::to_string(step.command));
            if (step.focusAfter && GetFocus() != GetDlgItem(dialog, step.focusAfter))
                g_keyFailures.push_back(where + ": focus is not on " + std::to_string(step.focusAfter));
        }
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        // Clicks only: a combo box's own notifications are not what a key made.
        if (HIWORD(wParam) == BN_CLICKED) g_modal.commands.emplace_back(LOWORD(wParam), lParam);
        return FALSE;  // like the program's procedures: IDOK and IDCANCEL are not handled
    }
    return FALSE;
}

TEST(DialogKeys, EnterEscapeAndTabAsIsDialogMessageHasThem) {
    struct Case {
        int templateId;
        int firstFocus;
        std::vector<KeyStep> steps;
    } cases[] = {
        // No buttons at all: Enter is IDOK and Escape IDCANCEL, and the dialog stays.
        {IDD_DRIVE,
         IDC_DRIVE_LIST,
         {{VK_RETURN, false, IDOK, IDC_DRIVE_LIST},
          {VK_ESCAPE, false, IDCANCEL, IDC_DRIVE_LIST},
          {VK_TAB, false, 0, IDC_DRIVE_LIST},
          // While the list is down, Enter and Escape are the list's.
          {VK_ESCAPE, false, 0, IDC_DRIVE_LIST, IDC_DRIVE_LIST},
          {VK_RETURN, false, 0, IDC_DRIVE_LIST, IDC_DRIVE_LIST}}},
        // A focused push button is the one Enter presses; elsewhere the default one.
        {IDD_LIST_EDITOR,
         IDC_SAVE,
         {{VK_RETURN, false, IDC_SAVE, IDC_SAVE},
          {VK_TAB, false, 0, IDC_CLOSE},
          {VK_RETURN, false, IDC_CLOSE, IDC_CLOSE},
          {VK_TAB, false, 0, IDC_EDIT_COMPOSER},
          {VK_RETURN, false, IDC_SAVE, IDC_EDIT_COMPOSER},
          {VK_ESCAPE, false, IDCANCEL, IDC_EDIT_COMPOSER},
          // Shift+Tab goes back, from the first tab stop round to the last.
          {VK_TAB, true, 0, IDC_CLOSE},
          {VK_TAB, true, 0, IDC_SAVE},
          {VK_TAB, true, 0, IDC_ADD}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.templateId);
        g_modal = ModalLog{};
        g_steps = c.steps;
        g_keyFailures.clear();
        struct First {
            static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
                if (msg == WM_TIMER) g_modal.focusAtStart = GetDlgCtrlID(GetFocus());
                return KeyProc(dialog, msg, wParam, lParam);
            }
        };
        EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCE(c.templateId), nullptr, First::Proc, 0), 0);
        EXPECT_EQ(g_modal.focusAtStart, c.firstFocus) << "WM_INITDIALOG's TRUE focuses the first tab stop";
        for (const std::string& failure : g_keyFailures) ADD_FAILURE() << failure;
        // Without IDOK and IDCANCEL controls the commands carry no control handle.
        for (auto& [id, lParam] : g_modal.commands) {
            if (id == IDOK || id == IDCANCEL) {
                EXPECT_EQ(lParam, 0);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Default dialog procedure and the item functions

constexpr UINT kAsk = WM_APP + 2;

INT_PTR CALLBACK AnsweringProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == kAsk) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1234);
        return TRUE;
    }
    return FALSE;
}

TEST(DefDlgProcA, DefaultButtonMessageResultAndItems) {
    HWND editor = CreateDialogParamA(Module(), MAKEINTRESOURCE(IDD_LIST_EDITOR), nullptr, AnsweringProc, 0);
    HWND drive = CreateDialogParamA(Module(), MAKEINTRESOURCE(IDD_DRIVE), nullptr, AnsweringProc, 0);
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(drive, nullptr);

    EXPECT_EQ(SendMessageA(editor, kAsk, 0, 0), 1234) << "DWLP_MSGRESULT is the answer of a handled message";
    EXPECT_EQ(SendMessageA(editor, DM_GETDEFID, 0, 0), MAKELONG(IDC_SAVE, DC_HASDEFID));
    // Without a default push button, DM_GETDEFID names no control of the dialog.
    EXPECT_EQ(GetDlgItem(drive, LOWORD(SendMessageA(drive, DM_GETDEFID, 0, 0))), nullptr);
    EXPECT_EQ(SendMessageA(editor, DM_SETDEFID, IDC_CLOSE, 0), TRUE);
    EXPECT_EQ(SendMessageA(editor, DM_GETDEFID, 0, 0), MAKELONG(IDC_CLOSE, DC_HASDEFID));
    EXPECT_EQ(GetWindowLongA(GetDlgItem(editor, IDC_CLOSE), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(editor, IDC_SAVE), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

    HWND save = GetDlgItem(editor, IDC_SAVE);
    EXPECT_EQ(GetDlgCtrlID(save), IDC_SAVE);
    EXPECT_EQ(GetDlgCtrlID(editor), 0) << "a top-level window has no control id";
    SetLastError(0);
    EXPECT_EQ(GetDlgItem(editor, 4242), nullptr);
    if (!testsupport::wineDeparts(kWineNoControlError)) {
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));
    }
    EXPECT_EQ(GetDlgItem(drive, IDC_SAVE), nullptr) << "items belong to their own dialog";

    EXPECT_TRUE(SetDlgItemTextA(editor, IDC_EDIT_TRACK, "Overture"));
    char text[16];
    EXPECT_EQ(GetDlgItemTextA(editor, IDC_EDIT_TRACK, text, sizeof text), 8u);
    EXPECT_STREQ(text, "Overture");
    EXPECT_EQ(GetDlgItemTextA(editor, IDC_EDIT_TRACK, text, 5), 4u) << "cut to the buffer";
    EXPECT_STREQ(text, "Over");
    std::strcpy(text, "junk");
    EXPECT_EQ(GetDlgItemTextA(editor, 4242, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(SetDlgItemTextA(editor, 4242, "x"));
    EXPECT_EQ(SendDlgItemMessageA(editor, IDC_TITLE_LIST, LB_ADDSTRING, 0, LPARAM("row")), 0);
    EXPECT_EQ(SendDlgItemMessageA(editor, IDC_TITLE_LIST, LB_GETCOUNT, 0, 0), 1);

    DestroyWindow(editor);
    DestroyWindow(drive);
}
}  // namespace
