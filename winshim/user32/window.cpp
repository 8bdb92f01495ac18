// Window objects: creation, destruction, the handle table, window longs and text.
#include "user32/window.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "core/app.h"
#include "core/log.h"
#include "desktop/inhibit.h"
#include "desktop/mpris.h"
#include "user32/appcommand.h"
#include "user32/icon.h"
#include "user32/qtbridge.h"

namespace winshim {
namespace {
// Ordered by handle value, which is creation order.
std::map<HWND, std::unique_ptr<Window>>& table() {
    static std::map<HWND, std::unique_ptr<Window>> map;
    return map;
}
uintptr_t g_nextHandle = 0x10010;

void placeChild(Window& w) {
    const RECT& r = w.rect;
    w.widget->setGeometry(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
}

// Parent first, then its children: the children still exist during the
// parent's WM_DESTROY, as on Windows.
void sendDestroy(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) return;
    w->destroying = true;
    WIN_Send(hwnd, WM_DESTROY, 0, 0);
    if (!(w = WIN_Get(hwnd))) return;
    for (HWND child : std::vector<HWND>(w->children)) sendDestroy(child);
}

// Children first, then the window: its WM_NCDESTROY is the last message it gets.
void finishDestroy(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) return;
    for (HWND child : std::vector<HWND>(w->children)) finishDestroy(child);
    WIN_Send(hwnd, WM_NCDESTROY, 0, 0);
    MSG_ForgetWindow(hwnd);
    LINK_OnDestroyed(hwnd);
    if (Window* parent = WIN_Get(w->parent)) std::erase(parent->children, hwnd);
    table().erase(hwnd);
}
}  // namespace

HWND WIN_NewHandle() {
    HWND h = reinterpret_cast<HWND>(g_nextHandle);
    g_nextHandle += 4;
    return h;
}

Window* WIN_Get(HWND hwnd) {
    auto it = table().find(hwnd);
    return it == table().end() ? nullptr : it->second.get();
}

Window* WIN_FromWidget(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        QVariant v = widget->property("winshim.hwnd");
        if (v.isValid()) return WIN_Get(reinterpret_cast<HWND>(v.value<quintptr>()));
    }
    return nullptr;
}

std::vector<HWND> WIN_TopLevels() {
    std::vector<HWND> list;
    for (auto& [h, w] : table())
        if (!w->isChild() && !w->destroying) list.push_back(h);
    return list;
}

void WIN_CommandToParent(const Window& control, WORD code) {
    WIN_Send(control.parent, WM_COMMAND, MAKEWPARAM(control.id, code), reinterpret_cast<LPARAM>(control.handle));
}

LRESULT WIN_NotifyParent(const Window& control, UINT code, NMHDR* header) {
    header->hwndFrom = control.handle;
    header->idFrom = static_cast<UINT_PTR>(control.id);
    header->code = code;
    return WIN_Send(control.parent, WM_NOTIFY, static_cast<WPARAM>(control.id), reinterpret_cast<LPARAM>(header));
}
}  // namespace winshim

using namespace winshim;

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                       int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                                       LPVOID param) {
    APP_Ensure();
    APPCOMMAND_InstallKeys();
    WindowClass* cls = IS_INTRESOURCE(className) ? nullptr : CLASS_Find(className);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const bool child = style & WS_CHILD;
    Window* parentWindow = WIN_Get(parent);
    if (child && !parentWindow) {
        SetLastError(parent ? ERROR_INVALID_WINDOW_HANDLE : ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (!child && parent && !parentWindow) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto owned = std::make_unique<Window>();
    Window& w = *owned;
    w.handle = WIN_NewHandle();
    w.cls = cls;
    w.proc = cls->proc;
    w.style = style & ~(WS_VISIBLE | WS_DISABLED);
    w.exStyle = exStyle;
    w.text = windowName ? windowName : "";
    w.instance = instance;
    w.extra.assign(std::max(cls->wndExtra, 0), 0);
    w.enabled = !(style & WS_DISABLED);
    if (child) {
        w.parent = parent;
        w.id = reinterpret_cast<LONG_PTR>(menuOrId);
    } else {
        // The owner of a top-level window is always a top-level window.
        while (parentWindow && parentWindow->isChild()) parentWindow = WIN_Get(parentWindow->parent);
        w.owner = parentWindow ? parentWindow->handle : nullptr;
        w.menu = menuOrId;
        if (!w.menu && !cls->menuName.empty()) w.menu = LoadMenuA(cls->instance, cls->menuName.c_str());
    }
    if (x == CW_USEDEFAULT) x = y = child ? 0 : 100;
    if (width == CW_USEDEFAULT) width = height = child ? 0 : 400;
    w.rect = RECT{x, y, x + width, y + height};

    if (child) {
        QWidget* parentClient = parentWindow->client;
        w.widget = cls->makeWidget ? cls->makeWidget(w, parentClient) : new ClientWidget(parentClient, w.handle);
        w.client = w.widget;
        w.widget->setProperty("winshim.hwnd", QVariant::fromValue(reinterpret_cast<quintptr>(w.handle)));
        w.widget->hide();
        placeChild(w);
    } else {
        Window* owner = WIN_Get(w.owner);
        auto* top = new TopLevelWidget(w.handle, w.menu, style, owner ? owner->widget.data() : nullptr);
        w.widget = top;
        w.client = top->client();
        top->setWindowTitle(QString::fromLocal8Bit(w.text.c_str()));
        if (cls->icon) top->setWindowIcon(ICON_ToQIcon(cls->icon));
        top->place(QRect(w.rect.left, w.rect.top, width, height));
    }
    w.widget->setEnabled(w.enabled);

    HWND hwnd = w.handle;
    table()[hwnd] = std::move(owned);
    if (parentWindow && child) parentWindow->children.push_back(hwnd);
    WS_LOG("win", "create %p class %s style %08x", static_cast<void*>(hwnd), cls->name.c_str(), unsigned(style));

    CREATESTRUCTA cs{param, instance, menuOrId,    parent,     height,    width,
                     y,     x,        LONG(style), windowName, className, exStyle};
    if (!WIN_Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        WIN_Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!WIN_Get(hwnd)) return nullptr;
    if (!child && !cls->system) LINK_OnTopLevelCreated(hwnd, cls->name);
    // A program's own top-level window is what the desktop's media controls talk to,
    // and what keeps the machine awake while its disc plays.
    if (!child && !cls->system) {
        MPRIS_Watch();
        INHIBIT_Watch();
    }
    if (child) LABEL_Relate(parent);
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    // Owned windows go first, as on Windows.
    for (HWND other : WIN_TopLevels())
        if (Window* o = WIN_Get(other); o && o->owner == hwnd) DestroyWindow(other);
    if (!(w = WIN_Get(hwnd))) return TRUE;
    QPointer<QWidget> widget = w->widget;
    if (widget) widget->hide();
    sendDestroy(hwnd);
    finishDestroy(hwnd);
    // Deferred: the widget may be the sender of the signal we are running in.
    if (widget) {
        widget->setProperty("winshim.hwnd", QVariant());
        widget->deleteLater();
    }
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hwnd) {
    return WIN_Get(hwnd) != nullptr || LINK_IsRemote(hwnd);
}

extern "C" HWND WINAPI GetParent(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (w->isChild()) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

extern "C" int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
    Window* w = WIN_Get(hwnd);
    if (!w || !buffer || size <= 0) {
        SetLastError(w ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    size_t n = std::min<size_t>(w->cls->name.size(), size - 1);
    std::memcpy(buffer, w->cls->name.data(), n);
    buffer[n] = 0;
    return int(n);
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_STYLE:
        return LONG(w->style | (w->visible ? WS_VISIBLE : 0) | (w->enabled ? 0 : WS_DISABLED));
    case GWL_EXSTYLE:
        return LONG(w->exStyle);
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->isChild() ? w->parent : w->owner);
    }
    if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(hwnd, index);
    switch (index) {
    case GWL_STYLE: {
        STYLESTRUCT ss{DWORD(old), DWORD(value)};
        WIN_Send(hwnd, WM_STYLECHANGING, WPARAM(GWL_STYLE), reinterpret_cast<LPARAM>(&ss));
        if (!(w = WIN_Get(hwnd))) return old;
        // Visibility and enabled state have their own functions; the bits alone
        // change nothing on screen, as on Windows.
        w->style = ss.styleNew & ~(WS_VISIBLE | WS_DISABLED);
        w->visible = ss.styleNew & WS_VISIBLE;
        w->enabled = !(ss.styleNew & WS_DISABLED);
        WIN_Send(hwnd, WM_STYLECHANGED, WPARAM(GWL_STYLE), reinterpret_cast<LPARAM>(&ss));
        return old;
    }
    case GWL_EXSTYLE:
        w->exStyle = DWORD(value);
        return old;
    case GWL_ID:
        w->id = value;
        return old;
    case GWL_USERDATA:
        w->userData = value;
        return old;
    case GWL_WNDPROC:
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWL_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    }
    if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

extern "C" LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
    if (index >= 0) {
        // 32-bit slots of the extra bytes.
        Window* w = WIN_Get(hwnd);
        if (!w || size_t(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(w ? ERROR_INVALID_INDEX : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG value;
        std::memcpy(&value, w->extra.data() + index, sizeof value);
        return value;
    }
    return LONG(GetWindowLongPtrA(hwnd, index));
}

extern "C" LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
    if (index >= 0) {
        Window* w = WIN_Get(hwnd);
        if (!w || size_t(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(w ? ERROR_INVALID_INDEX : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG old;
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
    // Styles are 32-bit values: keep them unsigned on the way to the 64-bit slot.
    LONG_PTR wide = (index == GWL_STYLE || index == GWL_EXSTYLE) ? LONG_PTR(DWORD(value)) : LONG_PTR(value);
    return LONG(SetWindowLongPtrA(hwnd, index, wide));
}

extern "C" int WINAPI GetWindowTextLengthA(HWND hwnd) {
    return int(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

extern "C" int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    return int(SendMessageA(hwnd, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

extern "C" BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!WIN_Get(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return BOOL(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}
