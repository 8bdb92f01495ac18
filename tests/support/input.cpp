#include "input.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#ifdef _WIN32
#include <cstring>

namespace testsupport {
namespace {
// The cursor moves to the point, then the buttons change, in one go: a click's
// release follows its press at once, as a user's does.
void sendMouse(HWND hwnd, POINT client, std::initializer_list<DWORD> flags) {
    ClientToScreen(hwnd, &client);
    SetCursorPos(client.x, client.y);
    std::vector<INPUT> inputs;
    for (DWORD f : flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = f;
        inputs.push_back(input);
    }
    if (!inputs.empty()) SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    settle();
}

DWORD downFlag(Button button) {
    return button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
}
DWORD upFlag(Button button) {
    return button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
}

void sendKey(UINT vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = WORD(vk);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// A message box is the dialog whose text is the static control 0xFFFF.
constexpr int kMessageBoxText = 0xFFFF;

BOOL CALLBACK findMessageBox(HWND hwnd, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (!IsWindowVisible(hwnd) || std::strcmp(cls, "#32770") != 0 || !GetDlgItem(hwnd, kMessageBoxText)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

HWND messageBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string textOf(HWND hwnd) {
    char buffer[512] = "";
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}
}  // namespace

void mousePress(HWND hwnd, POINT client, Button button) {
    sendMouse(hwnd, client, {downFlag(button)});
}

void mouseRelease(HWND hwnd, POINT client, Button button) {
    sendMouse(hwnd, client, {upFlag(button)});
}

void mouseMove(HWND hwnd, POINT client, bool) {
    sendMouse(hwnd, client, {});
}

void click(HWND hwnd, POINT client, Button button) {
    sendMouse(hwnd, client, {downFlag(button), upFlag(button)});
}

void doubleClick(HWND hwnd, POINT client) {
    sendMouse(hwnd, client, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

void pressKey(UINT vk, bool shift, bool ctrl) {
    if (shift) sendKey(VK_SHIFT, false);
    if (ctrl) sendKey(VK_CONTROL, false);
    sendKey(vk, false);
    sendKey(vk, true);
    if (ctrl) sendKey(VK_CONTROL, true);
    if (shift) sendKey(VK_SHIFT, true);
    settle();
}

void typeKeys(const std::vector<Stroke>& strokes) {
    std::vector<INPUT> inputs;
    auto key = [&inputs](UINT vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = WORD(vk);
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (const Stroke& s : strokes) {
        if (s.alt) key(VK_MENU, false);
        key(s.vk, false);
        key(s.vk, true);
        if (s.alt) key(VK_MENU, true);
    }
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    settle();
}

void settle() {
    // Injected input reaches the queue a little later; give it a few rounds.
    for (int round = 0; round < 3; ++round) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

unsigned doubleClickTime() {
    return GetDoubleClickTime();
}

void pressDialogKey(UINT vk, bool shift) {
    if (shift) sendKey(VK_SHIFT, false);
    sendKey(vk, false);
    sendKey(vk, true);
    if (shift) sendKey(VK_SHIFT, true);
    // settle(), with each message offered to the dialog manager first as the
    // dialog's own loop would.
    for (int round = 0; round < 3; ++round) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            HWND active = GetActiveWindow();
            if (active && IsDialogMessageA(active, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

bool shownMessageBox(std::string& caption, std::string& text) {
    HWND box = messageBox();
    if (!box) return false;
    caption = textOf(box);
    text = textOf(GetDlgItem(box, kMessageBoxText));
    return true;
}

bool shownMessageBoxFrame(BoxFrame& frame) {
    HWND box = messageBox();
    if (!box) return false;
    RECT r{};
    GetWindowRect(box, &r);
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    frame.width = r.right - r.left;
    frame.closeButton = (style & WS_SYSMENU) != 0;
    frame.minimizeOrMaximize = (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) != 0;
    return true;
}

bool clickMessageBoxButton(int id) {
    HWND box = messageBox();
    HWND button = box ? GetDlgItem(box, id) : nullptr;
    if (!button) return false;
    RECT r{};
    GetClientRect(button, &r);
    click(button, POINT{r.right / 2, r.bottom / 2});
    return true;
}
}  // namespace testsupport

#else
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <utility>

namespace testsupport {
namespace {
// The widget that took the last press gets the moves and the release, as a
// mouse grab gives them.
QPointer<QWidget> g_grabber;

Qt::MouseButton qtButton(Button button) {
    return button == Button::Left ? Qt::LeftButton : Qt::RightButton;
}

void sendMouse(HWND hwnd, POINT client, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held) {
    ClientToScreen(hwnd, &client);
    const QPoint global(client.x, client.y);
    QWidget* target = g_grabber && type != QEvent::MouseButtonPress ? g_grabber.data() : QApplication::widgetAt(global);
    ASSERT_NE(target, nullptr) << "nothing on screen at " << client.x << "," << client.y;
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) g_grabber = target;
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    if (type == QEvent::MouseButtonRelease) g_grabber = nullptr;
}

struct KeyName {
    UINT vk;
    Qt::Key key;
};
const KeyName kKeys[] = {
    {VK_RETURN, Qt::Key_Return},
    {VK_ESCAPE, Qt::Key_Escape},
    {VK_TAB, Qt::Key_Tab},
    {VK_SPACE, Qt::Key_Space},
    {VK_LEFT, Qt::Key_Left},
    {VK_RIGHT, Qt::Key_Right},
    {VK_UP, Qt::Key_Up},
    {VK_DOWN, Qt::Key_Down},
    {VK_HOME, Qt::Key_Home},
    {VK_END, Qt::Key_End},
    {VK_PRIOR, Qt::Key_PageUp},
    {VK_NEXT, Qt::Key_PageDown},
    {VK_F2, Qt::Key_F2},
    {VK_F4, Qt::Key_F4},
    {VK_DELETE, Qt::Key_Delete},
    {VK_BACK, Qt::Key_Backspace},
    {VK_F10, Qt::Key_F10},
    {VK_MENU, Qt::Key_Alt},
    // A Linux keyboard's play key arrives as Qt's Play, not as its toggle.
    {VK_MEDIA_PLAY_PAUSE, Qt::Key_MediaPlay},
    {VK_MEDIA_STOP, Qt::Key_MediaStop},
    {VK_MEDIA_NEXT_TRACK, Qt::Key_MediaNext},
    {VK_MEDIA_PREV_TRACK, Qt::Key_MediaPrevious},
};

Qt::Key qtKey(UINT vk) {
    for (const KeyName& k : kKeys)
        if (k.vk == vk) return k.key;
    // Letters and digits have their ASCII codes in both.
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return Qt::Key(vk);
    ADD_FAILURE() << "no Qt key for virtual key " << vk;
    return Qt::Key_unknown;
}

// winshim shows MessageBoxA as a QMessageBox with these buttons for the answers.
const std::pair<int, QMessageBox::StandardButton> kAnswers[] = {
    {IDOK, QMessageBox::Ok},       {IDCANCEL, QMessageBox::Cancel}, {IDYES, QMessageBox::Yes},
    {IDNO, QMessageBox::No},       {IDRETRY, QMessageBox::Retry},   {IDIGNORE, QMessageBox::Ignore},
    {IDABORT, QMessageBox::Abort},
};

QMessageBox* messageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}
}  // namespace

void mousePress(HWND hwnd, POINT client, Button button) {
    sendMouse(hwnd, client, QEvent::MouseButtonPress, qtButton(button), qtButton(button));
}

void mouseRelease(HWND hwnd, POINT client, Button button) {
    sendMouse(hwnd, client, QEvent::MouseButtonRelease, qtButton(button), Qt::NoButton);
}

void mouseMove(HWND hwnd, POINT client, bool leftHeld) {
    sendMouse(hwnd, client, QEvent::MouseMove, Qt::NoButton, leftHeld ? Qt::LeftButton : Qt::NoButton);
}

void click(HWND hwnd, POINT client, Button button) {
    mousePress(hwnd, client, button);
    mouseRelease(hwnd, client, button);
}

void doubleClick(HWND hwnd, POINT client) {
    click(hwnd, client);
    // Qt's own order for the second click: a press, the double click, the release.
    sendMouse(hwnd, client, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    sendMouse(hwnd, client, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton);
    sendMouse(hwnd, client, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
}

// Where the keyboard goes now: an open drop-down first, then the focus, then the active window.
QWidget* keyTarget() {
    QWidget* popup = QApplication::activePopupWidget();
    return popup                         ? (popup->focusWidget() ? popup->focusWidget() : popup)
           : QApplication::focusWidget() ? QApplication::focusWidget()
                                         : QApplication::activeWindow();
}

// One key event to `target`; a release whose window has gone goes nowhere.
void sendKey(QWidget* target, QEvent::Type type, UINT vk, Qt::KeyboardModifiers modifiers) {
    if (!target && type == QEvent::KeyRelease) return;
    ASSERT_NE(target, nullptr) << "no window takes keys";
    QString text;
    if (!(modifiers & Qt::ControlModifier) && ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z') || vk == VK_SPACE))
        text = QChar((modifiers & Qt::ShiftModifier) || vk < 'A' ? char(vk) : char(vk - 'A' + 'a'));
    QKeyEvent event(type, qtKey(vk), modifiers, text);
    QApplication::sendEvent(target, &event);
}

void pressKey(UINT vk, bool shift, bool ctrl) {
    const Qt::KeyboardModifiers modifiers =
        (shift ? Qt::ShiftModifier : Qt::NoModifier) | (ctrl ? Qt::ControlModifier : Qt::NoModifier);
    QPointer<QWidget> target = keyTarget();
    sendKey(target, QEvent::KeyPress, vk, modifiers);
    sendKey(target, QEvent::KeyRelease, vk, modifiers);
}

void typeKeys(const std::vector<Stroke>& strokes) {
    for (const Stroke& s : strokes) {
        // Each event goes where the keyboard goes by then: a key may open a menu.
        // Qt counts Alt among the modifiers of its own press, not of its release.
        const Qt::KeyboardModifiers held = s.alt ? Qt::AltModifier : Qt::NoModifier;
        if (s.alt || s.vk == VK_MENU) sendKey(keyTarget(), QEvent::KeyPress, VK_MENU, Qt::AltModifier);
        if (s.vk != VK_MENU) {
            sendKey(keyTarget(), QEvent::KeyPress, s.vk, held);
            sendKey(keyTarget(), QEvent::KeyRelease, s.vk, held);
        }
        if (s.alt || s.vk == VK_MENU) sendKey(keyTarget(), QEvent::KeyRelease, VK_MENU, Qt::NoModifier);
        settle();
    }
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

unsigned doubleClickTime() {
    return unsigned(QApplication::doubleClickInterval());
}

void pressDialogKey(UINT vk, bool shift) {
    // What the calls before left pending comes first, as the loop would have run
    // it before the user's key; winshim's dialog loop then takes the dialog keys
    // on their way to the focus, at once.
    settle();
    pressKey(vk, shift);
}

bool shownMessageBox(std::string& caption, std::string& text) {
    QMessageBox* box = messageBox();
    if (!box) return false;
    caption = box->windowTitle().toStdString();
    text = box->text().toStdString();
    return true;
}

bool shownMessageBoxFrame(BoxFrame& frame) {
    QMessageBox* box = messageBox();
    if (!box) return false;
    const Qt::WindowFlags flags = box->windowFlags();
    frame.width = box->frameGeometry().width();
    frame.closeButton = flags & Qt::WindowCloseButtonHint;
    frame.minimizeOrMaximize = flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    return true;
}

bool clickMessageBoxButton(int id) {
    QMessageBox* box = messageBox();
    QAbstractButton* button = nullptr;
    for (const auto& [answer, standard] : kAnswers)
        if (box && answer == id) button = box->button(standard);
    if (!button) return false;
    const QPointF center = QRectF(button->rect()).center();
    const QPointF global(button->mapToGlobal(center.toPoint()));
    QMouseEvent press(QEvent::MouseButtonPress, center, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, center, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &release);
    return true;
}
}  // namespace testsupport
#endif
