#include "mcicda/state.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <utility>
#include <vector>

namespace winshim {
namespace {
// Devices may close during static destruction, after any static vector here
// would be gone: the list lives as long as the process.
auto& devices() {
    static auto* list = new std::vector<std::pair<const void*, std::function<CdaState()>>>;
    return *list;
}
std::vector<std::function<void()>>& observers() {
    static auto* list = new std::vector<std::function<void()>>;
    return *list;
}
// Notices that come while one is queued are the same notice.
std::atomic<bool> g_queued{false};
}  // namespace

CdaState CDA_State() {
    return devices().empty() ? CdaState{} : devices().back().second();
}

void CDA_Watch(std::function<void()> observer) {
    observers().push_back(std::move(observer));
}

void CDA_Publish(const void* key, std::function<CdaState()> read) {
    devices().emplace_back(key, std::move(read));
    CDA_Changed();
}

void CDA_Withdraw(const void* key) {
    std::erase_if(devices(), [key](const auto& device) { return device.first == key; });
    CDA_Changed();
}

void CDA_Changed() {
    auto* app = QCoreApplication::instance();
    if (!app || g_queued.exchange(true)) return;
    QMetaObject::invokeMethod(
        app,
        [] {
            g_queued = false;
            for (const auto& observer : observers()) observer();
        },
        Qt::QueuedConnection);
}
}  // namespace winshim
