// SHGetFolderPathA: the user's own folders. Roaming application data is the
// configuration home of the XDG convention (where the Windows directory lies
// too, so the folders a program keeps there are the user's own), local
// application data the data home.
#include <shlobj.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "core/log.h"
#include "kernel32/path.h"

namespace {
constexpr HRESULT kFileNotFound = HRESULT(0x80070002L);  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)

bool isFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

extern "C" HRESULT WINAPI SHGetFolderPathA(HWND /*owner*/, int folder, HANDLE /*token*/, DWORD flags, LPSTR path) {
    if (!path) return E_INVALIDARG;
    // Microsoft documents the buffer as empty after every failure.
    path[0] = '\0';
    if (flags != SHGFP_TYPE_CURRENT && flags != SHGFP_TYPE_DEFAULT) return E_INVALIDARG;
    std::string dir;
    switch (folder & ~CSIDL_FLAG_CREATE) {
    case CSIDL_APPDATA:
        dir = winshim::PATH_ConfigHome();
        break;
    case CSIDL_LOCAL_APPDATA:
        dir = winshim::PATH_DataHome();
        break;
    default:
        winshim::LOG_Once("SHGetFolderPathA folder", "SHGetFolderPathA: only CSIDL_APPDATA and CSIDL_LOCAL_APPDATA");
        return E_INVALIDARG;
    }
    if (dir.size() >= MAX_PATH) return E_FAIL;
    if (!isFolder(dir)) {
        if (!(folder & CSIDL_FLAG_CREATE)) return kFileNotFound;
        if (!winshim::PATH_MakeFolders(dir)) return E_FAIL;
    }
    std::memcpy(path, dir.c_str(), dir.size() + 1);
    return S_OK;
}
