// Menus: HMENU handles over menu trees loaded from the module's MENU resources,
// and the Qt menu bar that shows one.
#pragma once

#include <windows.h>

#include <functional>

class QMenuBar;
class QWidget;

namespace winshim {
// True while the handle names a menu that has not been destroyed.
bool MENU_IsMenu(HMENU menu);

// Fills the menu bar (emptied first) with the menu's pop-ups and items. Texts show
// literally, '&' included; a triggered item calls onCommand with its identifier.
// An invalid handle leaves the bar empty.
void MENU_Populate(HMENU menu, QMenuBar* bar, std::function<void(UINT id)> onCommand);

// A menu bar for the window that can be walked by keyboard: arrows move, Enter
// and Down open, Escape goes back.
QMenuBar* MENU_CreateBar(QWidget* window);

// What WM_SYSCOMMAND with SC_KEYMENU does for the window (or its top-level
// window): key 0 (F10, a lone Alt) gives the menu bar the keyboard with its
// first title chosen, or takes it back; a character opens the pop-up whose
// mnemonic it is, and beeps when there is none.
void MENU_TrackKeyboard(HWND hwnd, UINT key);
}  // namespace winshim
