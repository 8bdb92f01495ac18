// The poll, the seek from the slider, polling while minimised and the device
// change notices, against the scripted device.
#include <climits>

#include "device.h"
#include "program_fixture.h"
#include "resource.h"
#include "varnel.h"

namespace {

const LRESULT kUnchecked = -12345;

const std::vector<std::string> kPollTrack3 = {
    "status cd media present",  "status cd mode",
    "status cd current track",  "set cd time format milliseconds",
    "status cd length track 3", "status cd position track 3",
    "status cd position",
};

class PollTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        InsertDisc("255", 4);
        Start();
        OpenNow();
        answers["status cd mode"] = "playing";
        answers["status cd current track"] = "3";
        answers["set cd time format milliseconds"] = "";
        commands.clear();
    }
    // The position of track 3 as the device reports it, in milliseconds; a null
    // length: that query fails.
    void Track3(const char* start, const char* length, const char* position) {
        answers["status cd position track 3"] = start;
        if (length)
            answers["status cd length track 3"] = length;
        else
            answers.erase("status cd length track 3");
        answers["status cd position"] = position;
    }
    LRESULT Poll() { return SendMessageA(main_, WM_TIMER, TIMER_POLL, 0); }
    // Thumb, start and end of the selection.
    std::vector<LRESULT> Slider() {
        return {SendMessageA(IDC_POSITION, TBM_GETPOS, 0, 0), SendMessageA(IDC_POSITION, TBM_GETSELSTART, 0, 0),
                SendMessageA(IDC_POSITION, TBM_GETSELEND, 0, 0)};
    }
    void SetSlider(int pos, int selEnd) {
        SendMessageA(IDC_POSITION, TBM_SETPOS, TRUE, pos);
        SendMessageA(IDC_POSITION, TBM_SETSEL, TRUE, MAKELPARAM(0, selEnd));
    }
    bool PauseEnabled() { return IsWindowEnabled(GetDlgItem(main_, IDC_PAUSE)); }
};

TEST_F(PollTest, PercentPlayed) {
    struct Case {
        const char *start, *length, *position;
        std::vector<LRESULT> slider;  // thumb, selection start and end
    } cases[] = {
        {"1000", "900", "1450", {50, 0, 50}},
        {"1000", "900", "1299", {33, 0, 33}},
        {"1000", "900", "999", {0, 0, 0}},  // -100 / 900 truncates toward zero
        {"1000", "900", "1000", {0, 0, 0}},
        {"1000", "900", "1900", {100, 0, 100}},
        {"1000", "900", "2800", {100, 0, 100}},  // 200: the thumb stays within the range
        {"1000", "900", "0", {0, 0, 0}},
        {"0", "3", "2", {66, 0, 66}},
        // A track of no length, or an unreadable one, leaves the slider alone.
        {"1000", "0", "1450", {77, 0, 60}},
        {"1000", nullptr, "1450", {77, 0, 60}},
        // The product wraps in 32 bits: (2^31 - 1) * 100 reads as -100.
        {"0", "1", "2147483647", {0, 0, kUnchecked}},
        {"1000", "-1", "1001", {0, 0, kUnchecked}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + (c.length ? c.length : "(failed)") + " " + c.position);
        SetSlider(77, 60);
        Track3(c.start, c.length, c.position);
        commands.clear();
        EXPECT_EQ(Poll(), 0);
        EXPECT_EQ(commands, kPollTrack3);
        std::vector<LRESULT> slider = Slider();
        // Where a selection below the range ends is the trackbar's own affair.
        if (c.slider[2] == kUnchecked) slider[2] = kUnchecked;
        EXPECT_EQ(slider, c.slider);
        EXPECT_EQ(StatusText(1), "playing, track 3");
        EXPECT_EQ(currentTrack, 3);
        EXPECT_EQ(trackStart, atoi(c.start));
    }
}

// 32-bit signed arithmetic that wraps rather than overflows (the sanitizer build
// stops at an overflow), with the quotient truncated toward zero.
TEST_F(PollTest, PercentArithmetic) {
    struct Case {
        int position, start, length, percent;
    } cases[] = {
        {100, 1000, 900, -100},
        {0, 1, 1, -100},
        {INT_MAX, 0, 1, -100},
        {21474837, 0, 1, -2147483596},
        {INT_MIN, INT_MAX, 1, 100},
        {1 << 29, 0, -1, INT_MIN},  // the product is INT_MIN, and INT_MIN / -1 wraps
        // 3,000,000,000 wraps to -1,294,967,296 before the division; 64 bits would give 333333333.
        {30000000, 0, 9, -143885255},
        {100, 1000, 7, -12857},  // -12857.14...: toward zero, not down to -12858
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(percentPlayed(c.position, c.start, c.length), c.percent);
    }
}

TEST_F(PollTest, StatusText) {
    struct Case {
        const char* mode;  // null: the query fails
        const char* track;
        std::string text;
        int currentTrack;
        const char* lengthAsked;  // null: winmm refuses the query before the device hears it
    } cases[] = {
        {"stopped", "1", "stopped, track 1", 1, "status cd length track 1"},
        {"paused", "12", "paused, track 12", 12, "status cd length track 12"},
        {nullptr, "3", ", track 3", 3, "status cd length track 3"},
        {nullptr, nullptr, ", track 0", 0, "status cd length track 0"},
        {"playing", "-4", "playing, track -4", -4, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.mode)
            answers["status cd mode"] = c.mode;
        else
            answers.erase("status cd mode");
        if (c.track)
            answers["status cd current track"] = c.track;
        else
            answers.erase("status cd current track");
        commands.clear();
        Poll();
        EXPECT_EQ(StatusText(1), c.text);
        EXPECT_EQ(currentTrack, c.currentTrack);
        EXPECT_EQ(Sent("status cd length track "),
                  c.lengthAsked ? std::vector<std::string>{c.lengthAsked} : std::vector<std::string>{});
    }
}

TEST_F(PollTest, NoDiscChangesNothing) {
    Track3("1000", "900", "1450");
    Poll();
    for (const char* media : {"false", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(media ? media : "(failed)");
        if (media)
            answers["status cd media present"] = media;
        else
            answers.erase("status cd media present");
        currentTrack = 2;
        trackStart = 5;
        commands.clear();
        EXPECT_EQ(Poll(), 0);
        EXPECT_EQ(commands, (std::vector<std::string>{"status cd media present"}));
        EXPECT_EQ(StatusText(0), "Disc Inserted");
        EXPECT_EQ(StatusText(1), "playing, track 3");
        EXPECT_EQ(Slider(), (std::vector<LRESULT>{50, 0, 50}));
        EXPECT_EQ(currentTrack, 2);
        EXPECT_EQ(trackStart, 5);
    }
}

// Every timer but TIMER_OPEN polls.
TEST_F(PollTest, TimersThatPoll) {
    Track3("0", "100", "10");
    for (WPARAM id : {WPARAM(TIMER_POLL), WPARAM(0), WPARAM(3), WPARAM(99)}) {
        commands.clear();
        EXPECT_EQ(SendMessageA(main_, WM_TIMER, id, 0), 0);
        EXPECT_EQ(commands,
                  (std::vector<std::string>{"status cd media present", "status cd mode", "status cd current track",
                                            "set cd time format milliseconds", "status cd length track 3",
                                            "status cd position track 3", "status cd position"}));
    }
}

TEST_F(PollTest, Seek) {
    struct Case {
        int point;
        const char *start, *length;  // null length: the query fails
        const char* play;            // null: winmm refuses the command before the device hears it
    } cases[] = {
        {33, "500", "901", "play cd from 797"},
        {0, "500", "901", "play cd from 500"},
        {100, "500", "901", "play cd from 1401"},
        {50, "500", nullptr, "play cd from 500"},
        {50, "0", "0", "play cd from 0"},
        {99, "10", "-7", "play cd from 4"},
        // The product wraps in 32 bits before the division, to -21474835.
        {100, "0", "21474837", nullptr},
    };
    currentTrack = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.play ? c.play : "(refused)");
        Track3(c.start, c.length, "0");
        SetDlgItemTextA(main_, IDC_PLAY, "Play");
        SetDlgItemTextA(main_, IDC_PAUSE, "Resume");
        EnableWindow(GetDlgItem(main_, IDC_PAUSE), FALSE);
        SendMessageA(IDC_POSITION, TBM_SETPOS, TRUE, c.point);
        commands.clear();
        EXPECT_EQ(SendMessageA(main_, WM_HSCROLL, TB_ENDTRACK, LPARAM(IDC_POSITION)), 0);
        std::vector<std::string> sent = {"set cd time format milliseconds", "status cd length track 3",
                                         "status cd position track 3"};
        if (c.play) sent.push_back(c.play);
        EXPECT_EQ(commands, sent);
        EXPECT_EQ(trackStart, atoi(c.start));
        EXPECT_EQ(Text(IDC_PLAY), "Stop");
        EXPECT_EQ(Text(IDC_PAUSE), "Pause");
        EXPECT_TRUE(PauseEnabled());
    }
    EXPECT_EQ(seekTarget(0, 21474837, 100), -21474835);
}

TEST_F(PollTest, ScrollingWithoutEndSendsNothing) {
    for (WPARAM code : {WPARAM(TB_LINEUP), WPARAM(TB_LINEDOWN), WPARAM(TB_PAGEUP), WPARAM(TB_THUMBPOSITION),
                        WPARAM(TB_THUMBTRACK), WPARAM(TB_TOP), WPARAM(TB_BOTTOM), WPARAM(MAKEWPARAM(TB_ENDTRACK, 1))}) {
        SCOPED_TRACE(code);
        commands.clear();
        SendMessageA(main_, WM_HSCROLL, code, LPARAM(IDC_POSITION));
        EXPECT_TRUE(commands.empty());
        EXPECT_EQ(Text(IDC_PLAY), "Play");
        EXPECT_FALSE(PauseEnabled());
    }
}

// KillTimer tells whether the poll's timer was running.
TEST_F(PollTest, MinimisedWindowDoesNotPoll) {
    struct Case {
        const char* name;
        std::vector<WPARAM> commands;
        bool polling, iconic;
    } cases[] = {
        {"minimise", {SC_MINIMIZE}, false, true},
        {"minimise, low bits set", {SC_MINIMIZE | 2}, false, true},
        {"minimise, restore", {SC_MINIMIZE, SC_RESTORE}, true, false},
        {"restore while running", {SC_RESTORE}, true, false},
        {"other commands", {SC_MAXIMIZE, SC_RESTORE | 1, SC_MOVE}, true, false},
    };
    ShowWindow(main_, SW_SHOWNORMAL);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetTimer(main_, TIMER_POLL, TIMER_POLL_MS, nullptr);
        for (WPARAM command : c.commands) SendMessageA(main_, WM_SYSCOMMAND, command, 0);
        EXPECT_EQ(IsIconic(main_) != 0, c.iconic) << "the window system still carries out the command";
        EXPECT_EQ(KillTimer(main_, TIMER_POLL) != 0, c.polling);
        ShowWindow(main_, SW_RESTORE);
    }
    EXPECT_TRUE(commands.empty());
}

TEST_F(PollTest, DeviceChanges) {
    Track3("1000", "900", "1450");
    Poll();
    SetDlgItemTextA(main_, IDC_COMPOSER, "Composer");
    SetDlgItemTextA(main_, IDC_ALBUM, "Album");
    SetDlgItemTextA(main_, IDC_PLAY, "Stop");
    currentTrack = 3;
    commands.clear();

    // A notice that is neither arrival nor removal does nothing.
    for (WPARAM event : {WPARAM(DBT_DEVICEQUERYREMOVE), WPARAM(DBT_DEVICEREMOVEPENDING), WPARAM(0x0007)}) {
        EXPECT_EQ(SendMessageA(main_, WM_DEVICECHANGE, event, 0), 0);
    }
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(Rows(), 4);

    EXPECT_EQ(SendMessageA(main_, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0), 0);
    EXPECT_TRUE(commands.empty()) << "a removal asks the device nothing";
    EXPECT_EQ(Text(IDC_DISC_ID), "");
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(StatusText(0), "No Disc");
    EXPECT_EQ(StatusText(1), "");
    // What a removal leaves as it was.
    EXPECT_EQ(Text(IDC_COMPOSER), "Composer");
    EXPECT_EQ(Text(IDC_ALBUM), "Album");
    EXPECT_EQ(Text(IDC_PLAY), "Stop");
    EXPECT_EQ(Slider(), (std::vector<LRESULT>{50, 0, 50}));
    EXPECT_EQ(currentTrack, 3);

    // An arrival fills the display with no media check and no open first.
    EXPECT_EQ(SendMessageA(main_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0), 0);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "info cd identity");
    EXPECT_TRUE(Sent("open").empty());
    EXPECT_TRUE(Sent("status cd media present").empty());
    EXPECT_EQ(Text(IDC_DISC_ID), "FF");
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(StatusText(0), "Disc Inserted");
}

// The no-disc state found at opening keeps part 1; only a removal empties it.
TEST_F(PollTest, OpeningWithoutDiscKeepsTheStatus) {
    Track3("1000", "900", "1450");
    Poll();
    answers["status cd media present"] = "false";
    mciSendStringA("close cd", nullptr, 0, nullptr);  // as the dialogs close it before opening afresh
    openCdDevice(main_);
    EXPECT_EQ(StatusText(0), "No Disc");
    EXPECT_EQ(StatusText(1), "playing, track 3");
}

}  // namespace
