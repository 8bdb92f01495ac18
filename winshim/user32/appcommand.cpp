#include "user32/appcommand.h"

#include <QApplication>
#include <QKeyEvent>

#include "core/app.h"
#include "user32/window.h"

namespace winshim {
namespace {

struct MediaKey {
    Qt::Key qt;
    UINT vk;
    UINT scanCode;  // all extended (E0) keys
};

// Windows has one virtual key for playing and pausing; a keyboard's separate
// Play and Pause keys both arrive as it, as a Windows keyboard driver sends them.
const MediaKey kMediaKeys[] = {
    {Qt::Key_MediaTogglePlayPause, VK_MEDIA_PLAY_PAUSE, 0x22},
    {Qt::Key_MediaPlay, VK_MEDIA_PLAY_PAUSE, 0x22},
    {Qt::Key_MediaPause, VK_MEDIA_PLAY_PAUSE, 0x22},
    {Qt::Key_MediaStop, VK_MEDIA_STOP, 0x24},
    {Qt::Key_MediaNext, VK_MEDIA_NEXT_TRACK, 0x19},
    {Qt::Key_MediaPrevious, VK_MEDIA_PREV_TRACK, 0x10},
};

class MediaKeys : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* widget = qobject_cast<QWidget*>(object);
        QWidget* focus = QApplication::focusWidget();
        // Only the first receiver: a key a widget ignores travels on to its parents.
        if (!widget || (focus ? widget != focus : !widget->isWindow())) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (const MediaKey& m : kMediaKeys) {
            if (m.qt != key) continue;
            Window* target = WIN_FromWidget(widget);
            if (!target) return false;
            // Repeat count 1, the scan code, the extended-key bit.
            LPARAM keyData = LPARAM(1 | (m.scanCode << 16) | (1u << 24));
            SendMessageA(target->handle, WM_KEYDOWN, m.vk, keyData);
            return true;
        }
        return false;
    }
};

int appCommandOf(WPARAM vk) {
    switch (vk) {
    case VK_MEDIA_PLAY_PAUSE:
        return APPCOMMAND_MEDIA_PLAY_PAUSE;
    case VK_MEDIA_STOP:
        return APPCOMMAND_MEDIA_STOP;
    case VK_MEDIA_NEXT_TRACK:
        return APPCOMMAND_MEDIA_NEXTTRACK;
    case VK_MEDIA_PREV_TRACK:
        return APPCOMMAND_MEDIA_PREVIOUSTRACK;
    }
    return 0;
}

WORD keyState() {
    const Qt::KeyboardModifiers mods = QApplication::queryKeyboardModifiers();
    return WORD(((mods & Qt::ShiftModifier) ? MK_SHIFT : 0) | ((mods & Qt::ControlModifier) ? MK_CONTROL : 0));
}
}  // namespace

void APPCOMMAND_InstallKeys() {
    static MediaKeys* filter = nullptr;
    if (filter) return;
    filter = new MediaKeys;
    filter->setParent(APP_Ensure());
    APP_Ensure()->installEventFilter(filter);
}

bool APPCOMMAND_DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* answer) {
    if (msg == WM_KEYDOWN && appCommandOf(wParam)) {
        // wParam names the window where the key was pressed, for every parent that hears of it.
        SendMessageA(hwnd, WM_APPCOMMAND, WPARAM(hwnd), MAKELPARAM(keyState(), appCommandOf(wParam) | FAPPCOMMAND_KEY));
        *answer = 0;
        return true;
    }
    if (msg == WM_APPCOMMAND) {
        // A top-level window would ask the shell's hooks next; there are none here.
        Window* w = WIN_Get(hwnd);
        *answer = (w && w->isChild()) ? SendMessageA(w->parent, msg, wParam, lParam) : 0;
        return true;
    }
    return false;
}
}  // namespace winshim
