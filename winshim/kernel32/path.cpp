#include "kernel32/path.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/product.h"

namespace winshim {
namespace {
std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // Without HOME (a service, a bare test runner) the password database knows.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

// The base-directory convention ignores a relative value.
std::string baseDirectory(const char* variable, const char* fallback) {
    std::string dir;
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/') {
        dir = xdg;
    } else {
        dir = homeDirectory();
        while (!dir.empty() && dir.back() == '/') dir.pop_back();
        dir += fallback;
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}
}  // namespace

std::string PATH_ConfigHome() {
    return baseDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string PATH_DataHome() {
    return baseDirectory("XDG_DATA_HOME", "/.local/share");
}

// mkdir -p with 0700 for the folders it makes; existing ones are left alone.
bool PATH_MakeFolders(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            WS_LOG("file", "cannot create %s: %s", prefix.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

std::string PATH_ToHost(const char* windowsPath) {
    std::string host = windowsPath ? windowsPath : "";
    for (char& c : host)
        if (c == '\\') c = '/';
    return host;
}

bool PATH_HasSeparator(const char* windowsPath) {
    return windowsPath && std::strpbrk(windowsPath, "\\/") != nullptr;
}

std::string PATH_WindowsDirectory() {
    std::string dir = PATH_ConfigHome();
    if (dir.back() != '/') dir += '/';
    dir += PRODUCT_FOLDER.data();
    PATH_MakeFolders(dir);
    return dir;
}
}  // namespace winshim
