// Raising a top-level window on behalf of a process that a launcher started: the
// desktop raises a window only for the launch it expects, and the launch's token
// went to the process that asks, not to the one that owns the window.
#pragma once

#include <windows.h>

#include <string>

namespace winshim {
// SetForegroundWindow's work, presenting the launch's tokens where they apply:
// the xdg-activation token to a Wayland compositor, the startup id to an X11
// window manager (which then also ends the launch's busy cursor). Either may be
// empty. FALSE when the window is not one of this process's.
BOOL ACTIVATE_Window(HWND hwnd, const std::string& activationToken, const std::string& startupId);
}  // namespace winshim
