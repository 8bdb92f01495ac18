// comctl32's window classes, which the library registers itself when the
// program calls InitCommonControls or InitCommonControlsEx.
#pragma once

namespace winshim {

void LISTVIEW_Register();
void STATUS_Register();
void TRACKBAR_Register();

}  // namespace winshim
