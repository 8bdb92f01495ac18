// Placement, visibility, enabled state, focus and coordinates of windows.
#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <algorithm>

#include "core/app.h"
#include "user32/activate.h"
#include "user32/qtbridge.h"
#include "user32/window.h"

namespace winshim {
namespace {
TopLevelWidget* topWidget(const Window& w) {
    return w.isChild() ? nullptr : qobject_cast<TopLevelWidget*>(w.widget);
}

bool ancestorsVisible(const Window* w) {
    for (; w; w = w->isChild() ? WIN_Get(w->parent) : nullptr)
        if (!w->visible) return false;
    return true;
}
}  // namespace

SIZE WIN_ClientSize(const Window& w) {
    LONG width = std::max<LONG>(0, w.rect.right - w.rect.left);
    LONG height = std::max<LONG>(0, w.rect.bottom - w.rect.top);
    if (TopLevelWidget* top = topWidget(w)) {
        if (w.minimized) return SIZE{0, 0};
        QMargins f = top->frame();
        width = std::max<LONG>(0, width - f.left() - f.right());
        height = std::max<LONG>(0, height - f.top() - f.bottom() - top->menuHeight());
    }
    return SIZE{width, height};
}

POINT WIN_ClientOrigin(const Window& w) {
    if (TopLevelWidget* top = topWidget(w)) {
        QMargins f = top->frame();
        return POINT{w.rect.left + f.left(), w.rect.top + f.top() + top->menuHeight()};
    }
    if (Window* parent = WIN_Get(w.parent)) {
        POINT origin = WIN_ClientOrigin(*parent);
        return POINT{origin.x + w.rect.left, origin.y + w.rect.top};
    }
    return POINT{w.rect.left, w.rect.top};
}

void WIN_SendSize(Window& w, WPARAM kind, SIZE client) {
    if (kind != SIZE_MINIMIZED && w.sizeSent && w.lastClient.cx == client.cx && w.lastClient.cy == client.cy) return;
    w.sizeSent = true;
    w.lastClient = kind == SIZE_MINIMIZED ? SIZE{0, 0} : client;
    WIN_Send(w.handle, WM_SIZE, kind,
             MAKELPARAM(kind == SIZE_MINIMIZED ? 0 : client.cx, kind == SIZE_MINIMIZED ? 0 : client.cy));
}

void WIN_ApplyGeometry(Window& w) {
    const RECT& r = w.rect;
    if (TopLevelWidget* top = topWidget(w)) {
        if (!w.minimized) top->place(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    } else if (w.widget) {
        w.widget->setGeometry(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
    }
    if (!w.minimized) WIN_SendSize(w, SIZE_RESTORED, WIN_ClientSize(w));
}
}  // namespace winshim

using namespace winshim;

extern "C" BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // A negative size is an empty one, as on Windows.
    width = std::max(width, 0);
    height = std::max(height, 0);
    // A sizeable or overlapped top-level window is kept between its minimum and
    // maximum tracking sizes, which its procedure may change through WM_GETMINMAXINFO.
    if (!w->isChild() && ((w->style & WS_THICKFRAME) || !(w->style & WS_POPUP))) {
        MINMAXINFO limits{};
        limits.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
        limits.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
        WIN_Send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        if (!(w = WIN_Get(hwnd))) return FALSE;
        const POINT least = limits.ptMinTrackSize, most = limits.ptMaxTrackSize;
        width = std::clamp<int>(width, least.x, std::max(least.x, most.x));
        height = std::clamp<int>(height, least.y, std::max(least.y, most.y));
    }
    w->rect = RECT{x, y, x + width, y + height};
    WIN_ApplyGeometry(*w);
    if (repaint && (w = WIN_Get(hwnd)) && w->widget) w->widget->update();
    return TRUE;
}

extern "C" BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = WIN_Get(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Windows parks a minimised top-level window out of sight, at the size of its
    // minimised caption (160 by 28 in Windows 10 at 96 dpi); where it will be
    // restored is its placement.
    if (w->minimized && !w->isChild()) {
        *rect = RECT{-32000, -32000, -32000 + 160, -32000 + 28};
        return TRUE;
    }
    *rect = w->rect;
    if (w->isChild()) {
        POINT origin{0, 0};
        if (Window* parent = WIN_Get(w->parent)) origin = WIN_ClientOrigin(*parent);
        rect->left += origin.x;
        rect->right += origin.x;
        rect->top += origin.y;
        rect->bottom += origin.y;
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = WIN_Get(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    SIZE s = WIN_ClientSize(*w);
    *rect = RECT{0, 0, s.cx, s.cy};
    return TRUE;
}

extern "C" BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    Window* w = WIN_Get(hwnd);
    if (!w || !point) return FALSE;
    POINT origin = WIN_ClientOrigin(*w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

extern "C" BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    Window* w = WIN_Get(hwnd);
    if (!w || !point) return FALSE;
    POINT origin = WIN_ClientOrigin(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
    if (LINK_IsRemote(hwnd)) return LINK_ShowWindow(hwnd, cmdShow);
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const BOOL wasVisible = w->visible;
    TopLevelWidget* top = topWidget(*w);
    switch (cmdShow) {
    case SW_HIDE:
        w->visible = false;
        if (w->widget) w->widget->hide();
        return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        w->visible = true;
        if (!top) {
            if (w->widget) w->widget->show();
            return wasVisible;
        }
        if (!w->minimized) {
            w->minimized = true;
            top->showMinimized();
            WIN_SendSize(*w, SIZE_MINIMIZED, SIZE{0, 0});
        }
        return wasVisible;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
        w->visible = true;
        if (top && w->minimized) {
            w->minimized = false;
            top->showNormal();
            top->place(QRect(w->rect.left, w->rect.top, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top));
            WIN_SendSize(*w, SIZE_RESTORED, WIN_ClientSize(*w));
        } else if (w->widget) {
            w->widget->show();
        }
        break;
    case SW_MAXIMIZE:
        w->visible = true;
        // Straight from minimised to maximised: no restore happens on the way.
        w->minimized = false;
        if (top) top->showMaximized();
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        w->visible = true;
        if (w->widget && !(top && w->minimized)) w->widget->show();
        return wasVisible;
    default:  // SW_SHOW
        w->visible = true;
        if (w->widget && !(top && w->minimized)) w->widget->show();
        break;
    }
    // These commands also activate a top-level window, as on Windows. The window
    // procedure may have destroyed the window while handling WM_SIZE.
    w = WIN_Get(hwnd);
    if (top && w && !w->minimized) top->activateWindow();
    return wasVisible;
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    if (LINK_IsRemote(hwnd)) return LINK_SetForegroundWindow(hwnd);
    return ACTIVATE_Window(hwnd, {}, {});
}

extern "C" BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const BOOL wasDisabled = !w->enabled;
    if (bool(enable) == w->enabled) return wasDisabled;
    w->enabled = enable;
    if (w->widget) w->widget->setEnabled(enable);
    WIN_Send(hwnd, WM_ENABLE, WPARAM(enable ? TRUE : FALSE), 0);
    return wasDisabled;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    return w && w->enabled;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hwnd) {
    return ancestorsVisible(WIN_Get(hwnd));
}

extern "C" BOOL WINAPI IsIconic(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    return w && w->minimized;
}

extern "C" HWND WINAPI SetFocus(HWND hwnd) {
    HWND previous = GetFocus();
    Window* w = WIN_Get(hwnd);
    if (w && w->widget) w->widget->setFocus(Qt::OtherFocusReason);
    return previous;
}

extern "C" HWND WINAPI GetFocus(void) {
    Window* w = WIN_FromWidget(QApplication::focusWidget());
    return w ? w->handle : nullptr;
}

extern "C" BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    APP_Ensure();
    QPoint p = APP_CursorPos();
    *point = POINT{p.x(), p.y()};
    return TRUE;
}

extern "C" int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        QScreen* screen = APP_Ensure()->primaryScreen();
        QRect g = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        return index == SM_CXSCREEN ? g.width() : g.height();
    }
    // The virtual screen holds every monitor.
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN: {
        QScreen* screen = APP_Ensure()->primaryScreen();
        QRect g = screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
        return index == SM_XVIRTUALSCREEN    ? g.x()
               : index == SM_YVIRTUALSCREEN  ? g.y()
               : index == SM_CXVIRTUALSCREEN ? g.width()
                                             : g.height();
    }
    // The whole desktop with a sizing frame on both sides, and a little more, as Windows reports.
    case SM_CXMAXTRACK:
        return GetSystemMetrics(SM_CXVIRTUALSCREEN) + 4 + 2 * GetSystemMetrics(SM_CXFRAME);
    case SM_CYMAXTRACK:
        return GetSystemMetrics(SM_CYVIRTUALSCREEN) + 4 + 2 * GetSystemMetrics(SM_CYFRAME);
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 23;
    case SM_CYMENU:
        return 20;
    // Windows 10's at 96 dpi: a caption with its icon and three buttons.
    case SM_CXMINTRACK:
        return 136;
    case SM_CYMINTRACK:
        return 39;
    default:
        return 0;
    }
}

// --- placement and monitors --------------------------------------------------

namespace {
// A monitor is a Qt screen; its handle is its place in Qt's list, counted from 1.
HMONITOR monitorHandle(int index) {
    return reinterpret_cast<HMONITOR>(static_cast<quintptr>(index + 1));
}

QScreen* screenOf(HMONITOR monitor) {
    const QList<QScreen*> screens = APP_Ensure()->screens();
    const qsizetype index = qsizetype(reinterpret_cast<quintptr>(monitor)) - 1;
    return index >= 0 && index < screens.size() ? screens[index] : nullptr;
}

RECT toRect(const QRect& r) {
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// The screen that holds most of `r`, else (by `flags`) the nearest or the primary.
HMONITOR monitorOf(const RECT& r, DWORD flags) {
    const QList<QScreen*> screens = APP_Ensure()->screens();
    const QRect area(QPoint(r.left, r.top),
                     QSize(std::max<LONG>(1, r.right - r.left), std::max<LONG>(1, r.bottom - r.top)));
    int best = -1;
    long long bestShare = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect common = screens[i]->geometry().intersected(area);
        const long long share = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
        if (share > bestShare) {
            bestShare = share;
            best = i;
        }
    }
    if (best >= 0) return monitorHandle(best);
    if (flags == MONITOR_DEFAULTTONULL || screens.isEmpty()) return nullptr;
    int chosen = int(screens.indexOf(APP_Ensure()->primaryScreen()));
    if (flags == MONITOR_DEFAULTTONEAREST) {
        long long nearest = -1;
        for (int i = 0; i < screens.size(); ++i) {
            const QRect g = screens[i]->geometry();
            const long long dx = std::max({0, g.left() - area.right(), area.left() - g.right()});
            const long long dy = std::max({0, g.top() - area.bottom(), area.top() - g.bottom()});
            if (nearest < 0 || dx * dx + dy * dy < nearest) {
                nearest = dx * dx + dy * dy;
                chosen = i;
            }
        }
    }
    return monitorHandle(std::max(chosen, 0));
}
}  // namespace

extern "C" HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD flags) {
    const Window* w = WIN_Get(hwnd);
    if (!w) return flags == MONITOR_DEFAULTTONULL ? nullptr : monitorOf(RECT{}, flags);
    // A minimised window counts where it will be restored, as on Windows.
    RECT r = w->rect;
    if (!w->minimized) GetWindowRect(hwnd, &r);
    return monitorOf(r, flags);
}

extern "C" BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    QScreen* screen = screenOf(monitor);
    if (!screen || !info || info->cbSize < sizeof(MONITORINFO)) return FALSE;
    info->rcMonitor = toRect(screen->geometry());
    info->rcWork = toRect(screen->availableGeometry());
    info->dwFlags = screen == APP_Ensure()->primaryScreen() ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

// The restored rectangle of a top-level window is in workspace coordinates: from
// the corner of its monitor's work area rather than of the screen.
extern "C" BOOL WINAPI GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    Window* w = WIN_Get(hwnd);
    if (!w || !placement || placement->length != sizeof(WINDOWPLACEMENT)) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    placement->flags = 0;
    placement->showCmd = w->minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    RECT r = w->rect;
    if (!w->isChild()) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoA(monitorOf(r, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const LONG dx = monitor.rcWork.left - monitor.rcMonitor.left;
            const LONG dy = monitor.rcWork.top - monitor.rcMonitor.top;
            r = RECT{r.left - dx, r.top - dy, r.right - dx, r.bottom - dy};
        }
    }
    placement->rcNormalPosition = r;
    return TRUE;
}
