// The command interpreter, for now without devices: it tells an empty
// command and a command without a device apart from one that names a
// device, which no device answers yet.
#include "winmm/mci.h"

#include <algorithm>

#include "core/log.h"

namespace winshim {
namespace {
constexpr std::string_view kBlanks = " \t";

// The next blank-separated word of `text`, consumed.
std::string_view nextWord(std::string_view& text) {
    const size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(start);
    const size_t stop = std::min(text.find_first_of(kBlanks), text.size());
    const std::string_view word = text.substr(0, stop);
    text.remove_prefix(stop);
    return word;
}
}  // namespace

MCIERROR MCI_Execute(std::string_view command, std::string& reply) {
    reply.clear();
    const std::string_view verb = nextWord(command);
    if (verb.empty()) return MCIERR_MISSING_COMMAND_STRING;
    const std::string_view device = nextWord(command);
    if (device.empty()) return MCIERR_MISSING_DEVICE_NAME;
    WS_LOG("mci", "no device answers '%.*s'", int(device.size()), device.data());
    return MCIERR_INVALID_DEVICE_NAME;
}
}  // namespace winshim
