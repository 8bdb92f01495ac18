// How long a command takes on a drive whose status call is slow to come back
// (spinning up, a USB drive being pulled out): the demo disc in a stand-in
// drive that answers CDROM_DRIVE_STATUS after a set time. Prints only.
//   drive_bench [calls]
#include <windows.h>
#include <linux/cdrom.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "mcicda/disc_drive.h"

namespace {

using Clock = std::chrono::steady_clock;

class SlowDrive : public winshim::DriveDevice {
public:
    std::atomic<int> delayMs{0};
    int status() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        return CDS_DISC_OK;
    }
    CdIo_t* open() override { return cdio_open(DEMO_CUE, DRIVER_BINCUE); }
    bool eject() override { return true; }
    bool closeTray() override { return true; }
    bool setReadSpeed(CdIo_t*, int) override { return false; }
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 40;
    setenv("WINSHIM_AUDIO", "null", 1);
    char home[] = "/tmp/drive_bench.XXXXXX";
    if (!mkdtemp(home)) return 1;
    setenv("XDG_CONFIG_HOME", home, 1);
    std::filesystem::create_directories(std::string(home) + "/varnel/drives");
    std::ofstream(std::string(home) + "/varnel/drives/x:") << "/dev/sr-bench\n";
    auto drive = std::make_shared<SlowDrive>();
    winshim::DISC_SetDriveDevicesForTests([&](const std::string&) { return drive; });

    char reply[64];
    mciSendStringA("open cdaudio!x: alias cd", reply, sizeof reply, nullptr);
    for (int i = 0;
         i < 200 && (mciSendStringA("status cd mode", reply, sizeof reply, nullptr) || std::string(reply) != "stopped");
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    mciSendStringA("play cd", reply, sizeof reply, nullptr);
    std::printf("\"status cd mode\" while playing, %d calls, drive status answered after:\n", calls);
    for (const int delay : {0, 5, 20, 100, 1000}) {
        drive->delayMs = delay;
        double total = 0, worst = 0;
        for (int i = 0; i < calls; ++i) {
            const auto t0 = Clock::now();
            mciSendStringA("status cd mode", reply, sizeof reply, nullptr);
            const double took = ms(Clock::now() - t0);
            total += took;
            worst = std::max(worst, took);
        }
        std::printf("  %5d ms   mean %7.2f ms   longest %7.2f ms   (%s)\n", delay, total / calls, worst, reply);
    }
    drive->delayMs = 0;
    mciSendStringA("close cd", reply, sizeof reply, nullptr);
    winshim::DISC_SetDriveDevicesForTests({});
    std::filesystem::remove_all(home);
    return 0;
}
