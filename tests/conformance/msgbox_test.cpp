// MessageBoxA: the button the user presses is the answer, Escape answers as
// Windows does, and the owner is disabled but keeps receiving its timer while the
// box is up. The box is found and pressed from the owner's timer, as a user would.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "input.h"
#include "test_support.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

struct Owner {
    int ticks = 0;
    int pressAt = 3;  // the tick on which the user acts
    bool enabledWhileUp = true;
    std::string caption, text;
    bool shown = false;
    std::function<void()> act;
} g_owner;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && ++g_owner.ticks == g_owner.pressAt) {
        g_owner.enabledWhileUp = IsWindowEnabled(hwnd);
        g_owner.shown = testsupport::shownMessageBox(g_owner.caption, g_owner.text);
        if (g_owner.shown) g_owner.act();
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = OwnerProc;
            wc.hInstance = Module();
            wc.lpszClassName = "BoxOwner";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        owner = CreateWindowExA(0, "BoxOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300, 200, nullptr,
                                nullptr, Module(), nullptr);
        ASSERT_NE(owner, nullptr);
        g_owner = Owner{};
        SetTimer(owner, 1, 20, nullptr);
    }
    void TearDown() override {
        KillTimer(owner, 1);
        DestroyWindow(owner);
    }
    HWND owner = nullptr;
};

std::function<void()> Press(int id) {
    return [id] { EXPECT_TRUE(testsupport::clickMessageBoxButton(id)) << "no button " << id; };
}
// The box has the keyboard while it is up.
std::function<void()> Key(UINT vk) {
    return [vk] { testsupport::pressDialogKey(vk); };
}

TEST_F(MessageBoxTest, TheOwnersTimerRunsWhileTheBoxIsUpAndOkAnswersIdok) {
    g_owner.act = Press(IDOK);
    EXPECT_EQ(MessageBoxA(owner, "File saved!", "Varnel", MB_OK), IDOK);
    EXPECT_GE(g_owner.ticks, g_owner.pressAt);
    EXPECT_TRUE(g_owner.shown);
    EXPECT_FALSE(g_owner.enabledWhileUp);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(g_owner.caption, "Varnel");
    EXPECT_EQ(g_owner.text, "File saved!");
    std::string caption, text;
    EXPECT_FALSE(testsupport::shownMessageBox(caption, text)) << "the box is gone once answered";
}

TEST_F(MessageBoxTest, TheAnswerIsThePressedButton) {
    struct Case {
        UINT type;
        std::function<void()> act;
        int expected;
        const char* wineDeparts = nullptr;
    } cases[] = {
        {MB_OKCANCEL, Press(IDCANCEL), IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, Press(IDNO), IDNO},
        {MB_YESNOCANCEL, Press(IDYES), IDYES},
        {MB_RETRYCANCEL | MB_ICONHAND, Press(IDRETRY), IDRETRY},
        {MB_ABORTRETRYIGNORE, Press(IDIGNORE), IDIGNORE},
        // Microsoft's MessageBoxEx page (MessageBox works the same): with no Cancel
        // button Escape does nothing, unless the box has an OK button, which
        // Escape then answers.
        {MB_OK, Key(VK_ESCAPE), IDOK, "Escape answers IDCANCEL in a box with only OK"},
        {MB_OKCANCEL, Key(VK_ESCAPE), IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON2, Key(VK_RETURN), IDCANCEL},
    };
    const bool onWine = testsupport::runningOnWine();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        g_owner.ticks = 0;
        g_owner.act = c.act;
        const int answer = MessageBoxA(owner, "Question?", "Varnel", c.type);
        if (onWine && c.wineDeparts) {
            testsupport::wineDeparts(c.wineDeparts);
            continue;
        }
        EXPECT_EQ(answer, c.expected);
    }
}

// A box is wide enough for its caption as well as for its text and buttons, and
// its title bar offers closing only.
TEST_F(MessageBoxTest, TheBoxFitsItsCaptionAndOffersOnlyClosing) {
    struct Case {
        const char* caption;
        testsupport::BoxFrame frame{};  // what the box turned out to be
    } cases[] = {
        {"V"},
        {"A caption a good deal longer than the text of its box"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.caption);
        g_owner.ticks = 0;
        g_owner.act = [&c] {
            EXPECT_TRUE(testsupport::shownMessageBoxFrame(c.frame));
            EXPECT_TRUE(testsupport::clickMessageBoxButton(IDOK));
        };
        EXPECT_EQ(MessageBoxA(owner, "File saved!", c.caption, MB_OK), IDOK);
        EXPECT_TRUE(c.frame.closeButton);
        EXPECT_FALSE(c.frame.minimizeOrMaximize);
    }
    // Some 50 characters of caption take well over 200 pixels in any caption font.
    if (!testsupport::wineDeparts("a message box is as wide as its text and buttons, whatever its caption")) {
        EXPECT_GT(cases[1].frame.width, cases[0].frame.width + 150);
    }
}

TEST_F(MessageBoxTest, WithoutCaptionItSaysErrorAndWithoutOwnerItDisablesNothing) {
    g_owner.act = Press(IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Error opening file for writing", nullptr, MB_OK), IDOK);
    EXPECT_EQ(g_owner.caption, "Error");
    EXPECT_TRUE(g_owner.enabledWhileUp);
    // A failed MessageBoxA answers 0 (the same page), as DialogBoxParamA does for
    // an invalid owner (its page, and Wine's own test of it).
    const int answer = MessageBoxA(reinterpret_cast<HWND>(0x7777), "x", "y", MB_OK);
    if (!testsupport::wineDeparts("MessageBoxA with an invalid owner answers -1")) {
        EXPECT_EQ(answer, 0) << "no such owner";
    }
}
}  // namespace
