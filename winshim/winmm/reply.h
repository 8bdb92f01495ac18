// How a value a driver returns is written as the reply of a command string.
#pragma once
#include <mmsystem.h>

#include <string>
#include <string_view>

namespace winshim {
// The text of an MCI string id (modes, true/false, time formats, device types,
// track types), or null for an id winmm does not know.
const char* MCI_ResourceText(UINT id);

// The first string id whose text is `text` (a word MCI_ResourceText gives), or 0.
UINT MCI_ResourceId(std::string_view text);

// Writes `value` as the high word of the driver's `result` says: a string id
// (MCI_RESOURCE_RETURNED), mm:ss:ff, tt:mm:ss:ff, or a decimal integer.
// MCIERR_PARSER_INTERNAL for a string id that names nothing.
MCIERROR MCI_FormatReturn(DWORD result, DWORD value, std::string& text);

// Copies a reply into the caller's buffer, with its terminating NUL.
// MCIERR_PARAM_OVERFLOW when it does not fit (also when there is no buffer,
// unless `optional`).
MCIERROR MCI_WriteReply(const std::string& text, char* buffer, UINT length, bool optional);
}  // namespace winshim
