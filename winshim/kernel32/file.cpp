// CreateFileA, ReadFile, WriteFile and FlushFileBuffers over POSIX descriptors.
#include "kernel32/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/log.h"
#include "kernel32/errors.h"
#include "kernel32/path.h"

namespace {
// Access rights beyond the two generic ones, accepted so that a caller naming
// them gets what they mean.
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;
constexpr DWORD kFileFlagOverlapped = 0x40000000;

HANDLE fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL failed(DWORD error) {
    SetLastError(error);
    return FALSE;
}

int openRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens an existing file (with `existingFlags`) or creates a new one, and says
// which happened. An exclusive create after a failed open tells the two apart
// even when another process creates or removes the file in between.
int openOrCreate(const char* path, int flags, int existingFlags, mode_t mode, bool& existed) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = openRetrying(path, flags | existingFlags, 0);
        if (fd >= 0 || errno != ENOENT) {
            existed = fd >= 0;
            return fd;
        }
        fd = openRetrying(path, flags | O_CREAT | O_EXCL, mode);
        if (fd >= 0 || errno != EEXIST) {
            existed = false;
            return fd;
        }
    }
    // Still both missing and present: a symlink to a file not there yet.
    // Create through it, as a plain open would.
    existed = false;
    return openRetrying(path, flags | existingFlags | O_CREAT, mode);
}
}  // namespace

// Sharing modes are accepted and ignored: Linux has no mandatory sharing, so
// another process may open, rename or remove a file that is open here. The
// program's own saves never depend on being refused.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                                     LPSECURITY_ATTRIBUTES /*security*/, DWORD creationDisposition,
                                     DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    if (!fileName || !*fileName) return fail(ERROR_PATH_NOT_FOUND);
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return fail(ERROR_INVALID_PARAMETER);
    const bool read = desiredAccess & (GENERIC_READ | kGenericAll | kFileReadData);
    const bool write = desiredAccess & (GENERIC_WRITE | kGenericAll | kFileWriteData | kFileAppendData);
    // Truncating needs the right to write, on Windows as here.
    if (creationDisposition == TRUNCATE_EXISTING && !write) return fail(ERROR_INVALID_PARAMETER);
    if (flagsAndAttributes & kFileFlagOverlapped) {
        winshim::LOG_Once("CreateFileA overlapped", "CreateFileA: overlapped I/O is not supported");
        return fail(ERROR_INVALID_PARAMETER);
    }

    const std::string host = winshim::PATH_ToHost(fileName);
    // Handles are not inherited: winshim starts no processes that could use them.
    const int flags = O_CLOEXEC | O_NOCTTY | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    // A new file gets the read-only attribute as the permission bits say it.
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    const bool truncate = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    // With the right to write, the file is truncated only once it is known not
    // to be read-only; without it, only open can truncate it.
    const int existingFlags = truncate && !write ? O_TRUNC : 0;
    bool existed = true;
    int fd = -1;
    switch (creationDisposition) {
    case CREATE_NEW:
        fd = openRetrying(host.c_str(), flags | O_CREAT | O_EXCL, mode);
        existed = false;
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        fd = openOrCreate(host.c_str(), flags, existingFlags, mode, existed);
        break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
        fd = openRetrying(host.c_str(), flags | existingFlags, 0);
        break;
    }
    if (fd < 0) {
        const int err = errno;
        WS_LOG("file", "CreateFileA(%s, %u): %s", host.c_str(), unsigned(creationDisposition), std::strerror(err));
        if (err == EEXIST && creationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
        return fail(winshim::FILE_ErrorForPath(host, err));
    }
    auto file = std::make_shared<winshim::FileObject>();  // closes fd on the early returns
    file->fd = fd;
    file->canRead = read;
    file->canWrite = write;
    file->path = host;
    if (existed) {
        struct stat st {};
        if (fstat(fd, &st) != 0) return fail(winshim::ERR_FromErrno(errno));
        // A folder opens for reading on Linux; as a file Windows refuses it.
        if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
        // A file without the owner's write bit is a read-only file, which on
        // Windows nobody opens for writing, administrators included.
        if (write && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) return fail(ERROR_ACCESS_DENIED);
        if (truncate && write && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
            const int err = errno;
            WS_LOG("file", "CreateFileA(%s): truncate: %s", host.c_str(), std::strerror(err));
            return fail(winshim::ERR_FromErrno(err));
        }
    }

    const bool reportExisting = existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    HANDLE handle = winshim::FILE_AddHandle(std::move(file));
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// Overlapped I/O is not supported: a call with an OVERLAPPED fails as one
// with a bad parameter.
extern "C" BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                                LPOVERLAPPED overlapped) {
    if (bytesRead && !overlapped) *bytesRead = 0;
    std::shared_ptr<winshim::FileObject> f = winshim::FILE_FromHandle(file);
    if (!f) return failed(ERROR_INVALID_HANDLE);
    if (overlapped) {
        winshim::LOG_Once("ReadFile overlapped", "ReadFile: overlapped I/O is not supported");
        return failed(ERROR_INVALID_PARAMETER);
    }
    if (!bytesRead || (!buffer && bytesToRead)) return failed(ERROR_INVALID_PARAMETER);
    if (!f->canRead) return failed(ERROR_ACCESS_DENIED);
    // A file read stops short only at its end: keep reading until then.
    char* out = static_cast<char*>(buffer);
    DWORD done = 0;
    while (done < bytesToRead) {
        const ssize_t n = ::read(f->fd, out + done, bytesToRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            WS_LOG("file", "ReadFile(%s): %s", f->path.c_str(), std::strerror(err));
            *bytesRead = done;
            return failed(winshim::ERR_FromErrno(err));
        }
        if (n == 0) break;
        done += DWORD(n);
    }
    *bytesRead = done;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                                 LPOVERLAPPED overlapped) {
    if (bytesWritten && !overlapped) *bytesWritten = 0;
    std::shared_ptr<winshim::FileObject> f = winshim::FILE_FromHandle(file);
    if (!f) return failed(ERROR_INVALID_HANDLE);
    if (overlapped) {
        winshim::LOG_Once("WriteFile overlapped", "WriteFile: overlapped I/O is not supported");
        return failed(ERROR_INVALID_PARAMETER);
    }
    if (!bytesWritten || (!buffer && bytesToWrite)) return failed(ERROR_INVALID_PARAMETER);
    if (!f->canWrite) return failed(ERROR_ACCESS_DENIED);
    // All or an error: a short write (a full disk) goes on until write says why.
    const char* in = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < bytesToWrite) {
        const ssize_t n = ::write(f->fd, in + done, bytesToWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            WS_LOG("file", "WriteFile(%s): %s", f->path.c_str(), std::strerror(err));
            *bytesWritten = done;
            return failed(winshim::ERR_FromErrno(err));
        }
        done += DWORD(n);
    }
    *bytesWritten = done;
    return TRUE;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE file) {
    std::shared_ptr<winshim::FileObject> f = winshim::FILE_FromHandle(file);
    if (!f) return failed(ERROR_INVALID_HANDLE);
    if (!f->canWrite) return failed(ERROR_ACCESS_DENIED);
    if (::fsync(f->fd) == 0) return TRUE;
    const int err = errno;
    WS_LOG("file", "FlushFileBuffers(%s): %s", f->path.c_str(), std::strerror(err));
    return failed(winshim::ERR_FromErrno(err));
}
