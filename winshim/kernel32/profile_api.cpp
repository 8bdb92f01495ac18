// GetPrivateProfileIntA, GetPrivateProfileStringA, WritePrivateProfileStringA.
//
// Every call reads the file afresh (other processes may change it) and
// every change rewrites it atomically. Calls are serialised within the
// process so that two threads' read-modify-write cycles cannot interleave.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "kernel32/errors.h"
#include "kernel32/hostfile.h"
#include "kernel32/path.h"
#include "kernel32/profile.h"

namespace winshim {
namespace {
std::mutex g_profileLock;

// A bare file name lives in the Windows directory; anything with a folder
// part is a path of its own.
std::string profilePath(const char* fileName) {
    if (!PATH_HasSeparator(fileName)) return PATH_WindowsDirectory() + "/" + fileName;
    return PATH_ToHost(fileName);
}

// Loads the profile; false when it cannot be read (missing or otherwise),
// with the last error set as Windows sets it.
bool load(const char* fileName, ProfileText& text) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const std::string path = profilePath(fileName);
    std::string bytes;
    if (const int err = FILE_ReadAll(path, bytes)) {
        if (err != ENOENT) WS_LOG("profile", "cannot read %s: %s", path.c_str(), std::strerror(err));
        SetLastError(err == ENOENT ? ERROR_FILE_NOT_FOUND : ERR_FromErrno(err));
        return false;
    }
    text = ProfileText(bytes);
    return true;
}

DWORD copyString(std::string_view text, char* buffer, DWORD size) {
    const size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return DWORD(count);
}

// A list of names, each ended by a NUL, with one more NUL after the last.
// When it does not fit, the list is cut so that its last name ends two
// bytes before the end of the buffer and the count is size - 2.
DWORD copyList(const std::vector<std::string>& names, char* buffer, DWORD size) {
    std::string list;
    for (const std::string& name : names) list.append(name).push_back('\0');
    if (list.empty() || size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    if (list.size() + 2 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return DWORD(list.size());
    }
    const DWORD count = size - 2;
    std::memcpy(buffer, list.data(), count);
    buffer[count] = '\0';
    buffer[count + 1] = '\0';
    return count;
}
}  // namespace
}  // namespace winshim

using namespace winshim;

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                                                 DWORD size, LPCSTR fileName) {
    if (!buffer || size == 0) return 0;
    // Trailing blanks of the default never reach the caller.
    std::string_view fallback = defaultValue ? defaultValue : "";
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) fallback.remove_suffix(1);

    std::lock_guard<std::mutex> lock(g_profileLock);
    ProfileText text;
    const bool loaded = load(fileName, text);
    if (!section) return copyList(loaded ? text.sectionNames() : std::vector<std::string>{}, buffer, size);
    if (!loaded) return copyString(fallback, buffer, size);
    if (!key) {
        const auto keys = text.keyNames(section);
        if (!keys) {
            buffer[0] = '\0';
            if (size > 1) buffer[1] = '\0';
            return 0;
        }
        return copyList(*keys, buffer, size);
    }
    const auto value = text.value(section, key);
    return copyString(value ? std::string_view(*value) : fallback, buffer, size);
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    if (!section || !key) return UINT(defaultValue);
    std::lock_guard<std::mutex> lock(g_profileLock);
    ProfileText text;
    if (!load(fileName, text)) return UINT(defaultValue);
    const auto value = text.value(section, key);
    if (!value || value->empty()) return UINT(defaultValue);
    return PROFILE_ParseInt(*value);
}

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (!section) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!fileName || !*fileName) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(g_profileLock);
    const std::string path = profilePath(fileName);
    std::string bytes;
    const int readError = FILE_ReadAll(path, bytes);
    if (readError && readError != ENOENT) {
        WS_LOG("profile", "cannot read %s: %s", path.c_str(), std::strerror(readError));
        SetLastError(ERR_FromErrno(readError));
        return FALSE;
    }
    ProfileText text(bytes);
    const bool changed = !key     ? text.removeSection(section)
                         : !value ? text.removeKey(section, key)
                                  : text.setValue(section, key, value);
    // Windows leaves a file alone that already says it all (a missing one is
    // created even by a deletion). A temporary file beside it is ours alone,
    // left by a rewrite that a crash cut short: it goes, so that no save,
    // changed or not, leaves one behind.
    if (!changed && !readError) {
        FILE_RemoveLeftover(path);
        return TRUE;
    }
    if (const int err = FILE_ReplaceAtomically(path, text.bytes())) {
        WS_LOG("profile", "cannot write %s: %s", path.c_str(), std::strerror(err));
        // Nothing to create the file in: the folder part of the path is wrong.
        SetLastError(err == ENOENT ? ERROR_PATH_NOT_FOUND : ERR_FromErrno(err));
        return FALSE;
    }
    return TRUE;
}
