// MessageBoxA: the button the user presses is the answer, Escape answers as
// Windows does, and the owner is disabled but keeps receiving its timer while the
// box is up. The box is found and pressed from the owner's timer, as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <functional>
#include <string>

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

struct Owner {
    int ticks = 0;
    int pressAt = 3;  // the tick on which the user acts
    bool enabledWhileUp = true;
    std::string caption, text;
    std::function<void(QMessageBox*)> act;
} g_owner;

QMessageBox* ShownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && ++g_owner.ticks == g_owner.pressAt) {
        g_owner.enabledWhileUp = IsWindowEnabled(hwnd);
        if (QMessageBox* box = ShownBox()) {
            g_owner.caption = box->windowTitle().toStdString();
            g_owner.text = box->text().toStdString();
            g_owner.act(box);
        }
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

std::function<void(QMessageBox*)> Press(QMessageBox::StandardButton which) {
    return [which](QMessageBox* box) {
        if (QAbstractButton* b = box->button(which)) b->click();
    };
}
std::function<void(QMessageBox*)> Key(Qt::Key key) {
    return [key](QMessageBox* box) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(box, &press);
    };
}

TEST_F(MessageBoxTest, TheOwnersTimerRunsWhileTheBoxIsUpAndOkAnswersIdok) {
    g_owner.act = Press(QMessageBox::Ok);
    EXPECT_EQ(MessageBoxA(owner, "File saved!", "Varnel", MB_OK), IDOK);
    EXPECT_GE(g_owner.ticks, g_owner.pressAt);
    EXPECT_FALSE(g_owner.enabledWhileUp);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(g_owner.caption, "Varnel");
    EXPECT_EQ(g_owner.text, "File saved!");
    EXPECT_EQ(ShownBox(), nullptr);
}

TEST_F(MessageBoxTest, TheAnswerIsThePressedButton) {
    struct Case {
        UINT type;
        std::function<void(QMessageBox*)> act;
        int expected;
    } cases[] = {
        {MB_OKCANCEL, Press(QMessageBox::Cancel), IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, Press(QMessageBox::No), IDNO},
        {MB_YESNOCANCEL, Press(QMessageBox::Yes), IDYES},
        {MB_RETRYCANCEL | MB_ICONHAND, Press(QMessageBox::Retry), IDRETRY},
        {MB_ABORTRETRYIGNORE, Press(QMessageBox::Ignore), IDIGNORE},
        {MB_OK, Key(Qt::Key_Escape), IDOK},
        {MB_OKCANCEL, Key(Qt::Key_Escape), IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON2, Key(Qt::Key_Return), IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        g_owner.ticks = 0;
        g_owner.act = c.act;
        EXPECT_EQ(MessageBoxA(owner, "Question?", "Varnel", c.type), c.expected);
    }
}

TEST_F(MessageBoxTest, WithoutCaptionItSaysErrorAndWithoutOwnerItDisablesNothing) {
    g_owner.act = Press(QMessageBox::Ok);
    EXPECT_EQ(MessageBoxA(nullptr, "Error opening file for writing", nullptr, MB_OK), IDOK);
    EXPECT_EQ(g_owner.caption, "Error");
    EXPECT_TRUE(g_owner.enabledWhileUp);
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x7777), "x", "y", MB_OK), 0) << "no such owner";
}
}  // namespace
