// GetWindowsDirectoryA and CreateDirectoryA.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/log.h"
#include "kernel32/errors.h"
#include "kernel32/path.h"

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    const std::string dir = winshim::PATH_WindowsDirectory();
    const UINT length = UINT(dir.size());
    // Too small: the size needed including the terminator, buffer untouched.
    if (!buffer || length >= size) return length + 1;
    std::memcpy(buffer, dir.c_str(), length + 1);
    return length;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES /*security*/) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string host = winshim::PATH_ToHost(path);
    if (mkdir(host.c_str(), 0777) == 0) return TRUE;
    const int err = errno;
    WS_LOG("file", "CreateDirectoryA(%s): %s", host.c_str(), std::strerror(err));
    // A missing parent is a path error on Windows, not a missing file.
    SetLastError(err == ENOENT ? ERROR_PATH_NOT_FOUND : winshim::ERR_FromErrno(err));
    return FALSE;
}
