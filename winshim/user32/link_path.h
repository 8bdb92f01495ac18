// Where the sockets of the cross-process window link live, and the names they get.
// Only a folder that no other user can write is used, so no other user can answer
// a lookup or squat a class's name.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace winshim {
// Every link socket's file name starts with this, so a class named like another
// program's socket in the runtime folder ("bus", "pulse") never meets it.
inline constexpr std::string_view kLinkSocketPrefix = "winshim-";

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is a folder of this
// user with mode 0700, else <temporary directory>/winshim-<uid>, created when
// missing. Empty when the folder exists but is not a real folder of this user
// with mode 0700 (or is a symlink): then nothing listens and nothing is looked up.
// The environment is read on every call.
std::string LINK_RuntimeDir();

// True when `path` is a folder (not a symlink) owned by this user with mode 0700.
bool LINK_IsPrivateDir(const std::string& path);

// What every socket of this desktop starts its name with: the prefix, then the
// session, percent-encoded, then "@". The session is the Wayland compositor's
// socket when $WAYLAND_DISPLAY names one that answers, whether the windows go to
// it or to its XWayland, else $DISPLAY (none when headless). FindWindowA sees
// the windows of the caller's desktop only, so a program started on another
// display is a first instance there.
std::string LINK_DesktopPrefix();

// The socket of a class: the desktop's prefix, then the class name in lower
// case (class names compare case-insensitively) as LINK_Encode writes it.
// Empty when there is no safe runtime folder or the path would not fit a
// socket address.
std::string LINK_SocketPath(std::string_view className);

// The link sockets of this desktop in the runtime folder (for a lookup by title alone).
std::vector<std::string> LINK_AllSocketPaths();

// ASCII lower case, and the comparison Windows uses for class names and titles.
std::string LINK_Lower(std::string_view text);
bool LINK_EqualNoCase(std::string_view a, std::string_view b);
}  // namespace winshim
