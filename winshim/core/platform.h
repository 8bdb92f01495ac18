// Which display the process's windows go to, chosen before Qt is started: Qt
// aborts the process when the platform it was given cannot connect, so winshim
// asks each display itself first.
#pragma once

#include <string>

namespace winshim {

// The Qt platform to start: the first of QT_QPA_PLATFORM's list ("xcb;wayland"
// when it is unset) that answers. An X server must accept a connection (xcb);
// a Wayland compositor must accept one on its socket; a platform that needs no
// display (offscreen, minimal, ...) is taken as named. Placement needs X11, so
// the default list puts xcb first, which also prefers XWayland.
// Empty when nothing answers; `why` then tells, in a few words, what was tried.
std::string PLATFORM_Choose(std::string& why);

// The path of the Wayland compositor's socket that this process would connect
// to ($WAYLAND_DISPLAY, relative to $XDG_RUNTIME_DIR unless absolute, else
// wayland-0), or empty when there is none to try.
std::string PLATFORM_WaylandSocket();

// True when a compositor accepts a connection on that socket.
bool PLATFORM_WaylandAnswers();

// The tokens a launcher gave this process for raising its window: the Wayland
// xdg-activation token (XDG_ACTIVATION_TOKEN) and the X11 startup id
// (DESKTOP_STARTUP_ID). Read at the first call, which APP_Ensure makes before Qt
// starts: Qt takes them out of the environment for its own first window.
struct LaunchTokens {
    std::string activation;
    std::string startup;
};
const LaunchTokens& PLATFORM_LaunchTokens();

// False on Wayland, where the compositor places windows and never tells a client
// where they are: there the position is the one the program gave, and what Qt
// reports for it is no news. Needs the QApplication.
bool PLATFORM_KnowsPositions();

}  // namespace winshim
