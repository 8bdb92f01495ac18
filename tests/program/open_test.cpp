// Opening the CD device: the open command from the Drive setting, the one
// message box after a failed open, the media query, the no-disc state.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "program_fixture.h"
#include "resource.h"

namespace {

using OpenTest = ProgramTest;

TEST_F(OpenTest, OpenCommandComesFromTheDriveSetting) {
    struct Case {
        const char* ini;  // settings file, or null for none
        const char* command;
    } cases[] = {
        {nullptr, "open cdaudio alias cd"},
        {"[Varnel]\r\nDrive=\r\n", "open cdaudio alias cd"},
        {"[Varnel]\r\nDrive=d:\r\n", "open cdaudio!d: alias cd"},
        {"[Other]\r\nDrive=e:\r\n", "open cdaudio alias cd"},
        // 41 characters still fit: the command is 63 long.
        {"[Varnel]\r\nDrive=ddddddddddddddddddddddddddddddddddddddddd\r\n",
         "open cdaudio!ddddddddddddddddddddddddddddddddddddddddd alias cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        if (c.ini) WriteIni(c.ini);
        answers = {{c.command, "1"}, {"status cd media present", "false"}};
        commands.clear();
        Start();
        OpenNow();
        EXPECT_EQ(Sent(), (std::vector<std::string>{c.command, "status cd media present"}));
        Exit();
        std::remove(IniPath().c_str());
    }
}

TEST_F(OpenTest, FailedOpenShowsOneBoxThenTheNoDiscState) {
    struct Case {
        const char* drive;
        std::vector<std::string> sent;
    } cases[] = {
        // The media query that follows names no open device: winmm answers it.
        {"", {"open cdaudio alias cd"}},
        {"z:", {"open cdaudio!z: alias cd"}},
        // A command that would not fit its 64-byte buffer is not sent at all.
        {"dddddddddddddddddddddddddddddddddddddddddd", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drive);
        WriteIni(std::string("[Varnel]\r\nDrive=") + c.drive + "\r\n");
        answers.clear();
        commands.clear();
        Start();
        SetDlgItemTextA(main_, IDC_DISC_ID, "1234");
        SetDlgItemTextA(main_, IDC_COMPOSER, "Old composer");
        {
            BoxWatcher boxes;
            OpenNow();
            EXPECT_EQ(boxes.seen, (std::vector<std::string>{"Error: CD device is not available"}));
        }
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(Text(IDC_DISC_ID), "");
        EXPECT_EQ(Rows(), 0);
        EXPECT_EQ(StatusText(0), "No Disc");
        EXPECT_EQ(Text(IDC_COMPOSER), "Old composer") << "the no-disc state leaves the composer";
        Exit();
    }
}

TEST_F(OpenTest, MediaReplyDecidesBetweenFillAndNoDisc) {
    struct Case {
        const char* media;
        bool fills;
    } cases[] = {{"true", true}, {"false", false}, {nullptr, false}};  // null: the query fails
    for (const Case& c : cases) {
        SCOPED_TRACE(c.media ? c.media : "(failed)");
        InsertDisc("255", 2);
        if (c.media)
            answers["status cd media present"] = c.media;
        else
            answers.erase("status cd media present");
        commands.clear();
        Start();
        SetDlgItemTextA(main_, IDC_ALBUM, "Old album");
        OpenNow();
        EXPECT_EQ(Sent("info cd identity").size(), c.fills ? 1u : 0u);
        EXPECT_EQ(Text(IDC_DISC_ID), c.fills ? "FF" : "");
        EXPECT_EQ(Rows(), c.fills ? 2 : 0);
        EXPECT_EQ(StatusText(0), c.fills ? "Disc Inserted" : "No Disc");
        if (!c.fills) {
            EXPECT_EQ(Text(IDC_ALBUM), "Old album");
        }
        Exit();
    }
}

TEST_F(OpenTest, FillAsksInItsOrder) {
    InsertDisc("305419896", 3);
    Start();
    OpenNow();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"open cdaudio alias cd", "status cd media present", "info cd identity",
                                                "set cd time format tmsf", "status cd number of tracks",
                                                "status cd length track 1", "status cd length track 2",
                                                "status cd length track 3"}));
}

TEST_F(OpenTest, OpenTimerOpensOnceAfterCreation) {
    InsertDisc("1", 1);
    Start();
    ShowWindow(main_, SW_SHOWNORMAL);
    EXPECT_TRUE(Sent("open").empty()) << "the device is not opened during creation";
    ASSERT_TRUE(testsupport::pumpUntil([&] { return !Sent("open").empty(); }));
    testsupport::pumpFor(1000);  // two more periods of the timer, were it left running
    EXPECT_EQ(Sent("open"), (std::vector<std::string>{"open cdaudio alias cd"}));
    EXPECT_EQ(Rows(), 1);
}

TEST_F(OpenTest, ExitStopsAndClosesTheDevice) {
    InsertDisc("1", 1);
    Start();
    OpenNow();
    commands.clear();
    Exit();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"stop cd", "close cd"}));
}

}  // namespace
