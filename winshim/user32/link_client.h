// The asking side of the cross-process window link: one request, one reply, over a
// fresh connection, within a deadline, so a hung or dead peer never hangs us.
#pragma once
#include <sys/socket.h>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <optional>
#include <string>

namespace winshim {
// The credentials of the process at the other end of a connected local socket.
std::optional<ucred> LINK_PeerCred(qintptr socketDescriptor);

struct LinkAnswer {
    std::string line;  // the reply, without its newline
    pid_t pid = 0;     // the process that answered
};

// Sends `line` to the server listening at `path` and reads its reply. Only a
// process of this user answers, never this process itself (it could not answer
// while we wait), and, when `expectPid` is not 0, only that process: a handle
// keeps to the process it was found in, not to one that took the socket later.
std::optional<LinkAnswer> LINK_Ask(const std::string& path, const std::string& line, pid_t expectPid,
                                   const QDeadlineTimer& deadline);

// True when something accepts connections at `path`.
bool LINK_IsLive(const std::string& path);
}  // namespace winshim
