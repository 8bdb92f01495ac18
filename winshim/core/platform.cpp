#include "core/platform.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace winshim {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A real connection, authorisation included: a server that is there but refuses
// this client is no display either.
bool xAnswers() {
    if (env("DISPLAY").empty()) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = connection && xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string PLATFORM_WaylandSocket() {
    std::string name = env("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    if (name[0] == '/') return name;
    const std::string runtime = env("XDG_RUNTIME_DIR");
    return runtime.empty() ? std::string() : runtime + "/" + name;
}

bool PLATFORM_WaylandAnswers() {
    // A connection handed down by whoever started us (a compositor starting its clients).
    if (!env("WAYLAND_SOCKET").empty()) return true;
    const std::string path = PLATFORM_WaylandSocket();
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answers;
}

const LaunchTokens& PLATFORM_LaunchTokens() {
    static const LaunchTokens tokens{env("XDG_ACTIVATION_TOKEN"), env("DESKTOP_STARTUP_ID")};
    return tokens;
}

bool PLATFORM_KnowsPositions() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::string PLATFORM_Choose(std::string& why) {
    std::string list = env("QT_QPA_PLATFORM");
    if (list.empty()) list = "xcb;wayland";
    std::istringstream names(list);
    std::ostringstream tried;
    for (std::string name; std::getline(names, name, ';');) {
        // Arguments after a colon ("wayland:...", "offscreen:size=...") belong to the plugin.
        const std::string plugin = lower(name.substr(0, name.find(':')));
        if (plugin == "xcb") {
            if (xAnswers()) return name;
            tried << (tried.tellp() > 0 ? "; " : "")
                  << (env("DISPLAY").empty() ? "DISPLAY is not set"
                                             : "no X server answers on DISPLAY=" + env("DISPLAY"));
        } else if (plugin.rfind("wayland", 0) == 0) {
            if (PLATFORM_WaylandAnswers()) return name;
            tried << (tried.tellp() > 0 ? "; " : "") << "no Wayland compositor answers on "
                  << (env("WAYLAND_DISPLAY").empty() ? "wayland-0" : env("WAYLAND_DISPLAY"));
        } else if (!plugin.empty()) {
            return name;
        }
    }
    why = "cannot open a window: " + tried.str();
    return {};
}

}  // namespace winshim
