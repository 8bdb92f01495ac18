// Choosing the output from WINSHIM_AUDIO's value.
#include "mcicda/audio_output.h"

#include <mutex>

#include "core/log.h"

namespace winshim {
namespace {
std::mutex g_testDeviceMutex;
std::function<std::unique_ptr<AudioOutput>()> g_testDevice;
}  // namespace

void AUDIO_SetDeviceForTests(std::function<std::unique_ptr<AudioOutput>()> make) {
    std::lock_guard lk(g_testDeviceMutex);
    g_testDevice = std::move(make);
}

std::unique_ptr<AudioOutput> AUDIO_Open(const std::string& choice) {
    std::unique_ptr<AudioOutput> out;
    if (choice == "null") {
        out = AUDIO_OpenNull();
    } else if (choice.rfind("capture:", 0) == 0) {
        out = AUDIO_OpenCapture(choice.substr(8));
    } else {
        if (!choice.empty()) LOG_Once("audio.choice", "WINSHIM_AUDIO=%s is not null or capture:FILE", choice.c_str());
        std::function<std::unique_ptr<AudioOutput>()> testDevice;
        {
            std::lock_guard lk(g_testDeviceMutex);
            testDevice = g_testDevice;
        }
        out = testDevice ? testDevice() : AUDIO_OpenDevice();
        if (!out) out = AUDIO_OpenStandIn();
    }
    if (!out) out = AUDIO_OpenNull();
    WS_LOG("audio", "output: %s", out->name());
    return out;
}

}  // namespace winshim
