// The cross-process window link: FindWindowA finds top-level windows of other
// processes of this user, and ShowWindow(SW_RESTORE) and SetForegroundWindow reach
// them. Each program class with top-level windows here is served on a socket in the
// user's private runtime folder; a remote window is a handle of ours that names the
// socket, the serving process and that process's handle.
#include <sys/types.h>

#include <QDeadlineTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "core/app.h"
#include "core/log.h"
#include "core/platform.h"
#include "user32/link_client.h"
#include "user32/link_path.h"
#include "user32/link_proto.h"
#include "user32/link_server.h"
#include "user32/window.h"

namespace winshim {
namespace {
// The whole of one lookup or request, connecting included.
constexpr int kTimeoutMs = 1000;

struct Remote {
    std::string path;
    pid_t pid = 0;
    std::uint64_t id = 0;
};

struct State {
    std::mutex mutex;  // guards remotes
    std::map<HWND, Remote> remotes;
    // UI thread only: the servers by lower-case class name (null while another
    // process serves the class), and the windows they serve.
    std::map<std::string, std::unique_ptr<LinkServer>> servers;
    std::map<HWND, std::string> windows;
};

// Never destroyed: windows and handles may be used during exit.
State& state() {
    static State* s = new State;
    return *s;
}

std::optional<Remote> remoteOf(HWND hwnd) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.remotes.find(hwnd);
    if (it == s.remotes.end()) return std::nullopt;
    return it->second;
}

// The same remote window always gets the same handle, as it does on Windows.
HWND handleFor(const Remote& r) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const auto& [h, known] : s.remotes)
        if (known.pid == r.pid && known.id == r.id && known.path == r.path) return h;
    HWND h = WIN_NewHandle();
    s.remotes[h] = r;
    return h;
}

// Sends a window request; the peer's 0/1 result, or none when it was not carried out.
std::optional<bool> request(HWND hwnd, const std::function<std::string(std::uint64_t)>& lineFor) {
    auto remote = remoteOf(hwnd);
    if (!remote) return std::nullopt;
    APP_Ensure();
    auto answer = LINK_Ask(remote->path, lineFor(remote->id), remote->pid, QDeadlineTimer(kTimeoutMs));
    if (answer && answer->line == "DONE 1") return true;
    if (answer && answer->line == "DONE 0") return false;
    return std::nullopt;
}
}  // namespace

void LINK_OnTopLevelCreated(HWND hwnd, const std::string& className) {
    State& s = state();
    std::string key = LINK_Lower(className);
    s.windows[hwnd] = key;
    auto& server = s.servers[key];
    if (!server) server = LinkServer::start(className);
}

void LINK_OnDestroyed(HWND hwnd) {
    State& s = state();
    auto it = s.windows.find(hwnd);
    if (it == s.windows.end()) return;
    std::string key = it->second;
    s.windows.erase(it);
    for (const auto& [h, cls] : s.windows)
        if (cls == key) return;
    s.servers.erase(key);
}

bool LINK_IsRemote(HWND hwnd) {
    if (!hwnd) return false;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.remotes.count(hwnd) != 0;
}

HWND LINK_FindRemote(const char* className, const char* windowName) {
    if (className && !*className) return nullptr;
    const std::string line = LINK_FindLine(className, windowName);
    if (line.empty()) return nullptr;
    APP_Ensure();
    QDeadlineTimer deadline(kTimeoutMs);
    std::vector<std::string> paths;
    if (!className)
        paths = LINK_AllSocketPaths();
    else if (std::string path = LINK_SocketPath(className); !path.empty())
        paths.push_back(path);
    for (const std::string& path : paths) {
        if (deadline.hasExpired()) break;
        auto answer = LINK_Ask(path, line, 0, deadline);
        if (!answer || answer->line.rfind("WINDOW ", 0) != 0) continue;
        if (auto id = LINK_ParseNumber(std::string_view(answer->line).substr(7)))
            return handleFor(Remote{path, answer->pid, *id});
    }
    return nullptr;
}

BOOL LINK_ShowWindow(HWND remote, int cmdShow) {
    if (cmdShow != SW_RESTORE) {
        LOG_Once("link:show", "ShowWindow: only SW_RESTORE reaches a window of another process (asked for %d)",
                 cmdShow);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto wasVisible = request(remote, [](std::uint64_t id) { return LINK_WindowLine("RESTORE", id); });
    if (!wasVisible) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return *wasVisible;
}

BOOL LINK_SetForegroundWindow(HWND remote) {
    // The launcher that started this process gave it a token for raising a window;
    // the window to raise is the other process's, so the token goes with the request.
    auto done = request(remote, [](std::uint64_t id) {
        const LaunchTokens& tokens = PLATFORM_LaunchTokens();
        return LINK_ForegroundLine(id, tokens.activation, tokens.startup);
    });
    if (!done) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return *done;
}
}  // namespace winshim
