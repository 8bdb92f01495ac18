// Play, Stop, Pause/Resume and Eject against the scripted device: the commands
// each one sends, and the captions and enabled state that hold the transport's
// state.
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
        {"open", "set cd door closed"}, {"opened", "set cd door closed"}, {"ope", "set cd door open"},
        {"OPEN", "set cd door open"},   {"playing", "set cd door open"},  {"", "set cd door open"},
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

}  // namespace
