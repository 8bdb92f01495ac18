#include "user32/menu.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QString>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/app.h"
#include "core/handles.h"
#include "core/log.h"
#include "core/resources.h"
#include "user32/qtbridge.h"
#include "user32/syskeys.h"
#include "user32/window.h"

namespace winshim {
namespace {

struct MenuItem {
    UINT flags = 0;  // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED, ...
    UINT id = 0;
    std::string text;
    HMENU sub = nullptr;  // the pop-up's own menu
};

struct Menu {
    std::vector<MenuItem> items;
};

HandleTable<HMENU, Menu>& table() {
    static HandleTable<HMENU, Menu> menus(0x4D000001);
    return menus;
}

Menu* lookup(HMENU handle) { return table().find(handle); }

HMENU build(const std::vector<MenuNode>& nodes) {
    Menu menu;
    for (const MenuNode& node : nodes) {
        MenuItem item{node.flags, node.id, node.text, nullptr};
        if (node.flags & MF_POPUP) item.sub = build(node.children);
        menu.items.push_back(std::move(item));
    }
    return table().add(std::move(menu));
}

// The item that (item, flags) names, as Windows finds it: by position in this menu,
// or by command identifier anywhere in the tree, pop-ups searched depth-first.
MenuItem* findItem(Menu& menu, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return item < menu.items.size() ? &menu.items[item] : nullptr;
    for (MenuItem& entry : menu.items) {
        if (entry.flags & MF_POPUP) {
            if (Menu* sub = lookup(entry.sub))
                if (MenuItem* found = findItem(*sub, item, flags)) return found;
        } else if (entry.id == item && !(entry.flags & MF_SEPARATOR)) {
            return &entry;
        }
    }
    return nullptr;
}

MenuItem* findItem(HMENU handle, UINT item, UINT flags) {
    Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    MenuItem* found = findItem(*menu, item, flags);
    if (!found) SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return found;
}

QString qtText(const std::string& text) {
    // Qt reads '&' as a mnemonic marker; the menu's texts carry none and show '&' as is.
    return QString::fromStdString(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

template <typename Container>
void fill(Container* target, const Menu& menu, const std::function<void(UINT)>& onCommand) {
    for (const MenuItem& item : menu.items) {
        if (item.flags & MF_SEPARATOR) {
            target->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (item.flags & MF_POPUP) {
            QMenu* popup = target->addMenu(qtText(item.text));
            if (const Menu* sub = lookup(item.sub)) fill(popup, *sub, onCommand);
            action = popup->menuAction();
        } else {
            action = target->addAction(qtText(item.text));
            UINT id = item.id;
            QObject::connect(action, &QAction::triggered, action, [onCommand, id] {
                if (onCommand) onCommand(id);
            });
        }
        action->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
        if (item.flags & MF_CHECKED) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
}

// Qt's menu bar walks by keyboard (arrows, Enter, Escape) only under a style
// that asks for it, and the desktop's style may not.
class KeyboardMenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

void sendKey(QWidget* target, Qt::Key key) {
    SysKeyBypass bypass;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// A menu bar that the keyboard can take as Windows gives it, with a title
// chosen and no pop-up open, and that gives the keyboard back where it was
// when it leaves that state (Escape, a chosen item, F10 again).
class KeyboardMenuBar : public QMenuBar {
public:
    explicit KeyboardMenuBar(QWidget* parent) : QMenuBar(parent) {
        connect(this, &QMenuBar::triggered, this, [this] { leave(); });
    }
    bool tracking() const { return previous_ || hasFocus(); }
    void enter(QAction* title) {
        if (!tracking()) previous_ = QApplication::focusWidget();
        // Choosing a title without opening it is what hovering does.
        const QPointF at = QRectF(actionGeometry(title)).center();
        QMouseEvent hover(QEvent::MouseMove, at, mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(this, &hover);
        setFocus(Qt::MenuBarFocusReason);
    }
    void leave() {
        if (activeAction() && !QApplication::activePopupWidget()) sendKey(this, Qt::Key_Escape);
        QPointer<QWidget> back = std::exchange(previous_, nullptr);
        if (back && hasFocus()) back->setFocus(Qt::MenuBarFocusReason);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        QMenuBar::keyPressEvent(event);
        if (!activeAction() && !QApplication::activePopupWidget()) leave();
    }

private:
    QPointer<QWidget> previous_;
};

// The pop-up whose title has `key` as its mnemonic: the character after a single
// '&', compared without case, as Windows finds it.
int mnemonicOf(const Menu& menu, UINT key) {
    const QChar wanted = QChar(char16_t(key)).toUpper();
    for (size_t i = 0; i < menu.items.size(); ++i) {
        const QString text = QString::fromStdString(menu.items[i].text);
        for (qsizetype at = text.indexOf('&'); at >= 0 && at + 1 < text.size(); at = text.indexOf('&', at + 2)) {
            if (text[at + 1] == '&') continue;
            if (text[at + 1].toUpper() == wanted) return int(i);
            break;
        }
    }
    return -1;
}

// The window menu that Alt+Space opens when no window manager took the key
// first: what the window's style allows, chosen by keyboard or mouse, comes back
// as WM_SYSCOMMAND as it does on Windows.
void showWindowMenu(const Window& w, QWidget* window) {
    struct Entry {
        const char* text;
        UINT command;
        bool enabled;
    };
    const bool caption = (w.style & WS_CAPTION) == WS_CAPTION;
    const Entry entries[] = {
        {"Restore", SC_RESTORE, w.minimized || window->isMaximized()},
        {"Minimize", SC_MINIMIZE, caption && (w.style & WS_MINIMIZEBOX) && !w.minimized},
        {"Maximize", SC_MAXIMIZE, caption && (w.style & WS_MAXIMIZEBOX) && !window->isMaximized()},
        {nullptr, 0, false},
        {"Close\tAlt+F4", SC_CLOSE, true},
    };
    auto* popup = new QMenu(window);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    const HWND hwnd = w.handle;
    for (const Entry& e : entries) {
        if (!e.text) {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(QString::fromLatin1(e.text));
        action->setEnabled(e.enabled);
        QObject::connect(action, &QAction::triggered, action,
                         [hwnd, e] { PostMessageA(hwnd, WM_SYSCOMMAND, e.command, 0); });
    }
    popup->popup(window->mapToGlobal(QPoint(0, 0)));
    sendKey(popup, Qt::Key_Down);
}

}  // namespace

QMenuBar* MENU_CreateBar(QWidget* window) {
    static QPointer<KeyboardMenuStyle> style;
    if (!style) {
        style = new KeyboardMenuStyle;
        style->setParent(APP_Ensure());
    }
    auto* bar = new KeyboardMenuBar(window);
    bar->setStyle(style);
    return bar;
}

void MENU_TrackKeyboard(HWND hwnd, UINT key) {
    Window* w = WIN_Get(hwnd);
    while (w && w->isChild()) w = WIN_Get(w->parent);
    auto* top = w ? qobject_cast<TopLevelWidget*>(w->widget) : nullptr;
    auto* bar = top ? dynamic_cast<KeyboardMenuBar*>(top->menuBar()) : nullptr;
    Menu* menu = w ? lookup(w->menu) : nullptr;
    if (key == ' ') {
        if (w && w->widget && w->enabled) showWindowMenu(*w, w->widget);
        return;
    }
    if (!bar || !menu || !w->enabled || bar->actions().isEmpty()) {
        if (key) QApplication::beep();
        return;
    }
    if (!key) {
        // F10 or Alt again leaves the menu bar.
        if (bar->tracking())
            bar->leave();
        else
            bar->enter(bar->actions().front());
        return;
    }
    const int index = mnemonicOf(*menu, key);
    if (index < 0 || index >= bar->actions().size()) {
        QApplication::beep();
        bar->leave();
        return;
    }
    bar->enter(bar->actions()[index]);
    sendKey(bar, Qt::Key_Down);
}

bool MENU_IsMenu(HMENU menu) {
    return lookup(menu) != nullptr;
}

void MENU_Populate(HMENU handle, QMenuBar* bar, std::function<void(UINT id)> onCommand) {
    if (!bar) return;
    bar->clear();
    Menu* menu = lookup(handle);
    if (!menu) {
        WS_LOG("menu", "MENU_Populate: invalid menu %p", static_cast<void*>(handle));
        return;
    }
    fill(bar, *menu, onCommand);
}

}  // namespace winshim

using winshim::lookup;

extern "C" HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) {
    auto bytes = winshim::RES_Find(instance, RT_MENU, name);
    if (!bytes) return nullptr;
    auto nodes = winshim::RES_ParseMenu(*bytes);
    if (!nodes) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return winshim::build(*nodes);
}

extern "C" BOOL WINAPI DestroyMenu(HMENU handle) {
    winshim::Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    std::vector<HMENU> subs;
    for (const auto& item : menu->items)
        if (item.sub) subs.push_back(item.sub);
    winshim::table().remove(handle);
    for (HMENU sub : subs) DestroyMenu(sub);
    return TRUE;
}

extern "C" HMENU WINAPI GetSubMenu(HMENU handle, int pos) {
    winshim::Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    if (pos < 0 || std::size_t(pos) >= menu->items.size()) return nullptr;
    const auto& item = menu->items[std::size_t(pos)];
    return (item.flags & MF_POPUP) ? item.sub : nullptr;
}

extern "C" int WINAPI GetMenuItemCount(HMENU handle) {
    winshim::Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return int(menu->items.size());
}

extern "C" UINT WINAPI GetMenuItemID(HMENU handle, int pos) {
    winshim::Menu* menu = lookup(handle);
    if (!menu || pos < 0 || std::size_t(pos) >= menu->items.size()) return UINT(-1);
    const auto& item = menu->items[std::size_t(pos)];
    return (item.flags & MF_POPUP) ? UINT(-1) : item.id;
}

extern "C" UINT WINAPI GetMenuState(HMENU handle, UINT item, UINT flags) {
    winshim::MenuItem* found = winshim::findItem(handle, item, flags);
    if (!found) return UINT(-1);
    if (found->flags & MF_POPUP) {
        // A pop-up answers its item count in the high byte and its flags in the low one.
        winshim::Menu* sub = lookup(found->sub);
        if (!sub) return UINT(-1);
        return UINT(sub->items.size()) << 8 | (found->flags & 0xFF);
    }
    return found->flags;
}

extern "C" int WINAPI GetMenuStringA(HMENU handle, UINT item, LPSTR buffer, int size, UINT flags) {
    winshim::MenuItem* found = winshim::findItem(handle, item, flags);
    if (!found) return 0;
    const std::string& text = found->text;
    if (!buffer || size <= 0) return int(text.size());
    std::size_t n = std::min(text.size(), std::size_t(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return int(n);
}
