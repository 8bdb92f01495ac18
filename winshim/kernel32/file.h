// Open files behind HANDLEs, and the error translation the file functions share.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace winshim {
// Windows codes the file functions can produce that the SDK subset leaves out.

// An open file. The descriptor is closed with the last reference, so a call in
// progress on another thread keeps it valid while CloseHandle runs there.
struct FileObject {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    std::string path;  // for the log

    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject();
};

// Handles are entries in a table, never descriptors: a value is never handed
// out twice, so a stale handle cannot reach a file opened later.
HANDLE FILE_AddHandle(std::shared_ptr<FileObject> file);
// The file behind a handle, or null for an unknown or closed one.
std::shared_ptr<FileObject> FILE_FromHandle(HANDLE handle);
// Takes the file out of the table; null when the handle was not in it.
std::shared_ptr<FileObject> FILE_TakeHandle(HANDLE handle);

// The Windows error for a lookup of the host path that failed with `err`: a
// missing last component is a missing file, a missing folder on the way to it
// a missing path.
DWORD FILE_ErrorForPath(const std::string& hostPath, int err);
}  // namespace winshim
