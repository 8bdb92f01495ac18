// mciSendStringA: the reply buffer's rules around the command interpreter, and
// the hook through which tests of programs answer command strings themselves.
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "winmm/devices.h"
#include "winmm/mci.h"
#include "winmm/mcidriver.h"

namespace winshim {
namespace {
std::mutex hookLock;
MciStringHook& hook() {
    static MciStringHook h;
    return h;
}
}  // namespace

void MCI_SetStringHook(MciStringHook newHook) {
    std::lock_guard guard(hookLock);
    hook() = std::move(newHook);
}
}  // namespace winshim

extern "C" MCIERROR WINAPI mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback) {
    // The reply buffer is emptied first, whatever the outcome.
    if (returnString && returnLength > 0) returnString[0] = '\0';
    winshim::MciStringHook hook;
    {
        std::lock_guard guard(winshim::hookLock);
        hook = winshim::hook();
    }
    if (hook) return hook(command ? command : "", returnString, returnString ? returnLength : 0);
    winshim::MCI_EnsureDrivers();
    const MCIERROR error = winshim::MCI_Execute(command ? command : "", returnString, returnLength, callback);
    WS_LOG("mci", "'%s' -> %u '%s'", command ? command : "(null)", unsigned(error),
           !error && returnString && returnLength ? returnString : "");
    return error;
}
