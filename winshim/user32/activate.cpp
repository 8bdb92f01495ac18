#include "user32/activate.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "user32/window.h"

namespace winshim {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return a;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

void sendToRoot(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type, const uint8_t (&data)[20], uint32_t mask) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 8;
    event.window = window;
    event.type = type;
    std::memcpy(event.data.data8, data, sizeof data);
    xcb_send_event(c, 0, rootOf(c), mask, reinterpret_cast<const char*>(&event));
}

// The freedesktop startup-notification "remove" message: the launch is over.
void endLaunch(xcb_connection_t* c, xcb_window_t window, const std::string& startupId) {
    std::string message = "remove: ID=\"";
    for (char ch : startupId) {
        if (ch == '"' || ch == '\\') message += '\\';
        message += ch;
    }
    message += '"';
    message += '\0';
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN"), more = atom(c, "_NET_STARTUP_INFO");
    for (size_t at = 0; at < message.size(); at += 20) {
        uint8_t chunk[20] = {};
        std::memcpy(chunk, message.data() + at, std::min<size_t>(20, message.size() - at));
        sendToRoot(c, window, at == 0 ? begin : more, chunk, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
}

// As a launched program's first window would be: the startup id on the window,
// and an activation request stamped with the launch's time, which a window
// manager's focus-stealing prevention weighs against the user's last input.
void presentStartupId(QWidget* window, const std::string& startupId) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    const xcb_window_t id = xcb_window_t(window->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_STARTUP_ID"), atom(c, "UTF8_STRING"), 8,
                        uint32_t(startupId.size()), startupId.data());
    std::smatch time;
    if (std::regex_search(startupId, time, std::regex("_TIME([0-9]+)$"))) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = atom(c, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1;  // from an application
        event.data.data32[1] = uint32_t(std::stoul(time[1].str()));
        xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    endLaunch(c, id, startupId);
    xcb_flush(c);
}

}  // namespace

BOOL ACTIVATE_Window(HWND hwnd, const std::string& activationToken, const std::string& startupId) {
    Window* w = WIN_Get(hwnd);
    if (!w || !w->widget) return FALSE;
    QWidget* window = w->widget->window();
    const QString platform = QGuiApplication::platformName();
    // Qt's Wayland plugin hands the compositor the token it finds in the
    // environment when the window asks to be activated, and takes it out again.
    const bool wayland = platform.startsWith(QLatin1String("wayland"));
    if (wayland && !activationToken.empty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.c_str());
    window->raise();
    window->activateWindow();
    if (wayland) qunsetenv("XDG_ACTIVATION_TOKEN");
    if (platform == QLatin1String("xcb") && !startupId.empty()) presentStartupId(window, startupId);
    return TRUE;
}

}  // namespace winshim
