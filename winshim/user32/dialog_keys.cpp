// The dialog keys: Tab, Enter and Escape in a modal dialog and in
// IsDialogMessageA, and the tab order they move along.
#include <QApplication>
#include <QKeyEvent>

#include "core/app.h"
#include "user32/dialog.h"

namespace winshim {
namespace {
// The child of the dialog that holds `hwnd`, or null.
HWND controlOf(HWND dialog, HWND hwnd) {
    for (Window* w = WIN_Get(hwnd); w && w->isChild(); w = WIN_Get(w->parent))
        if (w->parent == dialog) return w->handle;
    return nullptr;
}

void clickCommand(HWND dialog, int id, HWND control) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// What IsDialogMessage does with Tab, Enter and Escape; false when the key is left
// to the control that has the focus.
bool dialogKey(HWND dialog, HWND focus, int vk, bool shift) {
    const HWND control = controlOf(dialog, focus);
    const LRESULT code = control ? SendMessageA(control, WM_GETDLGCODE, WPARAM(vk), 0) : 0;
    if (code & DLGC_WANTALLKEYS) return false;
    switch (vk) {
    case VK_TAB:
        if (code & DLGC_WANTTAB) return false;
        if (HWND next = DIALOG_NextTabItem(dialog, control, shift)) DIALOG_FocusControl(dialog, next);
        return true;
    case VK_RETURN: {
        if (control && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(control)) {
            clickCommand(dialog, GetDlgCtrlID(control), control);
            return true;
        }
        const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        if (HIWORD(def) == DC_HASDEFID) {
            HWND button = DIALOG_FindItem(dialog, LOWORD(def));
            if (!button || IsWindowEnabled(button)) clickCommand(dialog, LOWORD(def), button);
        } else {
            clickCommand(dialog, IDOK, DIALOG_FindItem(dialog, IDOK));
        }
        return true;
    }
    case VK_ESCAPE: {
        HWND cancel = DIALOG_FindItem(dialog, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel)) clickCommand(dialog, IDCANCEL, cancel);
        return true;
    }
    }
    return false;
}

Window* topLevelOf(Window* w) {
    while (w && w->isChild()) w = WIN_Get(w->parent);
    return w;
}

// Runs the dialog keys of a modal dialog before its controls see them. Outside a
// dialog's loop Tab moves nothing, as in a Windows message loop without
// IsDialogMessage.
class DialogKeys : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || QApplication::activePopupWidget()) return false;
        auto* widget = qobject_cast<QWidget*>(object);
        QWidget* focus = QApplication::focusWidget();
        // Only the first receiver: a key a control ignored travels on to its parents.
        if (!widget || (focus ? widget != focus : !widget->isWindow())) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        int vk;
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            vk = VK_TAB;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            vk = VK_RETURN;
            break;
        case Qt::Key_Escape:
            vk = VK_ESCAPE;
            break;
        default:
            return false;
        }
        Window* target = WIN_FromWidget(widget);
        Window* top = topLevelOf(target);
        if (!top) return false;
        if (!top->modal || top->dialogEnded) return vk == VK_TAB;
        return dialogKey(top->handle, target->handle, vk, shift || key->key() == Qt::Key_Backtab);
    }
};
}  // namespace

HWND DIALOG_NextTabItem(HWND dialog, HWND from, bool previous) {
    Window* d = WIN_Get(dialog);
    if (!d) return nullptr;
    std::vector<HWND> stops;
    size_t at = SIZE_MAX;
    for (HWND child : d->children) {
        Window* c = WIN_Get(child);
        if (!c) continue;
        if (child == from) at = stops.size();
        if (c->visible && c->enabled && (c->style & WS_TABSTOP)) stops.push_back(child);
    }
    if (stops.empty()) return nullptr;
    if (at == SIZE_MAX) return previous ? stops.back() : stops.front();
    // `at` is where `from` stands among the stops (before stops[at]).
    const bool isStop = at < stops.size() && stops[at] == from;
    if (previous) return stops[(at + stops.size() - 1) % stops.size()];
    return stops[(at + (isStop ? 1 : 0)) % stops.size()];
}

void DIALOG_FocusControl(HWND dialog, HWND control) {
    SetFocus(control);
    if (DialogState* s = DIALOG_State(dialog)) s->focus = control;
    if (WIN_Get(control) && (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
        SendMessageA(control, EM_SETSEL, 0, -1);
}

void DIALOG_InstallKeys() {
    static DialogKeys* filter = nullptr;
    if (filter) return;
    filter = new DialogKeys;
    filter->setParent(APP_Ensure());
    APP_Ensure()->installEventFilter(filter);
}
}  // namespace winshim

using namespace winshim;

extern "C" BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg || !WIN_Get(dialog) || (msg->hwnd != dialog && !controlOf(dialog, msg->hwnd))) return FALSE;
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
        if (dialogKey(dialog, msg->hwnd, int(msg->wParam), shift)) return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}
