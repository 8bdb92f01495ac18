// Diagnostic channels switched on by WINSHIM_DEBUG (for example
// WINSHIM_DEBUG=mci,msg). Nothing is printed for a channel that is off.
#pragma once
#include <string_view>

namespace winshim {
bool LOG_Enabled(std::string_view channel);
void LOG_Print(std::string_view channel, const char* format, ...) __attribute__((format(printf, 2, 3)));
// For the loud defaults of window procedures: prints once per key, whatever the channels.
void LOG_Once(std::string_view key, const char* format, ...) __attribute__((format(printf, 2, 3)));
}  // namespace winshim

#define WS_LOG(channel, ...)                                       \
    do {                                                           \
        if (::winshim::LOG_Enabled(channel)) ::winshim::LOG_Print(channel, __VA_ARGS__); \
    } while (0)
