// System keys: F10, Alt and what is typed with Alt held. Qt's key events for
// them become WM_SYSKEYDOWN, WM_SYSCHAR and WM_SYSKEYUP to the window with the
// focus, and DefWindowProcA turns those into WM_SYSCOMMAND as Windows does:
// F10 or a lone Alt into SC_KEYMENU (the menu bar takes the keyboard), Alt with a
// letter into SC_KEYMENU for that letter, Alt+F4 into SC_CLOSE.
#include "user32/syskeys.h"

#include <QApplication>
#include <QKeyEvent>

#include "core/app.h"
#include "user32/window.h"

namespace winshim {
namespace {

// Windows keeps this per thread: whether the Alt or F10 now going up came
// down alone, so that its release opens the menu bar.
bool g_loneAlt = false;
bool g_loneF10 = false;
int g_bypass = 0;

HWND rootOf(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    while (w && w->isChild() && WIN_Get(w->parent)) w = WIN_Get(w->parent);
    return w ? w->handle : hwnd;
}

UINT virtualKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return UINT(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return UINT(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

// The lParam of a key message: repeat count 1 and the keystroke flags.
LPARAM keyData(bool alt, bool repeat, bool up) {
    WORD flags = WORD((alt ? KF_ALTDOWN : 0) | (repeat || up ? KF_REPEAT : 0) | (up ? KF_UP : 0));
    return LPARAM(DWORD(MAKELONG(1, flags)));
}

class SysKeyFilter : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (g_bypass || (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride))
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool altKey = key->key() == Qt::Key_Alt;
        const bool altHeld = altKey || (key->modifiers() & Qt::AltModifier);
        if (!altHeld && key->key() != Qt::Key_F10) return false;
        // An open pop-up menu takes its own keys.
        if (QApplication::activePopupWidget()) return false;
        auto* widget = qobject_cast<QWidget*>(object);
        QWidget* focus = QApplication::focusWidget();
        // Only the first receiver: an ignored key travels on to the parents.
        if (!widget || (focus ? widget != focus : !widget->isWindow())) return false;
        Window* target = WIN_FromWidget(widget);
        const UINT vk = virtualKey(key->key());
        if (!target || !vk) return false;
        // Mnemonics of controls (shortcuts) go first; Alt alone is ours, or the
        // menu bar would take it as its own.
        if (type == QEvent::ShortcutOverride) return altKey;
        const HWND hwnd = target->handle;
        if (type == QEvent::KeyRelease) {
            WIN_Send(hwnd, WM_SYSKEYUP, vk, keyData(altHeld && !altKey, false, true));
            return true;
        }
        const LPARAM data = keyData(altHeld, key->isAutoRepeat(), false);
        WIN_Send(hwnd, WM_SYSKEYDOWN, vk, data);
        const QString text = key->text();
        if (!altKey && altHeld && text.size() == 1 && WIN_Get(hwnd))
            WIN_Send(hwnd, WM_SYSCHAR, text[0].unicode(), data);
        return true;
    }
};
}  // namespace

void SYSKEY_Install() {
    static SysKeyFilter* filter = nullptr;
    if (filter) return;
    filter = new SysKeyFilter;
    filter->setParent(APP_Ensure());
    APP_Ensure()->installEventFilter(filter);
}

SysKeyBypass::SysKeyBypass() {
    ++g_bypass;
}
SysKeyBypass::~SysKeyBypass() {
    --g_bypass;
}

LRESULT SYSKEY_DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const WORD flags = HIWORD(lParam);
    switch (msg) {
    case WM_SYSKEYDOWN:
        if (flags & KF_ALTDOWN) {
            g_loneAlt = wParam == VK_MENU && !(flags & KF_REPEAT);
            g_loneF10 = false;
            if (wParam == VK_F4) PostMessageA(rootOf(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (wParam == VK_F10) {
            g_loneF10 = true;
        }
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool open = (wParam == VK_MENU && g_loneAlt) || (wParam == VK_F10 && g_loneF10);
        g_loneAlt = g_loneF10 = false;
        if (open) SendMessageA(rootOf(hwnd), WM_SYSCOMMAND, SC_KEYMENU, 0);
        return 0;
    }
    case WM_SYSCHAR: {
        g_loneAlt = false;
        if (!(flags & KF_ALTDOWN) || !wParam || wParam == '\t' || wParam == 0x1B) return 0;
        Window* w = WIN_Get(hwnd);
        // Alt+Space opens the window menu of the top-level window.
        if (wParam == ' ' && w && w->isChild())
            SendMessageA(w->parent, WM_SYSCHAR, wParam, lParam);
        else
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_KEYMENU, LPARAM(wParam));
        return 0;
    }
    }
    return 0;
}
}  // namespace winshim
