// Operations on files by name: GetFileAttributesA, DeleteFileA, CopyFileA,
// MoveFileExA and GetTempFileNameA.
//
// Windows' read-only attribute is the owner's write bit here. It binds every
// caller, root too, as the attribute binds administrators on Windows: such a
// file is neither deleted nor replaced.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "kernel32/errors.h"
#include "kernel32/file.h"
#include "kernel32/path.h"

namespace {
constexpr DWORD kMoveFileCopyAllowed = 0x2;

BOOL failed(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool isReadOnlyFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

std::string folderOf(const std::string& hostPath) {
    const size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

// Makes a rename durable: the folder holding the new name is synced.
int syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

// Renames without replacing: atomically where the file system can, else
// after a check (the caller has already looked for the target).
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    return ::rename(from, to) == 0 ? 0 : errno;
}
}  // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    const std::string host = winshim::PATH_ToHost(fileName);
    struct stat st {};
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(winshim::FILE_ErrorForPath(host, errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    if (!fileName || !*fileName) return failed(ERROR_PATH_NOT_FOUND);
    const std::string host = winshim::PATH_ToHost(fileName);
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0) return failed(winshim::FILE_ErrorForPath(host, errno));
    // A folder is not a file to delete; a symlink is removed, not what it names.
    if (S_ISDIR(st.st_mode) || isReadOnlyFile(st)) return failed(ERROR_ACCESS_DENIED);
    // No sharing check: a file open elsewhere is removed (its data lives on
    // until the last descriptor closes).
    if (::unlink(host.c_str()) == 0) return TRUE;
    const int err = errno;
    WS_LOG("file", "DeleteFileA(%s): %s", host.c_str(), std::strerror(err));
    return failed(winshim::FILE_ErrorForPath(host, err));
}

// The copy is written beside the new name and renamed onto it, so the new name
// holds nothing or all of it, never a part. The read-only attribute goes with
// the copy, as Windows copies a file's attributes.
extern "C" BOOL WINAPI CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    if (!existingFileName || !newFileName) return failed(ERROR_INVALID_PARAMETER);
    if (!*existingFileName || !*newFileName) return failed(ERROR_PATH_NOT_FOUND);
    const std::string from = winshim::PATH_ToHost(existingFileName);
    const std::string to = winshim::PATH_ToHost(newFileName);
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failed(winshim::FILE_ErrorForPath(from, errno));
    struct stat source {};
    if (fstat(in, &source) != 0 || S_ISDIR(source.st_mode)) {
        ::close(in);
        return failed(ERROR_ACCESS_DENIED);
    }
    struct stat target {};
    if (lstat(to.c_str(), &target) == 0) {
        DWORD error = ERROR_SUCCESS;
        if (failIfExists)
            error = ERROR_FILE_EXISTS;
        else if (S_ISDIR(target.st_mode) || isReadOnlyFile(target))
            error = ERROR_ACCESS_DENIED;
        else if (source.st_dev == target.st_dev && source.st_ino == target.st_ino)
            error = ERROR_SHARING_VIOLATION;
        if (error != ERROR_SUCCESS) {
            ::close(in);
            return failed(error);
        }
    }

    std::string temp = to + ".copy-XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        WS_LOG("file", "CopyFileA(%s): %s", to.c_str(), std::strerror(err));
        return failed(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : winshim::ERR_FromErrno(err));
    }
    int err = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) err = errno;
            break;
        }
        for (ssize_t done = 0; done < got && err == 0;) {
            const ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno != EINTR) err = errno;
            if (put > 0) done += put;
        }
        if (err != 0) break;
    }
    ::close(in);
    if (err == 0 && ::fchmod(out, source.st_mode & 0777) != 0) err = errno;
    if (err == 0 && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && err == 0) err = errno;
    if (err == 0)
        err = failIfExists ? renameNoReplace(temp.c_str(), to.c_str())
                           : (::rename(temp.c_str(), to.c_str()) == 0 ? 0 : errno);
    if (err != 0) {
        ::unlink(temp.c_str());
        WS_LOG("file", "CopyFileA(%s, %s): %s", from.c_str(), to.c_str(), std::strerror(err));
        return failed(err == EEXIST ? ERROR_FILE_EXISTS : winshim::ERR_FromErrno(err));
    }
    return TRUE;
}

// A rename(2): atomic within one folder, so a reader sees the old file or the
// new one, never a mix. Moves between file systems are not copied.
extern "C" BOOL WINAPI MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    constexpr DWORD known = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH | kMoveFileCopyAllowed;
    if (!existingFileName || !newFileName || (flags & ~known)) {
        // Without a new name only a delete at the next boot is meant: not here.
        winshim::LOG_Once("MoveFileExA flags", "MoveFileExA: only replace, copy and write-through are supported");
        return failed(ERROR_INVALID_PARAMETER);
    }
    if (!*existingFileName) return failed(ERROR_PATH_NOT_FOUND);
    if (!*newFileName) return failed(ERROR_PATH_NOT_FOUND);
    const std::string from = winshim::PATH_ToHost(existingFileName);
    const std::string to = winshim::PATH_ToHost(newFileName);
    const bool replace = flags & MOVEFILE_REPLACE_EXISTING;

    struct stat source {};
    if (lstat(from.c_str(), &source) != 0) return failed(winshim::FILE_ErrorForPath(from, errno));
    struct stat target {};
    if (lstat(to.c_str(), &target) == 0) {
        const bool sameFile = source.st_dev == target.st_dev && source.st_ino == target.st_ino;
        if (!sameFile) {
            if (!replace) return failed(ERROR_ALREADY_EXISTS);
            // Replacing works on files only, and never on a read-only one.
            if (S_ISDIR(source.st_mode) || S_ISDIR(target.st_mode) || isReadOnlyFile(target))
                return failed(ERROR_ACCESS_DENIED);
        }
    }

    const int err =
        replace ? (::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno) : renameNoReplace(from.c_str(), to.c_str());
    if (err != 0) {
        WS_LOG("file", "MoveFileExA(%s, %s): %s", from.c_str(), to.c_str(), std::strerror(err));
        if (err == EEXIST && !replace) return failed(ERROR_ALREADY_EXISTS);
        if (err == EXDEV) return failed(ERROR_NOT_SAME_DEVICE);
        if (err == ENOENT) {
            // The source was there a moment ago: unless it went since, the
            // folder of the new name is what is missing.
            if (lstat(from.c_str(), &source) != 0) return failed(winshim::FILE_ErrorForPath(from, errno));
            return failed(ERROR_PATH_NOT_FOUND);
        }
        return failed(winshim::ERR_FromErrno(err));
    }
    if (flags & MOVEFILE_WRITE_THROUGH) {
        int syncErr = syncFolder(folderOf(to));
        if (syncErr == 0 && folderOf(from) != folderOf(to)) syncErr = syncFolder(folderOf(from));
        if (syncErr != 0) {
            // The name has moved, but it may not survive a crash: say so.
            WS_LOG("file", "MoveFileExA(%s): sync: %s", to.c_str(), std::strerror(syncErr));
            return failed(winshim::ERR_FromErrno(syncErr));
        }
    }
    return TRUE;
}

extern "C" UINT WINAPI GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName) {
    if (!pathName || !prefixString || !tempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (std::strlen(pathName) > MAX_PATH - 14) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    // <path>\<first three of the prefix><hex number>.tmp, with the path's own
    // kind of separator.
    std::string base = pathName;
    const bool slashes = base.find('/') != std::string::npos && base.find('\\') == std::string::npos;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += slashes ? '/' : '\\';
    base.append(prefixString, strnlen(prefixString, 3));
    auto nameFor = [&](UINT number) {
        char tail[16];
        std::snprintf(tail, sizeof tail, "%X.tmp", number);
        return base + tail;
    };

    unique &= 0xFFFF;
    if (unique != 0) {
        const std::string name = nameFor(unique);
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique;
    }
    // A number from the clock, counted up past the names already taken; the
    // first free one is created empty to claim it.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    UINT number = UINT((now.tv_sec * 1000 + now.tv_nsec / 1000000) ^ getpid()) & 0xFFFF;
    for (UINT tries = 0; tries < 0xFFFF; ++tries) {
        if (number == 0) number = 1;
        const std::string name = nameFor(number);
        const std::string host = winshim::PATH_ToHost(name.c_str());
        const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        const int err = errno;
        if (err == EINTR) continue;
        if (err != EEXIST) {
            WS_LOG("file", "GetTempFileNameA(%s): %s", host.c_str(), std::strerror(err));
            SetLastError(err == ENOENT || err == ENOTDIR ? ERROR_DIRECTORY : winshim::ERR_FromErrno(err));
            return 0;
        }
        number = (number + 1) & 0xFFFF;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
