// Open MCI devices: ids, aliases, shared opens, and the registered drivers
// behind them. One lock guards the table and every call into a driver, so a
// device is never closed under a command that is still running on it; commands
// come from the UI thread, but tools and tests may send from others.
#include "winmm/devices.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/log.h"
#include "winmm/commands.h"
#include "winmm/mcidriver.h"

namespace winshim {
namespace {
struct Device {
    MCIDEVICEID id = 0;
    std::string alias;    // lower case
    std::string type;     // lower case
    std::string element;  // as given; compared in any case
    bool shareable = false;
    std::shared_ptr<MciDriver> driver;  // shared by the shareable opens of one device
};

struct Table {
    std::recursive_mutex lock;
    std::map<std::string, MciDriverFactory> factories;
    std::vector<Device> devices;  // ordered by id
};

Table& table() {
    static Table* t = new Table;  // never destroyed: drivers may still be called at exit
    return *t;
}

std::string lower(const char* text) {
    std::string s = text ? text : "";
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

const char* devTypeName(DWORD_PTR id) {
    switch (id) {
    case MCI_DEVTYPE_CD_AUDIO:
        return "cdaudio";
    case MCI_DEVTYPE_WAVEFORM_AUDIO:
        return "waveaudio";
    case MCI_DEVTYPE_SEQUENCER:
        return "sequencer";
    default:
        return "";
    }
}

// Windows tells the callback window that a command finished. Here winmm posts
// the notice, not the driver (which sees MCI_NOTIFY but must not post); the end
// of a play is not reported, as the cdaudio driver of Windows does not either.
void notify(UINT message, DWORD_PTR flags, const void* parms, MCIDEVICEID id) {
    if (!(flags & MCI_NOTIFY) || message == MCI_PLAY || !parms) return;
    const auto callback = HWND(static_cast<const MCI_GENERIC_PARMS*>(parms)->dwCallback);
    if (callback) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, LPARAM(id));
}

MCIDEVICEID freeId(const std::vector<Device>& devices) {
    MCIDEVICEID id = 1;
    for (const Device& d : devices) {
        if (d.id != id) break;
        ++id;
    }
    return id;
}

// Removes one device; the driver hears MCI_CLOSE when its last open goes.
DWORD closeLocked(Table& t, std::vector<Device>::iterator it, DWORD_PTR flags, void* parms) {
    std::shared_ptr<MciDriver> driver = std::move(it->driver);
    WS_LOG("mci", "close device %u '%s'", it->id, it->alias.c_str());
    t.devices.erase(it);
    if (driver.use_count() > 1) return 0;
    MCI_GENERIC_PARMS generic{};
    return driver->command(MCI_CLOSE, flags, parms ? parms : &generic);
}
// What is left of a command once the table is unlocked: the devices to notify,
// and with MCI_WAIT the action to wait for.
struct Pending {
    std::vector<MCIDEVICEID> notified;
    std::shared_ptr<MciDriver> driver;  // kept alive should another thread close the device meanwhile
    uint64_t action = 0;

    void finish(Table& t, UINT message, DWORD_PTR flags, void* parms) {
        // Polled between other commands, so that one from another thread can end the action.
        while (action) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::lock_guard guard(t.lock);
            if (driver->actionOver(action)) action = 0;
        }
        for (MCIDEVICEID id : notified) notify(message, flags, parms, id);
    }
};

DWORD dispatchLocked(Table& t, MCIDEVICEID device, UINT message, DWORD_PTR flags, void* parms, Pending* pending) {
    if (device == MCI_ALL_DEVICE_ID) {
        if (message != MCI_CLOSE) return MCIERR_CANNOT_USE_ALL;
        while (!t.devices.empty()) {
            pending->notified.push_back(t.devices.front().id);
            closeLocked(t, t.devices.begin(), flags, parms);
        }
        return 0;
    }
    const auto it =
        std::find_if(t.devices.begin(), t.devices.end(), [device](const Device& d) { return d.id == device; });
    if (it == t.devices.end()) return MCIERR_INVALID_DEVICE_ID;
    if (message == MCI_CLOSE) {
        const DWORD result = closeLocked(t, it, flags, parms);
        if (LOWORD(result) == 0) pending->notified.push_back(device);
        return result;
    }
    const DWORD result = it->driver->command(message, flags, parms);
    if (LOWORD(result) != 0) return result;
    pending->notified.push_back(device);
    if (flags & MCI_WAIT) {
        pending->action = it->driver->lastingAction(message);
        if (pending->action) pending->driver = it->driver;
    }
    return result;
}
}  // namespace

MciDriverFactory MCI_RegisterDeviceType(const std::string& type, MciDriverFactory factory) {
    MCI_EnsureDrivers();  // a built-in driver registered later would replace this one
    Table& t = table();
    std::lock_guard guard(t.lock);
    const std::string key = lower(type.c_str());
    MciDriverFactory replaced = std::exchange(t.factories[key], std::move(factory));
    if (!t.factories[key]) t.factories.erase(key);
    return replaced;
}

void MCI_EnsureDrivers() {
    static const MciDriverEntry* const builtIn[] = {&MCICDA_Driver};
    static std::once_flag once;
    std::call_once(once, [] {
        Table& t = table();
        std::lock_guard guard(t.lock);
        for (const MciDriverEntry* driver : builtIn) t.factories[driver->type] = driver->open;
    });
}

MCIERROR MCI_Open(DWORD_PTR flags, MCI_OPEN_PARMSA* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    std::string type;
    if (flags & MCI_OPEN_TYPE_ID)
        type = devTypeName(DWORD_PTR(parms->lpstrDeviceType));
    else if (flags & MCI_OPEN_TYPE)
        type = lower(parms->lpstrDeviceType);
    else
        return MCIERR_DEVICE_TYPE_REQUIRED;
    const char* given = (flags & MCI_OPEN_ELEMENT) ? parms->lpstrElementName : nullptr;
    const std::string element = given ? given : "";
    const bool aliasGiven = (flags & MCI_OPEN_ALIAS) && parms->lpstrAlias;
    const std::string alias = aliasGiven ? lower(parms->lpstrAlias) : element.empty() ? type : lower(given);
    const bool shareable = flags & MCI_OPEN_SHAREABLE;
    if (type.empty() || alias.empty()) return MCIERR_INVALID_DEVICE_NAME;
    if (alias == "all") return MCIERR_CANNOT_USE_ALL;

    Table& t = table();
    std::unique_lock guard(t.lock);
    for (const Device& d : t.devices) {
        if (d.alias == alias) return aliasGiven ? MCIERR_DUPLICATE_ALIAS : MCIERR_DEVICE_OPEN;
    }
    std::shared_ptr<MciDriver> driver;
    for (const Device& d : t.devices) {
        if (d.type != type || lower(d.element.c_str()) != lower(element.c_str())) continue;
        if (!d.shareable || !shareable) return MCIERR_MUST_USE_SHAREABLE;
        driver = d.driver;
    }
    if (!driver) {
        const auto factory = t.factories.find(type);
        if (factory == t.factories.end()) return MCIERR_INVALID_DEVICE_NAME;
        MCIERROR error = MCIERR_CANNOT_LOAD_DRIVER;
        driver = factory->second(element, alias, &error);
        if (!driver) return error ? error : MCIERR_CANNOT_LOAD_DRIVER;
    }
    Device device{freeId(t.devices), alias, type, element, shareable, std::move(driver)};
    parms->wDeviceID = device.id;
    WS_LOG("mci", "open '%s' element '%s' as device %u '%s'", type.c_str(), element.c_str(), device.id, alias.c_str());
    const auto at = std::find_if(t.devices.begin(), t.devices.end(), [&](const Device& d) { return d.id > device.id; });
    t.devices.insert(at, std::move(device));
    guard.unlock();
    notify(MCI_OPEN, flags, parms, parms->wDeviceID);
    return 0;
}

MCIDEVICEID MCI_FindAlias(const char* alias) {
    const std::string wanted = lower(alias);
    Table& t = table();
    std::lock_guard guard(t.lock);
    for (const Device& d : t.devices) {
        if (d.alias == wanted) return d.id;
    }
    return 0;
}

DWORD MCI_SendToAlias(const char* alias, UINT message, DWORD_PTR flags, void* parms) {
    Table& t = table();
    Pending pending;
    DWORD result;
    {
        std::lock_guard guard(t.lock);  // recursive: held across the lookup and the command
        const MCIDEVICEID device = MCI_FindAlias(alias);
        if (!device) return MCIERR_INVALID_DEVICE_NAME;
        result = dispatchLocked(t, device, message, flags, parms, &pending);
    }
    pending.finish(t, message, flags, parms);
    return result;
}

DWORD MCI_Send(MCIDEVICEID device, UINT message, DWORD_PTR flags, void* parms) {
    Table& t = table();
    Pending pending;
    DWORD result;
    {
        std::lock_guard guard(t.lock);
        result = dispatchLocked(t, device, message, flags, parms, &pending);
    }
    pending.finish(t, message, flags, parms);
    return result;
}
}  // namespace winshim

extern "C" MCIERROR WINAPI mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parms) {
    winshim::MCI_EnsureDrivers();
    void* block = reinterpret_cast<void*>(parms);
    if (message == MCI_OPEN) return winshim::MCI_Open(flags, static_cast<MCI_OPEN_PARMSA*>(block));
    const MCIERROR error = LOWORD(winshim::MCI_Send(device, message, flags, block));
    // Logged in the words of a command string, as the string interface's commands are.
    WS_LOG("mci", "command '%s' -> %u",
           winshim::MCI_CommandString(std::to_string(device), message, flags, block)
               .value_or("message " + std::to_string(message) + " flags " + std::to_string(flags))
               .c_str(),
           unsigned(error));
    return error;
}
