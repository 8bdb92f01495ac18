// Windows paths on the host: the program builds its paths from the Windows
// directory with backslashes; every winshim file function maps them here.
#pragma once
#include <string>

namespace winshim {
// The host path for a Windows path: each backslash becomes a slash. Nothing
// else changes, so host paths (which the Windows directory is) pass through.
std::string PATH_ToHost(const char* windowsPath);

// The Windows directory: $XDG_CONFIG_HOME/varnel, else $HOME/.config/varnel.
// The environment is read on every call. The folder is created, with any
// missing parents (0700), when it does not exist yet; the path is returned
// even when that fails, as the later file operation reports the error.
std::string PATH_WindowsDirectory();

// The user's configuration and data homes of the XDG base-directory
// convention ($XDG_CONFIG_HOME, else ~/.config; $XDG_DATA_HOME, else
// ~/.local/share), without a trailing slash. The environment is read on every call.
std::string PATH_ConfigHome();
std::string PATH_DataHome();
// Creates the folder and any missing parents (0700); false when it is not there after.
bool PATH_MakeFolders(const std::string& path);

// True when the name holds a folder part (a slash or a backslash).
bool PATH_HasSeparator(const char* windowsPath);
}  // namespace winshim
