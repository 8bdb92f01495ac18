// mciSendStringA: the reply buffer's rules around the command interpreter.
#include <windows.h>
#include <mmsystem.h>

#include "core/log.h"
#include "winmm/devices.h"
#include "winmm/mci.h"

extern "C" MCIERROR WINAPI mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback) {
    // The reply buffer is emptied first, whatever the outcome.
    if (returnString && returnLength > 0) returnString[0] = '\0';
    winshim::MCI_EnsureDrivers();
    const MCIERROR error = winshim::MCI_Execute(command ? command : "", returnString, returnLength, callback);
    WS_LOG("mci", "'%s' -> %u '%s'", command ? command : "(null)", unsigned(error),
           !error && returnString && returnLength ? returnString : "");
    return error;
}
