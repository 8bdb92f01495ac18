#include "user32/link_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include "core/log.h"
#include "user32/activate.h"
#include "user32/link_client.h"
#include "user32/link_path.h"
#include "user32/link_proto.h"
#include "user32/window.h"

namespace winshim {
namespace {
// A client asks one question and goes; these bound what a misbehaving one holds.
constexpr int kConnectionLifetimeMs = 5000;
constexpr int kMaxConnections = 16;
// Replies a client has not read yet; one that asks on without reading is dropped.
constexpr qint64 kMaxUnreadReplies = 16 * 1024;

// Open connections outlive the server that accepted them; owning them here keeps
// them reachable until they close.
QObject& connections() {
    static QObject* owner = new QObject;
    return *owner;
}

// This process's live top-level windows of the class.
std::vector<HWND> classWindows(const std::string& className) {
    std::vector<HWND> list;
    for (HWND h : WIN_TopLevels()) {
        const Window* w = WIN_Get(h);
        if (w && w->cls && !w->cls->system && !w->destroying && LINK_EqualNoCase(w->cls->name, className))
            list.push_back(h);
    }
    return list;
}

HWND windowOf(const std::string& className, std::uint64_t id) {
    for (HWND h : classWindows(className))
        if (reinterpret_cast<std::uintptr_t>(h) == id) return h;
    return nullptr;
}

std::string find(const std::string& className, const LinkRequest& req) {
    if (req.className && !LINK_EqualNoCase(*req.className, className)) return "NONE";
    for (HWND h : classWindows(className)) {
        if (req.title && !LINK_EqualNoCase(WIN_Get(h)->text, *req.title)) continue;
        return "WINDOW " + std::to_string(reinterpret_cast<std::uintptr_t>(h));
    }
    return "NONE";
}

// The reply to one well-formed line, or empty when the line is malformed.
std::string answer(const std::string& className, const std::string& line) {
    LinkRequest req = LINK_ParseRequest(line);
    switch (req.kind) {
    case LinkRequest::Find:
        return find(className, req);
    case LinkRequest::Restore:
        if (HWND h = windowOf(className, req.window)) return ShowWindow(h, SW_RESTORE) ? "DONE 1" : "DONE 0";
        return "FAIL";
    case LinkRequest::Foreground:
        if (HWND h = windowOf(className, req.window))
            return ACTIVATE_Window(h, req.activationToken, req.startupId) ? "DONE 1" : "DONE 0";
        return "FAIL";
    case LinkRequest::Other:
        LOG_Once("link:refused", "link: refused request \"%s\" for class %s", req.verb.c_str(), className.c_str());
        WS_LOG("link", "refused request \"%s\" for class %s", req.verb.c_str(), className.c_str());
        return "REFUSED";
    case LinkRequest::Malformed:
        break;
    }
    return {};
}

// Set while a connection's request runs the program's code.
constexpr char kBusy[] = "winshimLinkBusy";

// The oldest connections go when a new one would pass the bound, so that
// clients that connect and say nothing cannot keep a new one out.
void makeRoom() {
    const QObjectList open = connections().children();  // oldest first
    qsizetype count = open.size();
    for (QObject* child : open) {
        if (count < kMaxConnections) return;
        auto* socket = qobject_cast<QLocalSocket*>(child);
        if (!socket || socket->property(kBusy).toBool()) continue;
        WS_LOG("link", "too many connections; closing the oldest");
        socket->setParent(nullptr);
        socket->abort();
        socket->deleteLater();
        --count;
    }
}

void serve(QLocalSocket* socket, const std::string& className) {
    socket->setParent(&connections());
    socket->setReadBufferSize(qint64(kLinkMaxLine) + 2);
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kConnectionLifetimeMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    auto pending = std::make_shared<std::string>();
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, pending, className] {
        pending->append(socket->readAll().toStdString());
        for (size_t end; (end = pending->find('\n')) != std::string::npos;) {
            std::string line = pending->substr(0, end);
            pending->erase(0, end + 1);
            if (socket->bytesToWrite() > kMaxUnreadReplies) {
                WS_LOG("link", "a client of class %s reads no replies; closing", className.c_str());
                socket->abort();
                socket->deleteLater();
                return;
            }
            // The request runs the program's window procedure, which may run a
            // nested loop in which the client gives up and the socket goes away.
            QPointer<QLocalSocket> alive(socket);
            socket->setProperty(kBusy, true);
            std::string reply = answer(className, line);
            if (!alive) return;
            socket->setProperty(kBusy, false);
            if (reply.empty()) {
                WS_LOG("link", "malformed request for class %s; closing", className.c_str());
                socket->abort();
                socket->deleteLater();
                return;
            }
            if (socket->state() != QLocalSocket::ConnectedState) return;
            socket->write(QByteArray::fromStdString(reply + "\n"));
            // Out now: the process may end right after this request.
            socket->flush();
        }
        if (pending->size() > kLinkMaxLine) {
            WS_LOG("link", "over-long request for class %s; closing", className.c_str());
            socket->abort();
            socket->deleteLater();
        }
    });
}
}  // namespace

std::unique_ptr<LinkServer> LinkServer::start(const std::string& className) {
    const std::string path = LINK_SocketPath(className);
    if (path.empty()) return nullptr;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            LOG_Once("link:notsocket:" + path, "link: %s is not a socket; class %s is not served", path.c_str(),
                     className.c_str());
            return nullptr;
        }
        if (LINK_IsLive(path)) {
            WS_LOG("link", "class %s is served by another process", className.c_str());
            return nullptr;
        }
        WS_LOG("link", "removing stale socket %s", path.c_str());
        ::unlink(path.c_str());
    }
    auto* server = new QLocalServer;
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(kMaxConnections);
    if (!server->listen(QFile::decodeName(QByteArray::fromStdString(path)))) {
        WS_LOG("link", "cannot listen on %s: %s", path.c_str(), qPrintable(server->errorString()));
        delete server;
        return nullptr;
    }
    WS_LOG("link", "class %s listens on %s", className.c_str(), path.c_str());
    std::unique_ptr<LinkServer> link(new LinkServer(className, server));
    QObject::connect(server, &QLocalServer::newConnection, server, [raw = link.get()] { raw->acceptPending(); });
    return link;
}

LinkServer::LinkServer(std::string className, QLocalServer* server)
    : className_(std::move(className)), server_(server) {}

LinkServer::~LinkServer() {
    WS_LOG("link", "class %s stops listening", className_.c_str());
    server_->close();
    delete server_;
}

void LinkServer::acceptPending() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto cred = LINK_PeerCred(socket->socketDescriptor());
        if (!cred || cred->uid != ::getuid()) {
            LOG_Once("link:uid", "link: refused a connection from uid %d", cred ? int(cred->uid) : -1);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        makeRoom();
        serve(socket, className_);
    }
}
}  // namespace winshim
