#include "user32/window.h"

namespace winshim {
void BUTTON_Register() {}
void STATIC_Register() {}
void EDIT_Register() {}
void LISTBOX_Register() {}
void COMBO_Register() {}
void DIALOG_Register() {}
}  // namespace winshim
