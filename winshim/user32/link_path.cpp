#include "user32/link_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/log.h"
#include "core/platform.h"
#include "user32/link_proto.h"

namespace winshim {
namespace {
std::string tempDir() {
    std::error_code ec;
    auto dir = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp") : dir.string();
}

// Makes the fallback folder when it is missing. mkdir never follows or replaces
// what is there, so a folder planted by someone else fails the check below.
void ensureFallback(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        // The umask may have taken bits we want; the folder is ours, fresh.
        ::chmod(path.c_str(), 0700);
    } else if (errno != EEXIST) {
        WS_LOG("link", "cannot create %s: %s", path.c_str(), std::strerror(errno));
    }
}
}  // namespace

std::string LINK_Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool LINK_EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && LINK_Lower(a) == LINK_Lower(b);
}

bool LINK_IsPrivateDir(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 07777) == 0700;
}

std::string LINK_RuntimeDir() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        std::string dir = xdg;
        if (LINK_IsPrivateDir(dir)) return dir;
        LOG_Once("link:xdg", "link: XDG_RUNTIME_DIR %s is not a private folder of this user; using the fallback", xdg);
    }
    std::string dir = tempDir() + "/winshim-" + std::to_string(::getuid());
    ensureFallback(dir);
    if (LINK_IsPrivateDir(dir)) return dir;
    LOG_Once("link:refused",
             "link: %s is not a private folder of this user (0700); windows of other "
             "processes are neither found nor served",
             dir.c_str());
    return {};
}

std::string LINK_DesktopPrefix() {
    // A Wayland session is its compositor: its X server (XWayland) belongs to it,
    // and a sandboxed start may be shown only one of the two.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland && PLATFORM_WaylandAnswers())
        return std::string(kLinkSocketPrefix) + LINK_Encode(PLATFORM_WaylandSocket()) + "@";
    const char* display = std::getenv("DISPLAY");
    std::string_view name = display ? display : "";
    // ":0.1" is screen 1 of display :0, the same desktop as ":0".
    if (const size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        const size_t dot = name.find('.', colon);
        if (dot != std::string_view::npos) name = name.substr(0, dot);
    }
    return std::string(kLinkSocketPrefix) + LINK_Encode(name) + "@";
}

std::string LINK_SocketPath(std::string_view className) {
    std::string dir = LINK_RuntimeDir();
    if (dir.empty()) return {};
    std::string path = dir + "/" + LINK_DesktopPrefix() + LINK_Encode(LINK_Lower(className));
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        WS_LOG("link", "socket path for class \"%.*s\" is too long", int(className.size()), className.data());
        return {};
    }
    return path;
}

std::vector<std::string> LINK_AllSocketPaths() {
    std::vector<std::string> paths;
    std::string dir = LINK_RuntimeDir();
    if (dir.empty()) return paths;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return paths;
    const std::string prefix = LINK_DesktopPrefix();
    while (const dirent* entry = ::readdir(d)) {
        std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix) continue;
        std::string path = dir + "/" + std::string(name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) paths.push_back(path);
    }
    ::closedir(d);
    return paths;
}
}  // namespace winshim
