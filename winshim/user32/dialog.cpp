// The dialog manager: dialogs made from DIALOG/DIALOGEX templates, the modal
// loop, the default dialog procedure, dialog keyboard handling and the GetDlgItem
// family.
//
// A template is laid out in dialog units of its font. Ours are the base units of
// 8-point MS Sans Serif at 96 dpi, 6 x 13 pixels, scaled by the screen's logical
// dpi; a unit is a quarter of the base width across and an eighth of the base
// height down, each coordinate rounded as MulDiv rounds.
#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <climits>
#include <cstring>
#include <utility>

#include "core/app.h"
#include "core/resources.h"
#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

constexpr DWORD kErrorResourceDataNotFound = 1812;

struct DialogState : ControlState {
    int defId = 0;                 // set by DM_SETDEFID; 0: the template's default push button
    HWND focus = nullptr;          // the control that had the focus last
    HWND disabledOwner = nullptr;  // the owner a modal dialog disabled, until it is enabled again
    // A dialog that did not place itself keeps the client size of its template when
    // a window manager puts its frame around it.
    bool keepClient = false;
    SIZE client{};
    RECT placed{};  // the outer rectangle we gave it last
};

DialogState* stateOf(HWND dialog) {
    Window* w = WIN_Get(dialog);
    return w ? w->controlAs<DialogState>() : nullptr;
}

SIZE baseUnits() {
    QScreen* screen = APP_Ensure()->primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    return SIZE{MulDiv(6, dpi, 96), MulDiv(13, dpi, 96)};
}

RECT mapUnits(RECT r) {
    const SIZE base = baseUnits();
    return RECT{MulDiv(r.left, base.cx, 4), MulDiv(r.top, base.cy, 8), MulDiv(r.right, base.cx, 4),
                MulDiv(r.bottom, base.cy, 8)};
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

HWND findItem(HWND dialog, int id) {
    Window* w = WIN_Get(dialog);
    if (!w) return nullptr;
    for (HWND child : w->children)
        if (Window* c = WIN_Get(child); c && c->id == LONG_PTR(id)) return child;
    return nullptr;
}

LONG_PTR msgResult(const Window& w) {
    LONG_PTR value = 0;
    if (w.extra.size() >= sizeof value) std::memcpy(&value, w.extra.data(), sizeof value);
    return value;
}
void setMsgResult(Window& w, LONG_PTR value) {
    if (w.extra.size() >= sizeof value) std::memcpy(w.extra.data(), &value, sizeof value);
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
    if (DialogState* s = stateOf(dialog)) s->placed = r;
}

// The frame a window manager draws is learnt once the dialog is shown, and the
// window system then shrinks the client area to keep the outer rectangle: give the
// dialog its client size back where the window manager put it, unless it has been
// sized since.
void keepClientSize(HWND dialog) {
    Window* w = WIN_Get(dialog);
    DialogState* s = stateOf(dialog);
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

// Tab order: the dialog's visible, enabled WS_TABSTOP children in creation order.
HWND nextTabItem(HWND dialog, HWND from, bool previous) {
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

// The child of the dialog that holds `hwnd`, or null.
HWND controlOf(HWND dialog, HWND hwnd) {
    for (Window* w = WIN_Get(hwnd); w && w->isChild(); w = WIN_Get(w->parent))
        if (w->parent == dialog) return w->handle;
    return nullptr;
}

void focusControl(HWND dialog, HWND control) {
    SetFocus(control);
    if (DialogState* s = stateOf(dialog)) s->focus = control;
    if (WIN_Get(control) && (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
        SendMessageA(control, EM_SETSEL, 0, -1);
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
        if (HWND next = nextTabItem(dialog, control, shift)) focusControl(dialog, next);
        return true;
    case VK_RETURN: {
        if (control && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(control)) {
            clickCommand(dialog, GetDlgCtrlID(control), control);
            return true;
        }
        const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        if (HIWORD(def) == DC_HASDEFID) {
            HWND button = findItem(dialog, LOWORD(def));
            if (!button || IsWindowEnabled(button)) clickCommand(dialog, LOWORD(def), button);
        } else {
            clickCommand(dialog, IDOK, findItem(dialog, IDOK));
        }
        return true;
    }
    case VK_ESCAPE: {
        HWND cancel = findItem(dialog, IDCANCEL);
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

void installDialogKeys() {
    static DialogKeys* filter = nullptr;
    if (filter) return;
    filter = new DialogKeys;
    filter->setParent(APP_Ensure());
    APP_Ensure()->installEventFilter(filter);
}

// Messages whose answer is what the dialog procedure returns, not DWLP_MSGRESULT.
bool answersDirectly(UINT msg) {
    return msg == WM_INITDIALOG || (msg >= 0x0132 && msg <= 0x0138) /* WM_CTLCOLOR* */ || msg == 0x0039 ||
           msg == 0x002E || msg == 0x002F || msg == 0x0037;
}

LRESULT defId(HWND dialog) {
    DialogState* s = stateOf(dialog);
    if (s && s->defId) return MAKELONG(s->defId, DC_HASDEFID);
    Window* d = WIN_Get(dialog);
    for (HWND child : d ? d->children : std::vector<HWND>{})
        if (SendMessageA(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
            return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
    return 0;
}

void setDefId(HWND dialog, int id) {
    const LRESULT old = defId(dialog);
    if (HIWORD(old) == DC_HASDEFID && LOWORD(old) != WORD(id))
        if (HWND previous = findItem(dialog, LOWORD(old)))
            if (SendMessageA(previous, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
                SendMessageA(previous, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (HWND next = findItem(dialog, id))
        if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)
            SendMessageA(next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    if (DialogState* s = stateOf(dialog)) s->defId = id;
}

LRESULT defaultDialog(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE: {
        // The close box clicks Cancel, unless a Cancel button is there and disabled.
        HWND cancel = findItem(dialog, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_INITDIALOG:
        return 0;
    case DM_GETDEFID:
        return defId(dialog);
    case DM_SETDEFID:
        setDefId(dialog, int(wParam));
        return TRUE;
    case WM_SETFOCUS: {
        DialogState* s = stateOf(dialog);
        HWND target = s && WIN_Get(s->focus) ? s->focus : nextTabItem(dialog, nullptr, false);
        if (!target)
            if (Window* d = WIN_Get(dialog); d && !d->children.empty()) target = d->children.front();
        if (target) focusControl(dialog, target);
        return 0;
    }
    default:
        return DefWindowProcA(dialog, msg, wParam, lParam);
    }
}

// Shows the dialog with the focus where the dialog manager put it.
void showDialog(HWND dialog) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    // Shown as Windows shows it: active, with the keyboard.
    SetForegroundWindow(dialog);
    keepClientSize(dialog);
    if (DialogState* s = stateOf(dialog); s && WIN_Get(s->focus)) SetFocus(s->focus);
}

std::string resIdText(const ResId& id) {
    return id.isOrdinal ? "#" + std::to_string(id.ordinal) : id.name;
}

// Creates the dialog of a template without showing it: the dialog window (its
// WM_CREATE comes while it has no controls), the controls in template order, then
// WM_INITDIALOG when there is a dialog procedure. Null when the template is
// missing or creation failed.
HWND createDialog(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM init) {
    installDialogKeys();
    std::optional<ResBytes> bytes = RES_Find(instance, RT_DIALOG, name);
    if (!bytes) return nullptr;
    std::optional<DialogTemplate> t = RES_ParseDialog(*bytes);
    if (!t) {
        SetLastError(kErrorResourceDataNotFound);
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
    HWND first = nextTabItem(dialog, nullptr, false);
    const LRESULT setFocus = proc ? SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), init) : 0;
    if (!WIN_Get(dialog)) return nullptr;
    if (setFocus && first && WIN_Get(first)) focusControl(dialog, first);
    if (t->style & WS_VISIBLE) showDialog(dialog);
    return dialog;
}
}  // namespace

void DIALOG_Register() {
    WindowClass cls;
    cls.name = "#32770";
    cls.proc = DefDlgProcA;
    cls.wndExtra = DLGWINDOWEXTRA;
    cls.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    CLASS_AddSystem(std::move(cls));
}
}  // namespace winshim

using namespace winshim;

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                                          LPARAM init) {
    return createDialog(instance, templateName, owner, proc, init);
}

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                                          LPARAM init) {
    if (owner && !WIN_Get(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND dialog = createDialog(instance, templateName, owner, proc, init);
    Window* w = WIN_Get(dialog);
    if (!w) return -1;
    w->modal = true;
    if (!w->dialogEnded) {
        Window* ownerWindow = WIN_Get(w->owner);
        if (ownerWindow && ownerWindow->enabled) {
            EnableWindow(w->owner, FALSE);
            if (DialogState* s = stateOf(dialog)) s->disabledOwner = ownerWindow->handle;
        }
        showDialog(dialog);
        MSG_RunModalLoop([dialog] {
            Window* d = WIN_Get(dialog);
            return !d || d->dialogEnded;
        });
    }
    if (!(w = WIN_Get(dialog))) return 0;
    const INT_PTR result = w->dialogResult;
    if (DialogState* s = stateOf(dialog); s && WIN_Get(s->disabledOwner)) EnableWindow(s->disabledOwner, TRUE);
    DestroyWindow(dialog);
    return result;
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Window* w = WIN_Get(dialog);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->dialogResult = result;
    w->dialogEnded = true;
    // The owner comes back before the dialog goes, so that it is the one activated.
    if (DialogState* s = stateOf(dialog); s && s->disabledOwner) {
        HWND owner = std::exchange(s->disabledOwner, nullptr);
        if (WIN_Get(owner)) EnableWindow(owner, TRUE);
    }
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

extern "C" LRESULT WINAPI DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(dialog);
    if (!w) return 0;
    if (DLGPROC proc = w->dlgProc) {
        setMsgResult(*w, 0);
        const INT_PTR handled = proc(dialog, msg, wParam, lParam);
        if (!(w = WIN_Get(dialog))) return answersDirectly(msg) ? handled : 0;
        if (handled) return answersDirectly(msg) ? handled : msgResult(*w);
    }
    return defaultDialog(dialog, msg, wParam, lParam);
}

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

extern "C" BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    if (!WIN_Get(dialog) || !rect) {
        SetLastError(rect ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = mapUnits(*rect);
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!WIN_Get(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND item = findItem(dialog, id);
    if (!item) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return item;
}

extern "C" int WINAPI GetDlgCtrlID(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->isChild() ? int(w->id) : 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? BOOL(SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    HWND item = GetDlgItem(dialog, id);
    if (item) return UINT(SendMessageA(item, WM_GETTEXT, WPARAM(std::max(size, 0)), reinterpret_cast<LPARAM>(buffer)));
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
}

extern "C" UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    std::string text(size_t(std::max<LRESULT>(0, SendMessageA(item, WM_GETTEXTLENGTH, 0, 0))) + 1, '\0');
    text.resize(size_t(SendMessageA(item, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()))));
    // Blanks around the number, a sign only when signed, decimal digits and nothing else.
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (isSigned && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t digits = i;
    unsigned long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + unsigned(text[i] - '0');
        if (value > UINT_MAX) return 0;
    }
    if (i == digits || text.find_first_not_of(' ', i) != std::string::npos) return 0;
    const unsigned long long limit = !isSigned ? UINT_MAX : negative ? 1ULL + INT_MAX : INT_MAX;
    if (value > limit) return 0;
    if (translated) *translated = TRUE;
    return negative ? UINT(0U - unsigned(value)) : UINT(value);
}
