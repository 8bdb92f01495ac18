// The dialog manager's creation of dialogs from DIALOG/DIALOGEX templates: the
// layout, the placement on the screen, the controls. The modal loop and the
// default dialog procedure are in dialog_modal.cpp, the dialog keys in
// dialog_keys.cpp, the GetDlgItem family in dialog_items.cpp.
//
// A template is laid out in dialog units of its font. Ours are the base units of
// 8-point MS Sans Serif at 96 dpi, 6 x 13 pixels, at the 96 dpi the program
// always sees; a unit is a quarter of the base width across and an eighth of the base
// height down, each coordinate rounded as MulDiv rounds.
#include "user32/dialog.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "core/app.h"
#include "core/log.h"
#include "core/resources.h"

namespace winshim {

DialogState* DIALOG_State(HWND dialog) {
    Window* w = WIN_Get(dialog);
    return w ? w->controlAs<DialogState>() : nullptr;
}

namespace {

// The program sees 96 dpi whatever the desktop's scale (core/app.cpp).
SIZE baseUnits() {
    return SIZE{6, 13};
}

RECT mapUnits(RECT r) {
    const SIZE base = baseUnits();
    return RECT{MulDiv(r.left, base.cx, 4), MulDiv(r.top, base.cy, 8), MulDiv(r.right, base.cx, 4),
                MulDiv(r.bottom, base.cy, 8)};
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The outer rectangle that puts a client area of `client` at `origin`, moved onto
// the screen's work area as Windows moves a new top-level dialog.
RECT outerFor(HWND dialog, POINT origin, SIZE client) {
    RECT outer{}, inner{};
    GetWindowRect(dialog, &outer);
    GetClientRect(dialog, &inner);
    POINT at{0, 0};
    ClientToScreen(dialog, &at);
    const LONG left = at.x - outer.left, top = at.y - outer.top;
    const LONG right = outer.right - at.x - inner.right, bottom = outer.bottom - at.y - inner.bottom;
    RECT r{origin.x - left, origin.y - top, origin.x + client.cx + right, origin.y + client.cy + bottom};
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        const LONG dx = std::max<LONG>(work.left() - r.left, std::min<LONG>(0, work.right() + 1 - r.right));
        const LONG dy = std::max<LONG>(work.top() - r.top, std::min<LONG>(0, work.bottom() + 1 - r.bottom));
        r = RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    }
    return r;
}

void place(HWND dialog, const RECT& r) {
    MoveWindow(dialog, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    if (DialogState* s = DIALOG_State(dialog)) s->placed = r;
}

// The frame a window manager draws is learnt once the dialog is shown, and the
// window system then shrinks the client area to keep the outer rectangle: give the
// dialog its client size back where the window manager put it, unless it has been
// sized since.
void keepClientSize(HWND dialog) {
    Window* w = WIN_Get(dialog);
    DialogState* s = DIALOG_State(dialog);
    if (!w || !s || !s->keepClient || w->minimized) return;
    RECT r = w->rect;
    if (r.right - r.left != s->placed.right - s->placed.left || r.bottom - r.top != s->placed.bottom - s->placed.top) {
        s->keepClient = false;
        return;
    }
    const SIZE now = WIN_ClientSize(*w);
    if (now.cx == s->client.cx && now.cy == s->client.cy) return;
    r.right += s->client.cx - now.cx;
    r.bottom += s->client.cy - now.cy;
    place(dialog, r);
}

// Looks again after each show and resize of the dialog's window, once the window
// system has dealt with the event.
class FrameWatcher : public QObject {
public:
    FrameWatcher(QWidget* widget, HWND dialog) : QObject(widget), dialog_(dialog) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::Resize)
            QTimer::singleShot(0, this, [dialog = dialog_] { keepClientSize(dialog); });
        return false;
    }

private:
    HWND dialog_;
};

std::string resIdText(const ResId& id) {
    return id.isOrdinal ? "#" + std::to_string(id.ordinal) : id.name;
}

}  // namespace

// Shows the dialog with the focus where the dialog manager put it.
void DIALOG_Show(HWND dialog) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    // Shown as Windows shows it: active, with the keyboard.
    SetForegroundWindow(dialog);
    keepClientSize(dialog);
    if (DialogState* s = DIALOG_State(dialog); s && WIN_Get(s->focus)) SetFocus(s->focus);
}

// Creates the dialog of a template without showing it: the dialog window (its
// WM_CREATE comes while it has no controls), the controls in template order, then
// WM_INITDIALOG when there is a dialog procedure. Null when the template is
// missing or creation failed.
HWND DIALOG_Create(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM init) {
    DIALOG_InstallKeys();
    std::optional<ResBytes> bytes = RES_Find(instance, RT_DIALOG, name);
    if (!bytes) return nullptr;
    std::optional<DialogTemplate> t = RES_ParseDialog(*bytes);
    if (!t) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const std::string className = t->className.empty() ? "#32770" : resIdText(t->className);
    HMENU menu = t->menu.empty() ? nullptr : LoadMenuA(instance, resIdText(t->menu).c_str());
    const RECT units = mapUnits(RECT{t->x, t->y, t->cx, t->cy});
    const SIZE client{units.right, units.bottom};
    POINT origin{units.left, units.top};  // of the client area
    if (!(t->style & (WS_CHILD | DS_ABSALIGN)) && owner) ClientToScreen(owner, &origin);

    HWND dialog = CreateWindowExA(t->exStyle, className.c_str(), t->title.c_str(), t->style & ~WS_VISIBLE, origin.x,
                                  origin.y, client.cx, client.cy, owner, menu, instance, nullptr);
    Window* w = WIN_Get(dialog);
    if (!w) return nullptr;
    auto state = std::make_unique<DialogState>();
    DialogState* s = state.get();
    if (!w->control)
        w->control = std::move(state);
    else
        s = nullptr;  // a program class that keeps control state of its own

    // The template gives the client size; the outer rectangle adds what lies around
    // it (frame, menu bar), unless the window placed itself while it was created.
    const RECT asked{origin.x, origin.y, origin.x + client.cx, origin.y + client.cy};
    if (!w->isChild() && sameRect(w->rect, asked)) {
        RECT outer = outerFor(dialog, origin, client);
        // DS_CENTER: the middle of the screen's work area.
        if (QScreen* screen = QGuiApplication::primaryScreen(); screen && (t->style & DS_CENTER)) {
            const QRect area = screen->availableGeometry();
            const LONG dx = area.left() + (area.width() - (outer.right - outer.left)) / 2 - outer.left;
            const LONG dy = area.top() + (area.height() - (outer.bottom - outer.top)) / 2 - outer.top;
            outer = RECT{outer.left + dx, outer.top + dy, outer.right + dx, outer.bottom + dy};
        }
        if (!sameRect(outer, w->rect)) place(dialog, outer);
        if (s && (w = WIN_Get(dialog))) {
            s->keepClient = true;
            s->client = client;
            s->placed = w->rect;
            if (w->widget) new FrameWatcher(w->widget, dialog);
        }
    }
    if (!(w = WIN_Get(dialog))) return nullptr;
    w->dlgProc = proc;

    for (const DialogItem& item : t->items) {
        const RECT r = mapUnits(RECT{item.x, item.y, item.cx, item.cy});
        if (item.text.isOrdinal) LOG_Once("Dialog:ordinaltext", "Dialog: a control's ordinal text is left empty");
        const std::string text = item.text.isOrdinal ? std::string() : item.text.name;
        const void* data = item.creationData.empty() ? nullptr : item.creationData.data();
        HWND control = CreateWindowExA(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), text.c_str(),
                                       item.style | WS_CHILD, r.left, r.top, r.right, r.bottom, dialog,
                                       reinterpret_cast<HMENU>(INT_PTR(item.id)), instance, const_cast<void*>(data));
        if (!WIN_Get(dialog)) return nullptr;
        if (!control && !(t->style & DS_NOFAILCREATE)) {
            DestroyWindow(dialog);
            return nullptr;
        }
    }

    // As on Windows, only a dialog with a dialog procedure is initialised.
    HWND first = DIALOG_NextTabItem(dialog, nullptr, false);
    const LRESULT setFocus = proc ? SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), init) : 0;
    if (!WIN_Get(dialog)) return nullptr;
    if (setFocus && first && WIN_Get(first)) DIALOG_FocusControl(dialog, first);
    if (t->style & WS_VISIBLE) DIALOG_Show(dialog);
    return dialog;
}
}  // namespace winshim

using namespace winshim;

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                                          LPARAM init) {
    return DIALOG_Create(instance, templateName, owner, proc, init);
}

extern "C" BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    if (!WIN_Get(dialog) || !rect) {
        SetLastError(rect ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = mapUnits(*rect);
    return TRUE;
}
