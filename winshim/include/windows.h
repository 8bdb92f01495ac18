/* The one set of Windows declarations that the program sees when it is not built
 * against the Windows SDK. Under the resource compiler only the constants count. */
#ifndef WINSHIM_WINDOWS_H
#define WINSHIM_WINDOWS_H

#include "windef.h"
#include "winbase.h"
#include "winuser.h"
#include "wingdi.h"

#endif
