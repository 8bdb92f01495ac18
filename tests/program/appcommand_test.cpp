// WM_APPCOMMAND's media commands against the scripted device: each acts through
// the transport's handlers, so the commands sent and the captions are theirs.
#include <dbt.h>

#include "program_fixture.h"
#include "resource.h"
#include "varnel.h"

namespace {

enum class State { Idle, Playing, Paused };

class AppCommandTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        InsertDisc("255", 4);
        Start();
        OpenNow();
        commands.clear();
    }
    LRESULT AppCommand(int command) {
        return SendMessageA(main_, WM_APPCOMMAND, reinterpret_cast<WPARAM>(main_),
                            MAKELPARAM(0, command | FAPPCOMMAND_KEY));
    }
    void Enter(State state) {
        SetDlgItemTextA(main_, IDC_PLAY, state == State::Idle ? "Play" : "Stop");
        SetDlgItemTextA(main_, IDC_PAUSE, state == State::Paused ? "Resume" : "Pause");
        EnableWindow(GetDlgItem(main_, IDC_PAUSE), state != State::Idle);
    }
    void ExpectState(State state) {
        EXPECT_EQ(Text(IDC_PLAY), state == State::Idle ? "Play" : "Stop");
        EXPECT_EQ(Text(IDC_PAUSE), state == State::Paused ? "Resume" : "Pause");
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(main_, IDC_PAUSE)) != 0, state != State::Idle);
    }
};

using Commands = std::vector<std::string>;
const Commands kTmsf = {"set cd time format tmsf"};

Commands Then(Commands first, const Commands& rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

TEST_F(AppCommandTest, MediaCommandsInEveryState) {
    const Commands play2 = Then(kTmsf, {"play cd from 2"});
    const Commands play3 = Then(kTmsf, {"play cd from 3"});
    const Commands play1 = Then(kTmsf, {"play cd from 1"});
    struct Case {
        int command;
        State from;
        Commands sent;
        State to;
        int track;  // currentTrack afterwards; it is 2 before
    } cases[] = {
        {APPCOMMAND_MEDIA_PLAY_PAUSE, State::Idle, play2, State::Playing, 2},
        {APPCOMMAND_MEDIA_PLAY_PAUSE, State::Playing, {"pause cd"}, State::Paused, 2},
        {APPCOMMAND_MEDIA_PLAY_PAUSE, State::Paused, {"play cd"}, State::Playing, 2},
        {APPCOMMAND_MEDIA_PLAY, State::Idle, play2, State::Playing, 2},
        {APPCOMMAND_MEDIA_PLAY, State::Playing, {}, State::Playing, 2},
        {APPCOMMAND_MEDIA_PLAY, State::Paused, {"play cd"}, State::Playing, 2},
        {APPCOMMAND_MEDIA_PAUSE, State::Idle, {}, State::Idle, 2},
        {APPCOMMAND_MEDIA_PAUSE, State::Playing, {"pause cd"}, State::Paused, 2},
        {APPCOMMAND_MEDIA_PAUSE, State::Paused, {}, State::Paused, 2},
        {APPCOMMAND_MEDIA_STOP, State::Idle, {"stop cd"}, State::Idle, 2},
        {APPCOMMAND_MEDIA_STOP, State::Playing, {"stop cd"}, State::Idle, 2},
        {APPCOMMAND_MEDIA_STOP, State::Paused, {"stop cd"}, State::Idle, 2},
        {APPCOMMAND_MEDIA_NEXTTRACK, State::Idle, play3, State::Playing, 3},
        {APPCOMMAND_MEDIA_NEXTTRACK, State::Playing, Then({"stop cd"}, play3), State::Playing, 3},
        {APPCOMMAND_MEDIA_NEXTTRACK, State::Paused, Then({"stop cd"}, play3), State::Playing, 3},
        {APPCOMMAND_MEDIA_PREVIOUSTRACK, State::Idle, play1, State::Playing, 1},
        {APPCOMMAND_MEDIA_PREVIOUSTRACK, State::Playing, Then({"stop cd"}, play1), State::Playing, 1},
        {APPCOMMAND_MEDIA_PREVIOUSTRACK, State::Paused, Then({"stop cd"}, play1), State::Playing, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.command << " from state " << int(c.from));
        Enter(c.from);
        currentTrack = 2;
        commands.clear();
        EXPECT_EQ(AppCommand(c.command), TRUE);
        EXPECT_EQ(commands, c.sent);
        ExpectState(c.to);
        EXPECT_EQ(currentTrack, c.track);
    }
}

// Next and Previous stay within the shown tracks; without tracks they do nothing.
TEST_F(AppCommandTest, TrackStepsAreBoundedByTheDisc) {
    struct Case {
        const char* name;
        int tracks;  // -1: the disc was taken out
        int track;
        int command;
        Commands sent;
        int trackAfter;
    } cases[] = {
        {"next on the last track", 4, 4, APPCOMMAND_MEDIA_NEXTTRACK, {}, 4},
        {"previous on the first track", 4, 1, APPCOMMAND_MEDIA_PREVIOUSTRACK, {}, 1},
        {"previous with no track chosen", 4, 0, APPCOMMAND_MEDIA_PREVIOUSTRACK, Then(kTmsf, {"play cd from 1"}), 1},
        {"next on a disc without tracks", 0, 0, APPCOMMAND_MEDIA_NEXTTRACK, {}, 0},
        {"previous after the disc left", -1, 2, APPCOMMAND_MEDIA_PREVIOUSTRACK, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        answers["status cd number of tracks"] = std::to_string(c.tracks < 0 ? 4 : c.tracks);
        SendMessageA(main_, WM_DEVICECHANGE, c.tracks < 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL, 0);
        Enter(State::Idle);
        currentTrack = c.track;
        commands.clear();
        EXPECT_EQ(AppCommand(c.command), TRUE);
        EXPECT_EQ(commands, c.sent);
        EXPECT_EQ(currentTrack, c.trackAfter);
    }
}

// Commands that are not the transport's go on to DefWindowProcA, which answers 0
// for a window without a parent.
TEST_F(AppCommandTest, OtherCommandsArePassedOn) {
    const int kVolumeUp = 10;  // APPCOMMAND_VOLUME_UP
    EXPECT_EQ(AppCommand(kVolumeUp), 0);
    EXPECT_TRUE(commands.empty());
}

}  // namespace
