// mciSendStringA: the reply buffer's rules around the command interpreter.
#include <cstring>
#include <string>

#include "core/log.h"
#include "winmm/mci.h"

extern "C" MCIERROR WINAPI mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND /*callback*/) {
    // The reply buffer is emptied first, whatever the outcome.
    if (returnString && returnLength > 0) returnString[0] = '\0';
    std::string reply;
    const MCIERROR error = winshim::MCI_Execute(command ? command : "", reply);
    WS_LOG("mci", "'%s' -> %u '%s'", command ? command : "(null)", unsigned(error), reply.c_str());
    if (error || reply.empty() || !returnString) return error;
    if (reply.size() >= returnLength) return MCIERR_PARAM_OVERFLOW;
    std::memcpy(returnString, reply.c_str(), reply.size() + 1);
    return 0;
}
