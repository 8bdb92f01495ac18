#include "mcicda/media.h"

#include <dbt.h>
#include <libudev.h>
#include <poll.h>
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "core/log.h"
#include "kernel32/drives.h"
#include "mcicda/disc.h"
#include "mcicda/disc_drive.h"
#include "mcicda/state.h"

namespace winshim {
namespace {
std::mutex g_doorMutex;
std::set<char> g_openDoors;

std::mutex g_presentMutex;
std::map<char, bool> g_present;

std::map<std::string, std::string> propertiesOf(udev_device* dev) {
    std::map<std::string, std::string> properties;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(dev)) {
        const char* value = udev_list_entry_get_value(entry);
        properties[udev_list_entry_get_name(entry)] = value ? value : "";
    }
    return properties;
}

// Watches udev for media changes and departures of the drives of the drive
// table. Runs for the life of the process.
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
        const std::vector<DriveEntry> drives = DRIVES_Table();
        for (const MediaDecision& d : MEDIA_Decide(propertiesOf(dev.get()), drives)) {
            bool present = d.what == MediaDecision::What::Arrived;
            if (d.what == MediaDecision::What::Probe) {
                for (const DriveEntry& drive : drives)
                    if (drive.letter == d.letter) present = DISC_DriveHasDisc(*DISC_DeviceNode(drive.source));
            }
            WS_LOG("media", "%c: %s (audio tracks %d)", d.letter, present ? "disc in" : "disc out", d.audioTracks);
            MEDIA_Report(d.letter, present);
        }
    }
}

std::string property(const std::map<std::string, std::string>& properties, const char* name) {
    const auto it = properties.find(name);
    return it == properties.end() ? std::string() : it->second;
}

// The same device, whether the drive table names it by a link (/dev/cdrom) or itself.
bool sameDevice(const std::string& source, const std::string& node) {
    std::error_code ec;
    return source == node || std::filesystem::weakly_canonical(source, ec) == node;
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

void MEDIA_Report(char letter, bool present, bool announce) {
    {
        std::lock_guard<std::mutex> lock(g_presentMutex);
        const auto known = g_present.find(letter);
        if (known != g_present.end() && known->second == present) return;
        g_present[letter] = present;
    }
    if (announce) MEDIA_Notify(letter, present);
}

std::vector<MediaDecision> MEDIA_Decide(const std::map<std::string, std::string>& properties,
                                        const std::vector<DriveEntry>& drives) {
    const std::string action = property(properties, "ACTION");
    std::string node = property(properties, "DEVNAME");
    if (node.empty()) return {};
    // The kernel names the device without its folder; udev with it.
    if (node[0] != '/') node = "/dev/" + node;
    std::optional<MediaDecision::What> what;
    if (action == "remove") {
        what = MediaDecision::What::Left;  // the drive went away, and its disc with it
    } else if (action == "add") {
        what = MediaDecision::What::Probe;  // a drive (back) with a disc in it, perhaps
    } else if (action == "change" && property(properties, "DISK_MEDIA_CHANGE") == "1") {
        // udev's cdrom_id says what is in the drive; an event straight from
        // the kernel does not. Any disc is announced, as Windows announces a
        // data disc too.
        if (!properties.count("ID_CDROM"))
            what = MediaDecision::What::Probe;
        else
            what = property(properties, "ID_CDROM_MEDIA") == "1" ? MediaDecision::What::Arrived
                                                                 : MediaDecision::What::Left;
    }
    if (!what) return {};
    const std::string audio = property(properties, "ID_CDROM_MEDIA_TRACK_COUNT_AUDIO");
    const int audioTracks = audio.empty()                                                ? -1
                            : audio.find_first_not_of("0123456789") == std::string::npos ? std::stoi(audio)
                                                                                         : -1;
    std::vector<MediaDecision> decisions;
    for (const DriveEntry& drive : drives)
        if (sameDevice(drive.source, node)) decisions.push_back({drive.letter, *what, audioTracks});
    return decisions;
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
