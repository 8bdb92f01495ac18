// Who the program is to the Linux desktop: the application id by which a shell matches
// its windows to the installed desktop entry and icon.
#pragma once

namespace winshim {
// Names the running QApplication; called before its first window exists.
void DESKTOP_Identify();
}  // namespace winshim
