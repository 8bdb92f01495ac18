#include "user32/window.h"

namespace winshim {
void LISTVIEW_Register() {}
void STATUS_Register() {}
void TRACKBAR_Register() {}
}  // namespace winshim
