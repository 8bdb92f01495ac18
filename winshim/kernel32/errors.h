// The thread's last-error value and the translation of host errors into the
// Windows error codes that callers of the file functions test for.
#pragma once
#include <windows.h>

namespace winshim {
// The Windows error code closest to a POSIX errno value.
DWORD ERR_FromErrno(int err);
}  // namespace winshim
