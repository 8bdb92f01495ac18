#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace winshim {
namespace {
std::mutex g_mutex;

const std::set<std::string>& channels() {
    static const std::set<std::string> set = [] {
        std::set<std::string> s;
        const char* env = std::getenv("WINSHIM_DEBUG");
        std::string text = env ? env : "";
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(',', start);
            if (end == std::string::npos) end = text.size();
            if (end > start) s.insert(text.substr(start, end - start));
            start = end + 1;
        }
        return s;
    }();
    return set;
}

void vprint(std::string_view channel, const char* format, va_list args) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::fprintf(stderr, "winshim:%.*s: ", int(channel.size()), channel.data());
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}
}  // namespace

bool LOG_Enabled(std::string_view channel) {
    const auto& set = channels();
    return !set.empty() && (set.count(std::string(channel)) || set.count("all"));
}

void LOG_Print(std::string_view channel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprint(channel, format, args);
    va_end(args);
}

void LOG_Once(std::string_view key, const char* format, ...) {
    static std::set<std::string> seen;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!seen.insert(std::string(key)).second) return;
    }
    va_list args;
    va_start(args, format);
    vprint("unhandled", format, args);
    va_end(args);
}
}  // namespace winshim
