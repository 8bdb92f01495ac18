// The serving side of the cross-process window link: while a program class has
// top-level windows in this process, one server answers for all of them on the
// class's socket.
#pragma once
#include <memory>
#include <string>

class QLocalServer;

namespace winshim {
class LinkServer {
public:
    // Listens for `className`. Null when another live process already serves the
    // class (it is not taken from it), when the runtime folder is refused, or when
    // listening fails. A socket file that nobody answers on is a crash's leftover
    // and is replaced.
    static std::unique_ptr<LinkServer> start(const std::string& className);
    // Stops listening and removes the socket. Connections in progress finish on
    // their own: a request may be what destroys the class's last window.
    ~LinkServer();
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

private:
    LinkServer(std::string className, QLocalServer* server);
    void acceptPending();

    std::string className_;
    QLocalServer* server_;
};
}  // namespace winshim
