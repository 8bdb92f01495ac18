// The table of open files and CloseHandle.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "core/log.h"
#include "kernel32/errors.h"
#include "kernel32/file.h"

namespace winshim {
namespace {
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<FileObject>> files;
    // Multiples of four, as Windows hands them out; far from 0 and from
    // INVALID_HANDLE_VALUE, and never reused.
    uintptr_t next = 0x1000;
};

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // outlives static destructors
    return *instance;
}
}  // namespace

FileObject::~FileObject() {
    if (fd >= 0) ::close(fd);
}

HANDLE FILE_AddHandle(std::shared_ptr<FileObject> file) {
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    const uintptr_t value = t.next;
    t.next += 4;
    t.files.emplace(value, std::move(file));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<FileObject> FILE_FromHandle(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.files.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.files.end() ? nullptr : it->second;
}

std::shared_ptr<FileObject> FILE_TakeHandle(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.files.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.files.end()) return nullptr;
    std::shared_ptr<FileObject> file = std::move(it->second);
    t.files.erase(it);
    return file;
}

DWORD FILE_ErrorForPath(const std::string& hostPath, int err) {
    if (err != ENOENT) return ERR_FromErrno(err);
    if (hostPath.empty()) return ERROR_PATH_NOT_FOUND;
    std::string folder = hostPath;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        folder = ".";
    else
        folder.resize(slash == 0 ? 1 : slash);
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}
}  // namespace winshim

extern "C" BOOL WINAPI CloseHandle(HANDLE object) {
    std::shared_ptr<winshim::FileObject> file = winshim::FILE_TakeHandle(object);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Out of the table nobody can take a new reference, so a count of one is
    // final: close here to report what close says (a network file system may
    // only then tell that the data did not reach it). A call still running on
    // another thread closes it when it ends instead.
    if (file.use_count() == 1 && file->fd >= 0) {
        const int fd = file->fd;
        file->fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            const int err = errno;
            WS_LOG("file", "close(%s): %s", file->path.c_str(), std::strerror(err));
            SetLastError(winshim::ERR_FromErrno(err));
            return FALSE;
        }
    }
    return TRUE;
}
