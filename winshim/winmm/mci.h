// The MCI command-string machinery behind mciSendStringA.
#pragma once
#include <mmsystem.h>

#include <string>
#include <string_view>

namespace winshim {
// Carries out one command string. On success the reply text (possibly
// empty) is in `reply`; otherwise the MCIERR_* code is returned.
MCIERROR MCI_Execute(std::string_view command, std::string& reply);
}  // namespace winshim
