#include "kernel32/hostfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace winshim {
namespace {
// The process's file-creation mask, read without changing it (umask() would
// race with other threads creating files).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(size_t(n));
    }
    return 0;
}

// The file a path finally names: a symlink is followed so that the rename
// replaces its target instead of the link.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}
std::string folderOf(const std::string& target) {
    const size_t slash = target.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
}

// Always the same name beside the target, so that a crash leaves at most one.
std::string temporaryOf(const std::string& folder, const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return (folder == "/" ? "" : folder) + "/." + name + ".new";
}

// The one temporary file of a target, reused by every rewrite: one cut short
// by a crash leaves this file behind, and the next rewrite takes it over, so
// crashes never pile files up. Held locked and empty. Another writer may hold
// the name at the moment; once it let go, the name holds a new file (or none)
// and is opened afresh.
int openTemporary(const std::string& temp) {
    for (;;) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        struct stat held {}, named {};
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            const int err = S_ISREG(held.st_mode) ? errno : EEXIST;
            ::close(fd);
            errno = err;
            return -1;
        }
        if (lstat(temp.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
            if (ftruncate(fd, 0) == 0) return fd;
            const int err = errno;
            ::close(fd);
            errno = err;
            return -1;
        }
        ::close(fd);
    }
}
}  // namespace

int FILE_ReadAll(const std::string& path, std::string& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return err;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            out.clear();
            return err;
        }
        out.append(chunk, size_t(n));
    }
    ::close(fd);
    return 0;
}

void FILE_RemoveLeftover(const std::string& path) {
    const std::string target = resolveTarget(path);
    const std::string temp = temporaryOf(folderOf(target), target);
    // Non-blocking, and only a regular file: whatever else sits at the name
    // is not ours to open or remove.
    const int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat held {}, named {};
    // A writer that waits for the lock finds the name gone and opens it afresh.
    if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(temp.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
        ::unlink(temp.c_str());
    ::close(fd);
}

int FILE_ReplaceAtomically(const std::string& path, std::string_view bytes) {
    const std::string target = resolveTarget(path);
    const std::string folder = folderOf(target);
    const std::string temp = temporaryOf(folder, target);
    const int fd = openTemporary(temp);
    if (fd < 0) return errno;

    struct stat st {};
    const mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~currentUmask());
    int err = fchmod(fd, mode) != 0 ? errno : 0;
    if (!err) err = writeAll(fd, bytes);
    if (!err && fsync(fd) != 0) err = errno;
    if (!err && rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(temp.c_str());
        ::close(fd);
        return err;
    }
    // Closing the renamed file (now the target) lets a waiting writer go on.
    ::close(fd);
    // The rename itself lasts only once the folder is on disk; a failure here
    // loses nothing that a crash a moment earlier would not have lost.
    if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}
}  // namespace winshim
