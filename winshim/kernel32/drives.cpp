// GetDriveTypeA and the drive table behind it.
#include "kernel32/drives.h"

#include <windows.h>

namespace winshim {
bool DRIVES_IsCdLetter(char /*lowerLetter*/) {
    // No CD drives are known yet; the table of optical drives and disc
    // images answers here once it exists.
    return false;
}
}  // namespace winshim

namespace {
bool isSeparator(char c) {
    return c == '\\' || c == '/';
}
}  // namespace

extern "C" UINT WINAPI GetDriveTypeA(LPCSTR rootPath) {
    // No root means the current directory's drive, and the root of the
    // current drive is the same: both are c:, the fixed host root.
    if (!rootPath || (isSeparator(rootPath[0]) && rootPath[1] == '\0')) return DRIVE_FIXED;
    const char lower = char(rootPath[0] | 0x20);
    if (lower < 'a' || lower > 'z' || rootPath[1] != ':') return DRIVE_NO_ROOT_DIR;
    if (rootPath[2] != '\0' && !(isSeparator(rootPath[2]) && rootPath[3] == '\0')) return DRIVE_NO_ROOT_DIR;
    if (lower == 'c') return DRIVE_FIXED;
    return winshim::DRIVES_IsCdLetter(lower) ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
}
