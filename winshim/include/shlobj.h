/* SHELL32: the user's known folders, by CSIDL. */
#ifndef WINSHIM_SHLOBJ_H
#define WINSHIM_SHLOBJ_H

#include "windef.h"

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_FLAG_CREATE 0x8000

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

#ifndef RC_INVOKED
#ifdef __cplusplus
extern "C" {
#endif

HRESULT WINAPI SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);

#ifdef __cplusplus
}
#endif
#endif /* RC_INVOKED */

#endif
