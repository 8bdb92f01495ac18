#include "user32/menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/handles.h"
#include "core/log.h"
#include "core/resources.h"

namespace winshim {
namespace {

constexpr DWORD kErrorInvalidData = 13;
constexpr DWORD kErrorInvalidMenuHandle = 1401;
constexpr DWORD kErrorMenuItemNotFound = 1456;

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
        SetLastError(kErrorInvalidMenuHandle);
        return nullptr;
    }
    MenuItem* found = findItem(*menu, item, flags);
    if (!found) SetLastError(kErrorMenuItemNotFound);
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

}  // namespace

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
        SetLastError(winshim::kErrorInvalidData);
        return nullptr;
    }
    return winshim::build(*nodes);
}

extern "C" BOOL WINAPI DestroyMenu(HMENU handle) {
    winshim::Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(winshim::kErrorInvalidMenuHandle);
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
        SetLastError(winshim::kErrorInvalidMenuHandle);
        return nullptr;
    }
    if (pos < 0 || std::size_t(pos) >= menu->items.size()) return nullptr;
    const auto& item = menu->items[std::size_t(pos)];
    return (item.flags & MF_POPUP) ? item.sub : nullptr;
}

extern "C" int WINAPI GetMenuItemCount(HMENU handle) {
    winshim::Menu* menu = lookup(handle);
    if (!menu) {
        SetLastError(winshim::kErrorInvalidMenuHandle);
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
