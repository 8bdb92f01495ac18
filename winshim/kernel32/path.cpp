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

std::string configHome() {
    // The base-directory convention ignores a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    std::string home = homeDirectory();
    if (!home.empty() && home.back() == '/') home.pop_back();
    return home + "/.config";
}

// mkdir -p with 0700 for the folders it makes; existing ones are left alone.
void makeFolders(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            WS_LOG("file", "cannot create %s: %s", prefix.c_str(), std::strerror(errno));
            return;
        }
    }
}
}  // namespace

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
    std::string dir = configHome();
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    dir += '/';
    dir += PRODUCT_FOLDER.data();
    makeFolders(dir);
    return dir;
}
}  // namespace winshim
