// Menus: HMENU handles over menu trees loaded from the module's MENU resources,
// and the Qt menu bar that shows one.
#pragma once

#include <windows.h>

#include <functional>

class QMenuBar;

extern "C" {
// Not in the SDK subset the program sees; winshim itself frees menus with it.
}

namespace winshim {
// True while the handle names a menu that has not been destroyed.
bool MENU_IsMenu(HMENU menu);

// Fills the menu bar (emptied first) with the menu's pop-ups and items. Texts show
// literally, '&' included; a triggered item calls onCommand with its identifier.
// An invalid handle leaves the bar empty.
void MENU_Populate(HMENU menu, QMenuBar* bar, std::function<void(UINT id)> onCommand);
}  // namespace winshim
