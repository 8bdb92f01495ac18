// libcdio's log handler: every message goes to the "cdio" channel, none ends the process.
#include <cdio/logging.h>

#include <mutex>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {
const char* levelName(cdio_log_level_t level) {
    switch (level) {
    case CDIO_LOG_DEBUG:
        return "debug";
    case CDIO_LOG_INFO:
        return "info";
    case CDIO_LOG_WARN:
        return "warning";
    case CDIO_LOG_ERROR:
        return "error";
    case CDIO_LOG_ASSERT:
        return "assert";
    }
    return "?";
}

void handler(cdio_log_level_t level, const char message[]) {
    WS_LOG("cdio", "%s: %s", levelName(level), message ? message : "");
}
}  // namespace

void DISC_InstallLogHandler() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(handler); });
}

}  // namespace winshim
