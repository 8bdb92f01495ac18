// The session bus as the desktop parts of winshim find it.
#pragma once

namespace winshim {
// True when the session already has its bus. libdbus would start a bus of its
// own for an X display without one, which nothing of the desktop listens on.
bool DESKTOP_SessionBusExists();
}  // namespace winshim
