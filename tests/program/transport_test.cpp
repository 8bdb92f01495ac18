// Play, Stop, Pause/Resume and Eject against the scripted device: the commands
// each one sends, and the captions and enabled state that hold the transport's
// state.

#include <QCoreApplication>
#include <QCursor>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "program_fixture.h"
#include "resource.h"
#include "varnel.h"

namespace {

class TransportTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        InsertDisc("255", 4);
        Start();
        OpenNow();
        commands.clear();
    }
    LRESULT Command(WPARAM wParam) { return SendMessageA(main_, WM_COMMAND, wParam, 0); }
    bool PauseEnabled() { return IsWindowEnabled(GetDlgItem(main_, IDC_PAUSE)); }
};

struct Step {
    WPARAM command;
    std::vector<std::string> sent;
    const char* play;  // captions afterwards
    const char* pause;
    bool pauseEnabled;
};

const std::vector<std::string> kPlay3 = {"set cd time format tmsf", "play cd from 3"};

TEST_F(TransportTest, CaptionsAndCommands) {
    struct Case {
        const char* name;
        int track;  // currentTrack before the first step
        std::vector<Step> steps;
    } cases[] = {
        {"play from idle", 3, {{IDC_PLAY, kPlay3, "Stop", "Pause", true}}},
        {"play with no track", 0, {{IDC_PLAY, {"set cd time format tmsf", "play cd from 0"}, "Stop", "Pause", true}}},
        {"play, then play again stops",
         3,
         {{IDC_PLAY, kPlay3, "Stop", "Pause", true}, {IDC_PLAY, {"stop cd"}, "Play", "Pause", false}}},
        {"play while paused only stops",
         3,
         {{IDC_PLAY, kPlay3, "Stop", "Pause", true},
          {IDC_PAUSE, {"pause cd"}, "Stop", "Resume", true},
          {IDC_PLAY, {"stop cd"}, "Play", "Pause", false}}},
        {"menu stop changes no caption",
         3,
         {{IDC_PLAY, kPlay3, "Stop", "Pause", true},
          {IDM_STOP, {"stop cd"}, "Stop", "Pause", true},
          {IDC_PLAY, {"stop cd"}, "Play", "Pause", false},
          {IDC_PLAY, kPlay3, "Stop", "Pause", true}}},
        {"pause and resume",
         3,
         {{IDC_PLAY, kPlay3, "Stop", "Pause", true},
          {IDC_PAUSE, {"pause cd"}, "Stop", "Resume", true},
          {IDC_PAUSE, {"play cd"}, "Stop", "Pause", true}}},
        {"pause from the menu while idle",
         3,
         {{IDC_PAUSE, {"pause cd"}, "Play", "Resume", false},
          {IDC_PAUSE, {"play cd"}, "Play", "Pause", false},
          {IDC_PAUSE, {"pause cd"}, "Play", "Resume", false},
          {IDC_PLAY, kPlay3, "Stop", "Pause", true}}},
        {"stop from the menu while idle", 3, {{IDM_STOP, {"stop cd"}, "Play", "Pause", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDlgItemTextA(main_, IDC_PLAY, "Play");
        SetDlgItemTextA(main_, IDC_PAUSE, "Pause");
        EnableWindow(GetDlgItem(main_, IDC_PAUSE), FALSE);
        currentTrack = c.track;
        for (size_t i = 0; i < c.steps.size(); i++) {
            const Step& s = c.steps[i];
            SCOPED_TRACE(i);
            commands.clear();
            EXPECT_EQ(Command(s.command), 0);
            EXPECT_EQ(commands, s.sent);
            EXPECT_EQ(Text(IDC_PLAY), s.play);
            EXPECT_EQ(Text(IDC_PAUSE), s.pause);
            EXPECT_EQ(PauseEnabled(), s.pauseEnabled);
        }
    }
}

TEST_F(TransportTest, FreshWindowIsIdleAndFirstPlayStartsTrackOne) {
    EXPECT_EQ(Text(IDC_PLAY), "Play");
    EXPECT_EQ(Text(IDC_PAUSE), "Pause");
    EXPECT_FALSE(PauseEnabled());
    Command(IDC_PLAY);
    EXPECT_EQ(commands, (std::vector<std::string>{"set cd time format tmsf", "play cd from 1"}));
}

// The toggles compare the whole caption; anything else counts as the other state.
TEST_F(TransportTest, CaptionsMatchExactly) {
    struct Case {
        int id;
        const char* caption;
        std::vector<std::string> sent;
    } cases[] = {
        {IDC_PLAY, "play", {"stop cd"}},   {IDC_PLAY, "Play ", {"stop cd"}},   {IDC_PLAY, "", {"stop cd"}},
        {IDC_PAUSE, "pause", {"play cd"}}, {IDC_PAUSE, "Pause!", {"play cd"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        SetDlgItemTextA(main_, c.id, c.caption);
        commands.clear();
        Command(c.id);
        EXPECT_EQ(commands, c.sent);
    }
}

TEST_F(TransportTest, EjectFollowsTheDoor) {
    struct Case {
        const char* mode;  // null: the query fails
        const char* sent;
    } cases[] = {
        {"open", "set cd door closed"},
        {"playing", "set cd door open"},
        {"not ready", "set cd door open"},
        {nullptr, "set cd door open"},
    };
    SetDlgItemTextA(main_, IDC_PLAY, "Stop");
    SetDlgItemTextA(main_, IDC_PAUSE, "Resume");
    EnableWindow(GetDlgItem(main_, IDC_PAUSE), TRUE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode ? c.mode : "(failed)");
        if (c.mode)
            answers["status cd mode"] = c.mode;
        else
            answers.erase("status cd mode");
        commands.clear();
        EXPECT_EQ(Command(IDC_EJECT), 0);
        EXPECT_EQ(commands, (std::vector<std::string>{"status cd mode", c.sent}));
        EXPECT_EQ(Text(IDC_PLAY), "Stop");
        EXPECT_EQ(Text(IDC_PAUSE), "Resume");
        EXPECT_TRUE(PauseEnabled());
    }
}

// Buttons send their identifier with the click notification, which is 0; any
// other notification code is not a command.
TEST_F(TransportTest, ButtonsAndNotificationCodes) {
    currentTrack = 2;
    SendMessageA(GetDlgItem(main_, IDC_PAUSE), BM_CLICK, 0, 0);
    EXPECT_TRUE(commands.empty()) << "the disabled Pause button ignores a click";
    SendMessageA(GetDlgItem(main_, IDC_PLAY), BM_CLICK, 0, 0);
    EXPECT_EQ(commands, (std::vector<std::string>{"set cd time format tmsf", "play cd from 2"}));
    commands.clear();
    SendMessageA(GetDlgItem(main_, IDC_PAUSE), BM_CLICK, 0, 0);
    EXPECT_EQ(commands, (std::vector<std::string>{"pause cd"}));
    commands.clear();
    SendMessageA(GetDlgItem(main_, IDC_EJECT), BM_CLICK, 0, 0);
    EXPECT_EQ(commands, (std::vector<std::string>{"status cd mode", "set cd door open"}));

    for (WPARAM id : {IDC_PLAY, IDM_STOP, IDC_PAUSE, IDC_EJECT}) {
        SCOPED_TRACE(id);
        commands.clear();
        SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 1), 0);
        EXPECT_TRUE(commands.empty());
    }
    EXPECT_EQ(Text(IDC_PLAY), "Stop");
    EXPECT_EQ(Text(IDC_PAUSE), "Resume");
}

// A double click in the track list is the Play command: it plays the clicked
// track from Idle, and stops the disc while the caption reads "Stop".
TEST_F(TransportTest, DoubleClickActsAsPlay) {
    ShowWindow(main_, SW_SHOWNORMAL);
    struct Case {
        int row;
        std::vector<std::string> sent;
        const char* play;
    } cases[] = {
        {2, {"set cd time format tmsf", "play cd from 3"}, "Stop"},
        {0, {"stop cd"}, "Play"},
        {1, {"set cd time format tmsf", "play cd from 2"}, "Stop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        RECT r{};
        r.left = LVIR_LABEL;  // the row's own column: the others are its subitems
        SendMessageA(TrackList(), LVM_GETITEMRECT, c.row, reinterpret_cast<LPARAM>(&r));
        POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(TrackList(), &at);
        QCursor::setPos(at.x, at.y);
        NMHDR notice{TrackList(), 0, NM_DBLCLK};
        commands.clear();
        SendMessageA(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
        EXPECT_EQ(commands, c.sent);
        EXPECT_EQ(Text(IDC_PLAY), c.play);
    }
}

// The real driver playing the bundled demo disc, which is drive d: when no drive
// is configured: track 1 starts after the 2 s lead-in and lasts 18 s. The
// driver, as Windows, gives a time in milliseconds one past its frame's.
class DemoDiscTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        UseRealDevice();
        Start();
        OpenNow();
    }
    std::string Ask(const char* command) {
        char reply[128] = "";
        mciSendStringA(command, reply, sizeof reply, nullptr);
        return reply;
    }
    int PositionMs() {
        Ask("set cd time format milliseconds");
        return std::stoi(Ask("status cd position"));
    }
    // Lets queued notices through until `done` holds or `ms` have passed.
    bool WaitFor(const std::function<bool()>& done, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    void Command(WPARAM id) { SendMessageA(main_, WM_COMMAND, id, 0); }
    void Poll() { SendMessageA(main_, WM_TIMER, TIMER_POLL, 0); }
    LRESULT Thumb() { return SendMessageA(IDC_POSITION, TBM_GETPOS, 0, 0); }
};

TEST_F(DemoDiscTest, PlayPauseSeekPollEject) {
    ASSERT_EQ(Rows(), 4);
    const std::string identity = Text(IDC_DISC_ID);

    Command(IDC_PLAY);
    EXPECT_EQ(Ask("status cd mode"), "playing");
    EXPECT_EQ(Ask("status cd current track"), "1");
    int at = PositionMs();
    EXPECT_GE(at, 2000);
    EXPECT_LT(at, 3000) << "track 1 plays from its start";
    Poll();
    EXPECT_EQ(StatusText(1), "playing, track 1");
    EXPECT_EQ(trackStart, 2001);

    // Pause holds the position; Resume goes on from it.
    Command(IDC_PAUSE);
    EXPECT_EQ(Ask("status cd mode"), "paused");
    // The sound device first plays out what it already holds (less than half a
    // second); from then on the position holds.
    const int pausedAt = PositionMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const int paused = PositionMs();
    EXPECT_LT(paused, pausedAt + 500);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a pause that leaks would move it now
    EXPECT_EQ(PositionMs(), paused);
    Command(IDC_PAUSE);
    EXPECT_EQ(Ask("status cd mode"), "playing");
    at = PositionMs();
    EXPECT_GE(at, paused);
    EXPECT_LT(at, paused + 1000);

    // A seek near the end of track 1 plays on into track 2.
    SendMessageA(IDC_POSITION, TBM_SETPOS, TRUE, 99);
    SendMessageA(main_, WM_HSCROLL, TB_ENDTRACK, LPARAM(IDC_POSITION));
    at = PositionMs();
    EXPECT_GE(at, 2001 + 17820 - 14);  // to the frame
    EXPECT_LT(at, 2001 + 17820 + 1000);
    EXPECT_EQ(Text(IDC_PLAY), "Stop");
    EXPECT_EQ(Text(IDC_PAUSE), "Pause");

    ASSERT_TRUE(WaitFor([&] { return Ask("status cd current track") == "2"; }, 3000));
    Poll();
    EXPECT_EQ(StatusText(1), "playing, track 2");
    EXPECT_EQ(currentTrack, 2);
    EXPECT_EQ(trackStart, 20001);
    const LRESULT first = Thumb();
    EXPECT_TRUE(WaitFor(
        [&] {
            Poll();
            return Thumb() > first;
        },
        10000))
        << "the slider follows the playing track";
    EXPECT_EQ(SendMessageA(IDC_POSITION, TBM_GETSELEND, 0, 0), Thumb());

    // Eject opens the image's door; its removal notice clears the display.
    Command(IDC_EJECT);
    EXPECT_EQ(Ask("status cd mode"), "open");
    ASSERT_TRUE(WaitFor([&] { return Rows() == 0; }, 3000));
    EXPECT_EQ(Text(IDC_DISC_ID), "");
    EXPECT_EQ(StatusText(0), "No Disc");
    EXPECT_EQ(StatusText(1), "");
    EXPECT_EQ(Text(IDC_PLAY), "Stop") << "the captions stay as they were";

    // Closing it brings the disc back.
    Command(IDC_EJECT);
    ASSERT_TRUE(WaitFor([&] { return Rows() == 4; }, 3000));
    EXPECT_EQ(Text(IDC_DISC_ID), identity);
    EXPECT_EQ(StatusText(0), "Disc Inserted");
}

// The samples that reach the sound device, through the capture output: Play
// starts at track 1's first sample, and Pause and Resume go on from the sample
// where playing stopped, with none lost or repeated.
class CaptureTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        UseRealDevice();
        if (const char* old = getenv("WINSHIM_AUDIO")) oldAudio_ = old;
        setenv("WINSHIM_AUDIO", ("capture:" + CapturePath()).c_str(), 1);
    }
    void TearDown() override {
        ProgramTest::TearDown();
        setenv("WINSHIM_AUDIO", oldAudio_.c_str(), 1);
    }
    std::string CapturePath() const { return home.path() + "/capture.wav"; }
    // The demo disc's audio, found as the driver finds it: beside the program.
    static std::string DemoAudio() {
        namespace fs = std::filesystem;
        fs::path dir = fs::read_symlink("/proc/self/exe").parent_path();
        for (int up = 0; up <= 3; ++up, dir = dir.parent_path()) {
            if (fs::is_regular_file(dir / "share/varnel/demo.bin"))
                return testsupport::readFile((dir / "share/varnel/demo.bin").string());
        }
        return "";
    }
    std::string oldAudio_;
};

TEST_F(CaptureTest, PauseAndResumeLoseNoSample) {
    const std::string disc = DemoAudio();
    ASSERT_FALSE(disc.empty());
    Start();
    OpenNow();
    // Plays on until the device has played another `ms`, from track 1's start at 2 s.
    int played = 0;
    auto playOn = [&](int ms) {
        played += ms;
        char reply[32] = "";
        EXPECT_TRUE(testsupport::pumpUntil([&] {
            mciSendStringA("set cd time format milliseconds", nullptr, 0, nullptr);
            mciSendStringA("status cd position", reply, sizeof reply, nullptr);
            return std::atoi(reply) >= 2000 + played;
        })) << "stuck at "
            << reply;
    };
    auto pauseAWhile = [&] {
        SendMessageA(main_, WM_COMMAND, IDC_PAUSE, 0);
        testsupport::pumpFor(300);
        SendMessageA(main_, WM_COMMAND, IDC_PAUSE, 0);
    };
    SendMessageA(main_, WM_COMMAND, IDC_PLAY, 0);
    playOn(400);
    pauseAWhile();
    playOn(400);
    pauseAWhile();
    playOn(300);
    Exit();  // stops and closes the device, which finishes the file
    const std::string wav = testsupport::readFile(CapturePath());
    ASSERT_GT(wav.size(), 44u);
    const std::string samples = wav.substr(44);
    // About a second of playing, less what was still in the device's buffer.
    EXPECT_GT(samples.size(), 44100u * 4 / 2);
    ASSERT_LE(samples.size(), disc.size());
    EXPECT_TRUE(samples == disc.substr(0, samples.size()))
        << "the first sample that differs is at byte "
        << std::mismatch(samples.begin(), samples.end(), disc.begin()).first - samples.begin();
}

}  // namespace
