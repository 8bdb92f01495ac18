#include "mcicda/media.h"

#include <dbt.h>
#include <libudev.h>
#include <poll.h>
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "core/log.h"
#include "kernel32/drives.h"
#include "mcicda/disc.h"
#include "mcicda/state.h"

namespace winshim {
namespace {
std::mutex g_doorMutex;
std::set<char> g_openDoors;

// Watches udev for DISK_MEDIA_CHANGE on the drives of the drive table and tells
// whether a disc is now there. Runs for the life of the process.
void monitor() {
    std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), udev_unref);
    if (!context) return;
    std::unique_ptr<udev_monitor, decltype(&udev_monitor_unref)> mon(
        udev_monitor_new_from_netlink(context.get(), "udev"), udev_monitor_unref);
    if (!mon || udev_monitor_filter_add_match_subsystem_devtype(mon.get(), "block", "disk") < 0 ||
        udev_monitor_enable_receiving(mon.get()) < 0) {
        WS_LOG("media", "no udev monitor: disc changes in drives will not be noticed");
        return;
    }
    pollfd fd{udev_monitor_get_fd(mon.get()), POLLIN, 0};
    for (;;) {
        if (poll(&fd, 1, -1) <= 0) continue;
        std::unique_ptr<udev_device, decltype(&udev_device_unref)> dev(udev_monitor_receive_device(mon.get()),
                                                                       udev_device_unref);
        if (!dev) continue;
        const char* action = udev_device_get_action(dev.get());
        const char* change = udev_device_get_property_value(dev.get(), "DISK_MEDIA_CHANGE");
        const char* node = udev_device_get_devnode(dev.get());
        if (!action || std::strcmp(action, "change") != 0 || !change || !node) continue;
        for (const DriveEntry& drive : DRIVES_Table()) {
            if (drive.source != node) continue;
            auto disc = DISC_Open(node);
            bool present = disc && disc->media() == MediaState::Present;
            WS_LOG("media", "%c: %s", drive.letter, present ? "disc in" : "disc out");
            MEDIA_Notify(drive.letter, present);
        }
    }
}
}  // namespace

void MEDIA_Notify(char letter, bool arrived) {
    auto* app = QCoreApplication::instance();
    if (!app || letter < 'a' || letter > 'z') return;
    CDA_Changed();
    QMetaObject::invokeMethod(
        app,
        [letter, arrived] {
            DEV_BROADCAST_VOLUME volume{};
            volume.dbcv_size = sizeof volume;
            volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
            volume.dbcv_unitmask = DWORD(1) << (letter - 'a');
            volume.dbcv_flags = DBTF_MEDIA;
            SendMessageA(HWND_BROADCAST, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                         reinterpret_cast<LPARAM>(&volume));
        },
        Qt::QueuedConnection);
}

void MEDIA_StartMonitor() {
    static std::once_flag once;
    std::call_once(once, [] { std::thread(monitor).detach(); });
}

bool MEDIA_ImageDoorOpen(char letter) {
    std::lock_guard<std::mutex> lock(g_doorMutex);
    return g_openDoors.count(letter) != 0;
}

void MEDIA_SetImageDoorOpen(char letter, bool open) {
    std::lock_guard<std::mutex> lock(g_doorMutex);
    if (open)
        g_openDoors.insert(letter);
    else
        g_openDoors.erase(letter);
}
}  // namespace winshim
