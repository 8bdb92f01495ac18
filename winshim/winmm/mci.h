// The MCI command-string interpreter behind mciSendStringA.
#pragma once
#include <mmsystem.h>

#include <string_view>

namespace winshim {
// Parses one command string against the command tables, hands it to the named
// device and writes the reply (if any) into `reply` (`length` bytes, which the
// caller has emptied). `callback` receives MM_MCINOTIFY for `notify`.
MCIERROR MCI_Execute(std::string_view command, char* reply, UINT length, HWND callback);
}  // namespace winshim
