#include "user32/link_client.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocalSocket>

#include "core/log.h"
#include "user32/link_proto.h"

namespace winshim {
namespace {
constexpr int kLiveProbeMs = 300;

int remainingMs(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(0, deadline.remainingTime()));
}

bool isSocket(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool connectTo(QLocalSocket& socket, const std::string& path, int timeoutMs) {
    socket.connectToServer(QFile::decodeName(QByteArray::fromStdString(path)));
    return socket.waitForConnected(timeoutMs);
}
}  // namespace

std::optional<ucred> LINK_PeerCred(qintptr socketDescriptor) {
    ucred cred{};
    socklen_t size = sizeof cred;
    if (socketDescriptor < 0 || ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 ||
        size != sizeof cred)
        return std::nullopt;
    return cred;
}

std::optional<LinkAnswer> LINK_Ask(const std::string& path, const std::string& line, pid_t expectPid,
                                   const QDeadlineTimer& deadline) {
    if (!isSocket(path)) return std::nullopt;
    QLocalSocket socket;
    if (!connectTo(socket, path, remainingMs(deadline))) {
        WS_LOG("link", "%s: nobody answers (%s)", path.c_str(), qPrintable(socket.errorString()));
        return std::nullopt;
    }
    auto cred = LINK_PeerCred(socket.socketDescriptor());
    if (!cred || cred->uid != ::getuid() || cred->pid == ::getpid() || (expectPid && cred->pid != expectPid)) {
        WS_LOG("link", "%s: not asked: served by pid %d", path.c_str(), cred ? int(cred->pid) : -1);
        return std::nullopt;
    }
    socket.write(QByteArray::fromStdString(line + "\n"));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remainingMs(deadline))) return std::nullopt;
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() > qint64(kLinkMaxLine) || deadline.hasExpired() ||
            !socket.waitForReadyRead(remainingMs(deadline))) {
            WS_LOG("link", "%s: no reply to \"%s\"", path.c_str(), line.c_str());
            return std::nullopt;
        }
    }
    QByteArray reply = socket.readLine(qint64(kLinkMaxLine) + 2);
    reply.chop(1);
    WS_LOG("link", "%s: \"%s\" -> \"%s\"", path.c_str(), line.c_str(), reply.constData());
    return LinkAnswer{reply.toStdString(), cred->pid};
}

bool LINK_IsLive(const std::string& path) {
    QLocalSocket socket;
    bool live = connectTo(socket, path, kLiveProbeMs);
    socket.abort();
    return live;
}
}  // namespace winshim
