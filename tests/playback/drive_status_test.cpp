// What a drive's own media status means to the cdaudio device, a drive that
// goes away and comes back, and which udev events tell of a disc change.
#include <dbt.h>

#include <cerrno>
#include <map>
#include <vector>

#include "drive_fixture.h"
#include "mcicda/media.h"

using namespace fakedrive;
using winshim::MediaDecision;

namespace {

const std::string kNotReady = "error " + std::to_string(MCIERR_DEVICE_NOT_READY);

// A top-level window that counts the media notices it is sent.
std::vector<WPARAM> g_notices;
LRESULT CALLBACK noticeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DEVICECHANGE) g_notices.push_back(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class DriveStatus : public DriveTest {
protected:
    void SetUp() override {
        DriveTest::SetUp();
        WNDCLASSA wc{};
        wc.lpfnWndProc = noticeProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DriveNotices";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, "DriveNotices", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, nullptr);
        setenv("WINSHIM_AUDIO", "null", 1);
    }
    void TearDown() override {
        DriveTest::TearDown();
        DestroyWindow(window_);
    }
    // The notices delivered since the last call.
    std::vector<WPARAM> notices() {
        testsupport::pumpFor(100);
        std::vector<WPARAM> seen;
        seen.swap(g_notices);
        return seen;
    }
    HWND window_ = nullptr;
};

struct StatusCase {
    const char* name;
    int answer;  // CDROM_DRIVE_STATUS: a CDS_* value or -errno
    bool blank;  // the disc in it cannot be read
    const char* mode;
    const char* present;  // media present, and ready
    std::string play;
};

TEST_F(DriveStatus, EachDriveStatusAnswersTheStatusCommandsAndPlay) {
    const StatusCase cases[] = {
        {"no info: the disc decides", CDS_NO_INFO, false, "stopped", "true", ""},
        {"no disc", CDS_NO_DISC, false, "open", "false", kNotReady},
        {"tray open", CDS_TRAY_OPEN, false, "open", "false", kNotReady},
        {"drive not ready", CDS_DRIVE_NOT_READY, false, "not ready", "false", kNotReady},
        {"disc ok", CDS_DISC_OK, false, "stopped", "true", ""},
        {"disc ok, but unreadable", CDS_DISC_OK, true, "not ready", "false", kNotReady},
        {"no medium", -ENOMEDIUM, false, "open", "false", kNotReady},
        {"input/output error", -EIO, false, "not ready", "false", kNotReady},
        {"no such device", -ENODEV, false, "open", "false", kNotReady},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        // A disc read before it turned unreadable would stay read: no drive
        // answers so without a disc change in between.
        load("two", kData, [&](FakeDrive& drive) {
            drive.answer = c.answer;
            drive.blank = c.blank;
        });
        ASSERT_TRUE(waitMode(c.mode));
        EXPECT_EQ(send("status cd media present"), c.present);
        EXPECT_EQ(send("status cd ready"), c.present);
        EXPECT_EQ(send("play cd"), c.play);
        EXPECT_EQ(send("status cd mode"), c.play.empty() ? "playing" : c.mode);
        send("close cd");
    }
}

TEST_F(DriveStatus, ADiscWithoutAudioIsPresentButDoesNotPlay) {
    load("noaudio");
    ASSERT_TRUE(waitMode("stopped"));
    EXPECT_EQ(send("status cd media present"), "true");
    EXPECT_EQ(send("play cd"), "error " + std::to_string(MCIERR_HARDWARE));
}

TEST_F(DriveStatus, ADriveThatGoesAwayAndComesBack) {
    for (const bool playing : {true, false}) {
        SCOPED_TRACE(playing ? "while playing" : "while stopped");
        load("three");
        ASSERT_TRUE(waitMode("stopped"));
        notices();
        if (playing) {
            ASSERT_EQ(send("play cd"), "");
        }
        const std::string before = playing ? "playing" : "stopped";

        // A drive being unplugged answers late, if at all: no command waits for it.
        drive_->hold();
        send("status cd mode");
        ASSERT_TRUE(drive_->waitForHeldCall());
        EXPECT_EQ(send("status cd mode"), before) << "the last answer, while the drive keeps its own";
        EXPECT_EQ(send("status cd media present"), "true");
        EXPECT_TRUE(drive_->heldInside()) << "the commands came back while the status call was held";

        drive_->answer = -ENODEV;
        drive_->release();
        ASSERT_TRUE(waitMode("open"));
        EXPECT_EQ(send("status cd media present"), "false");
        EXPECT_EQ(send("status cd ready"), "false");
        EXPECT_EQ(send("play cd"), kNotReady);
        send("status cd mode");
        EXPECT_EQ(notices(), std::vector<WPARAM>{DBT_DEVICEREMOVECOMPLETE}) << "told once";

        drive_->answer = CDS_DISC_OK;
        ASSERT_TRUE(waitMode("stopped"));
        EXPECT_EQ(send("status cd media present"), "true");
        EXPECT_EQ(send("play cd from 00:02:00 to 00:02:10"), "");
        EXPECT_EQ(send("status cd mode"), "playing");
        send("status cd mode");
        EXPECT_EQ(notices(), std::vector<WPARAM>{DBT_DEVICEARRIVAL});
        send("close cd");
    }
}

TEST_F(DriveStatus, TheDoorEjectsAndClosesTheTray) {
    load("two");
    ASSERT_TRUE(waitMode("stopped"));
    EXPECT_EQ(send("set cd door open"), "");
    EXPECT_EQ(drive_->answer, CDS_TRAY_OPEN);
    ASSERT_TRUE(waitMode("open"));
    EXPECT_EQ(send("set cd door closed"), "");
    ASSERT_TRUE(waitMode("stopped"));
    EXPECT_EQ(send("status cd number of tracks"), "2");
}

using Props = std::map<std::string, std::string>;
struct EventCase {
    const char* name;
    Props event;
    std::vector<MediaDecision> decisions;
};

TEST(MediaEvents, WhichUdevEventsTellOfADiscChange) {
    using What = MediaDecision::What;
    const std::vector<winshim::DriveEntry> drives = {{'d', "/dev/sr0"}, {'e', "/dev/sr1"}, {'f', "/tmp/disc.cue"}};
    const Props cdrom = {{"ID_CDROM", "1"}, {"DISK_MEDIA_CHANGE", "1"}};
    auto with = [](Props p, const Props& more) {
        for (const auto& [k, v] : more) p[k] = v;
        return p;
    };
    const EventCase cases[] = {
        {"an audio disc in",
         with(cdrom, {{"ACTION", "change"},
                      {"DEVNAME", "/dev/sr0"},
                      {"ID_CDROM_MEDIA", "1"},
                      {"ID_CDROM_MEDIA_TRACK_COUNT_AUDIO", "12"}}),
         {{'d', What::Arrived, 12}}},
        {"a data disc in: announced as Windows does",
         with(cdrom, {{"ACTION", "change"}, {"DEVNAME", "/dev/sr1"}, {"ID_CDROM_MEDIA", "1"}}),
         {{'e', What::Arrived, -1}}},
        {"the disc out", with(cdrom, {{"ACTION", "change"}, {"DEVNAME", "/dev/sr0"}}), {{'d', What::Left, -1}}},
        {"straight from the kernel: ask the drive",
         {{"ACTION", "change"}, {"DEVNAME", "sr1"}, {"DISK_MEDIA_CHANGE", "1"}},
         {{'e', What::Probe, -1}}},
        {"the drive unplugged", {{"ACTION", "remove"}, {"DEVNAME", "/dev/sr0"}}, {{'d', What::Left, -1}}},
        {"the drive plugged in", {{"ACTION", "add"}, {"DEVNAME", "/dev/sr1"}}, {{'e', What::Probe, -1}}},
        {"the eject button", {{"ACTION", "change"}, {"DEVNAME", "/dev/sr0"}, {"DISK_EJECT_REQUEST", "1"}}, {}},
        {"a change that is not the media", {{"ACTION", "change"}, {"DEVNAME", "/dev/sr0"}}, {}},
        {"a drive not in the table",
         with(cdrom, {{"ACTION", "change"}, {"DEVNAME", "/dev/sr7"}, {"ID_CDROM_MEDIA", "1"}}),
         {}},
        {"no device name", with(cdrom, {{"ACTION", "change"}, {"ID_CDROM_MEDIA", "1"}}), {}},
        {"a malformed track count",
         with(cdrom, {{"ACTION", "change"},
                      {"DEVNAME", "/dev/sr0"},
                      {"ID_CDROM_MEDIA", "1"},
                      {"ID_CDROM_MEDIA_TRACK_COUNT_AUDIO", "x2"}}),
         {{'d', What::Arrived, -1}}},
    };
    for (const EventCase& c : cases) EXPECT_EQ(winshim::MEDIA_Decide(c.event, drives), c.decisions) << c.name;
}

}  // namespace
