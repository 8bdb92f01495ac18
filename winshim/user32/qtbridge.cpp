#include "user32/qtbridge.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <unordered_map>

#include "core/platform.h"
#include "user32/menu.h"
#include "user32/syskeys.h"
#include "user32/window.h"

namespace winshim {
namespace {
std::unordered_map<HWND, QPainter*>& activePainters() {
    static std::unordered_map<HWND, QPainter*> map;
    return map;
}

QColor classBackground(const Window& w, const QWidget* widget) {
    // Backgrounds are system colours (COLOR_* + 1) in this program; a brush handle
    // we do not know paints the button face, the dialog colour.
    auto index = reinterpret_cast<uintptr_t>(w.cls ? w.cls->background : nullptr);
    if (index == COLOR_WINDOW + 1) return widget->palette().color(QPalette::Base);
    return widget->palette().color(QPalette::Window);
}
}  // namespace

QPainter* PAINT_Current(HWND hwnd) {
    auto it = activePainters().find(hwnd);
    return it == activePainters().end() ? nullptr : it->second;
}

ClientWidget::ClientWidget(QWidget* parent, HWND hwnd) : QWidget(parent), hwnd_(hwnd) {
    setProperty("winshim.hwnd", QVariant::fromValue(reinterpret_cast<quintptr>(hwnd)));
}

void ClientWidget::paintEvent(QPaintEvent*) {
    Window* w = WIN_Get(hwnd_);
    if (!w) return;
    QPainter painter(this);
    painter.fillRect(rect(), classBackground(*w, this));
    activePainters()[hwnd_] = &painter;
    WIN_Send(hwnd_, WM_PAINT, 0, 0);
    activePainters().erase(hwnd_);
}

namespace {
// The frame and caption buttons the window manager should give a window of this style.
Qt::WindowFlags frameFlags(DWORD style) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
    if (style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((style & WS_CAPTION) == WS_CAPTION && (style & WS_MINIMIZEBOX)) flags |= Qt::WindowMinimizeButtonHint;
    if ((style & WS_CAPTION) == WS_CAPTION && (style & WS_MAXIMIZEBOX)) flags |= Qt::WindowMaximizeButtonHint;
    if ((style & WS_CAPTION) != WS_CAPTION && !(style & WS_THICKFRAME)) flags |= Qt::FramelessWindowHint;
    return flags;
}
}  // namespace

TopLevelWidget::TopLevelWidget(HWND hwnd, HMENU menu, DWORD style, QWidget* owner)
    : QWidget(nullptr, frameFlags(style)), hwnd_(hwnd), sizable_(style & WS_THICKFRAME) {
    // Not a Qt child of the owner: disabling the owner for a modal dialog must not
    // disable the dialog, and the owner's end is handled by DestroyWindow.
    if (owner) {
        winId();
        owner->window()->winId();
        windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    setProperty("winshim.hwnd", QVariant::fromValue(reinterpret_cast<quintptr>(hwnd)));
    if (menu) {
        menuBar_ = MENU_CreateBar(this);
        // Windows posts a chosen menu item's command once the menu has closed.
        MENU_Populate(menu, menuBar_, [hwnd](UINT id) { PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    }
    client_ = new ClientWidget(this, hwnd);
    SYSKEY_Install();
    // On Windows an activated window takes the focus itself; a control gets it
    // only when the program or the user gives it. Qt would hand it to the first
    // control that takes tab focus, unless the window holds it.
    setFocusPolicy(Qt::ClickFocus);
}

int TopLevelWidget::menuHeight() const { return menuBar_ ? menuBar_->sizeHint().height() : 0; }

void TopLevelWidget::layoutChildren() {
    int mh = menuHeight();
    if (menuBar_) menuBar_->setGeometry(0, 0, width(), mh);
    client_->setGeometry(0, mh, width(), std::max(0, height() - mh));
}

void TopLevelWidget::place(const QRect& outer) {
    placing_ = true;
    move(outer.topLeft());
    QSize size(std::max(0, outer.width() - frame_.left() - frame_.right()),
               std::max(0, outer.height() - frame_.top() - frame_.bottom()));
    // Without a sizing border the user cannot resize the window; the program can.
    if (!sizable_) setFixedSize(size);
    resize(size);
    layoutChildren();
    placing_ = false;
}

bool TopLevelWidget::learnFrame() {
    if (!isVisible() || isMinimized() || !windowHandle()) return false;
    QMargins m = windowHandle()->frameMargins();
    if (m == frame_ || m.left() < 0 || m.top() < 0 || m.right() < 0 || m.bottom() < 0) return false;
    frame_ = m;
    // The window manager framed us: shrink the client part so that the outer
    // rectangle stays the one the program asked for.
    if (Window* w = WIN_Get(hwnd_)) {
        const RECT& r = w->rect;
        place(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
        WIN_SendSize(*w, SIZE_RESTORED, WIN_ClientSize(*w));
    }
    return true;
}

void TopLevelWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!focusWidget()) setFocus(Qt::OtherFocusReason);
    learnFrame();
    // The window manager frames a new window some time after it is shown and
    // announces no event for it: look again while it settles.
    QPointer<TopLevelWidget> self(this);
    for (int ms : {50, 200, 600, 1500})
        QTimer::singleShot(ms, this, [self] {
            if (self) self->learnFrame();
        });
}

void TopLevelWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
    if (placing_ || learnFrame()) return;
    Window* w = WIN_Get(hwnd_);
    if (!w || w->minimized || isMinimized() || !isVisible()) return;
    // A resize by the user or the window manager: the outer size follows it.
    int outerW = width() + frame_.left() + frame_.right();
    int outerH = height() + frame_.top() + frame_.bottom();
    if (outerW == w->rect.right - w->rect.left && outerH == w->rect.bottom - w->rect.top) return;
    w->rect.right = w->rect.left + outerW;
    w->rect.bottom = w->rect.top + outerH;
    WIN_SendSize(*w, SIZE_RESTORED, WIN_ClientSize(*w));
}

void TopLevelWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (placing_ || !PLATFORM_KnowsPositions()) return;
    Window* w = WIN_Get(hwnd_);
    if (!w || w->minimized || isMinimized() || !isVisible()) return;
    QPoint p = frameGeometry().topLeft();
    LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
    w->rect = RECT{p.x(), p.y(), p.x() + width, p.y() + height};
}

void TopLevelWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    Window* w = WIN_Get(hwnd_);
    if (!w) return;
    // The window manager changed our state (minimise button, task bar): a Windows
    // program hears of it as WM_SYSCOMMAND first, and DefWindowProcA carries it out.
    if (isMinimized() && !w->minimized) {
        WIN_Send(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if ((w = WIN_Get(hwnd_)) && !w->minimized) showNormal();
    } else if (!isMinimized() && w->minimized) {
        WIN_Send(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
        if ((w = WIN_Get(hwnd_)) && w->minimized) showMinimized();
    }
}

void TopLevelWidget::closeEvent(QCloseEvent* event) {
    // Whether the window closes is the window procedure's decision.
    event->ignore();
    Window* w = WIN_Get(hwnd_);
    if (w && w->enabled && !w->destroying) WIN_Send(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

}  // namespace winshim
