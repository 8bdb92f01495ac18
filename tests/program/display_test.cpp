// The disc display: identity, composer, album and the track rows from the
// drive's replies and the disc's track list file.
#include <sys/stat.h>

#include <QCursor>

#include "program_fixture.h"
#include "resource.h"
#include "tracklist.h"
#include "varnel.h"

namespace {

using DisplayTest = ProgramTest;

// Commands that reach the main window, with the current track at that moment.
struct Command {
    WPARAM wParam;
    LPARAM lParam;
    int track;
    bool operator==(const Command&) const = default;
};
std::vector<Command> g_commands;
WNDPROC g_mainProc = nullptr;
LRESULT CALLBACK Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) g_commands.push_back({wParam, lParam, currentTrack});
    return g_mainProc(hwnd, msg, wParam, lParam);
}

struct Row {
    std::string title, time;
};

TEST_F(DisplayTest, RowsComeFromTheDriveAndTheFile) {
    struct Case {
        const char* name;
        const char* file;  // null: no track list file
        int tracks;
        const char* length;
        const char* composer;
        const char* album;
        std::vector<Row> rows;
    } cases[] = {
        {"no file", nullptr, 2, "04:13:25", "", "", {{"Unknown", "04:13"}, {"Unknown", "04:13"}}},
        {"fewer titles than tracks",
         "Comp\r\nAlb\r\nOne\r\nTwo\r\n",
         3,
         "10:00:00",
         "Comp\n",
         "Alb\n",
         {{"One", "10:00"}, {"Two", "10:00"}, {"Unknown", "10:00"}}},
        {"more titles than tracks",
         "C\r\nA\r\nOne\r\nTwo\r\nThree\r\n",
         1,
         "01:02:03",
         "C\n",
         "A\n",
         {{"One", "01:02"}}},
        {"empty title line", "C\r\nA\r\n\r\nTwo\r\n", 2, "01:02:03", "C\n", "A\n", {{"", "01:02"}, {"Two", "01:02"}}},
        {"last line without line end", "C\r\nA\r\nCoda", 1, "01:02:03", "C\n", "A\n", {{"Cod", "01:02"}}},
        {"one line without line end", "Composer", 1, "01:02:03", "Composer", "", {{"Unknown", "01:02"}}},
        {"two lines, no titles", "C\r\nA\r\n", 1, "01:02:03", "C\n", "A\n", {{"Unknown", "01:02"}}},
        {"no tracks", "C\r\nA\r\nOne\r\n", 0, "01:02:03", "C\n", "A\n", {}},
        {"length reply too short", nullptr, 1, "12", "", "", {{"Unknown", ""}}},
        {"length reply of three", nullptr, 1, "123", "", "", {{"Unknown", ""}}},
        {"LF-only file", "C\nA\nOne\n", 1, "04:13:25", "C\n", "A\n", {{"One", "04:13"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InsertDisc("255", c.tracks, c.length);
        std::remove(ListPath("FF").c_str());
        if (c.file) testsupport::writeFile(ListPath("FF"), c.file);
        Start();
        // Another disc's names were shown before.
        SetDlgItemTextA(main_, IDC_COMPOSER, "Earlier composer");
        SetDlgItemTextA(main_, IDC_ALBUM, "Earlier album");
        OpenNow();
        EXPECT_EQ(Text(IDC_DISC_ID), "FF");
        EXPECT_EQ(Text(IDC_COMPOSER), c.composer);
        EXPECT_EQ(Text(IDC_ALBUM), c.album);
        EXPECT_EQ(StatusText(0), "Disc Inserted");
        ASSERT_EQ(Rows(), int(c.rows.size()));
        for (int r = 0; r < Rows(); r++) {
            EXPECT_EQ(ItemText(r, 0), "Track " + std::to_string(r + 1));
            EXPECT_EQ(ItemText(r, 1), c.rows[r].title) << "row " << r;
            EXPECT_EQ(ItemText(r, 2), c.rows[r].time) << "row " << r;
        }
        EXPECT_EQ(currentTrack, c.tracks > 0 ? 1 : 0) << "Play on a fresh disc starts at its first track";
        Exit();
    }
}

TEST_F(DisplayTest, TwelveTracksFiveTitles) {
    InsertDisc("4660", 12);
    testsupport::writeFile(ListPath("1234"), "C\r\nA\r\nt1\r\nt2\r\nt3\r\nt4\r\nt5\r\n");
    Start();
    OpenNow();
    ASSERT_EQ(Rows(), 12);
    for (int r = 0; r < 12; r++) EXPECT_EQ(ItemText(r, 1), r < 5 ? "t" + std::to_string(r + 1) : "Unknown");
    // A second fill gives the same rows once.
    fillDiscDisplay(main_);
    EXPECT_EQ(Rows(), 12);
}

TEST_F(DisplayTest, ReadOnlyFileStillShowsItsTitles) {
    InsertDisc("255", 1);
    testsupport::writeFile(ListPath("FF"), "C\r\nA\r\nOnly\r\n");
    chmod(ListPath("FF").c_str(), 0444);
    Start();
    OpenNow();
    EXPECT_EQ(Text(IDC_COMPOSER), "C\n");
    EXPECT_EQ(ItemText(0, 1), "Only");
}

TEST_F(DisplayTest, TitleLinesOf254And255Characters) {
    const std::string t254(254, 'x'), t255(255, 'y');
    InsertDisc("255", 4);
    testsupport::writeFile(ListPath("FF"), "C\r\nA\r\n" + t254 + "\r\n" + t255 + "\r\nLast\r\n");
    Start();
    OpenNow();
    EXPECT_EQ(ItemText(0, 1), t254);
    EXPECT_EQ(ItemText(1, 1), t255.substr(0, 254));
    EXPECT_EQ(ItemText(2, 1), "") << "the rest of the long line, its line feed";
    EXPECT_EQ(ItemText(3, 1), "Last");
}

TEST_F(DisplayTest, ClicksSetTheCurrentTrack) {
    InsertDisc("255", 4);
    Start();
    ShowWindow(main_, SW_SHOWNORMAL);
    OpenNow();
    struct Case {
        int row;  // -1: below the last row
        UINT code;
        int track;
    } cases[] = {{2, NM_CLICK, 3}, {0, NM_CLICK, 1}, {-1, NM_CLICK, 0}, {1, NM_DBLCLK, 2}, {-1, NM_DBLCLK, 0}};
    g_mainProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
    for (const Case& c : cases) {
        g_commands.clear();
        SCOPED_TRACE(c.row);
        RECT r{};
        r.left = LVIR_LABEL;  // the row's own column: the others are its subitems
        SendMessageA(TrackList(), LVM_GETITEMRECT, c.row < 0 ? 3 : c.row, reinterpret_cast<LPARAM>(&r));
        POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        if (c.row < 0) at.y = r.bottom + 30;
        // The cursor stands where the click was.
        ClientToScreen(TrackList(), &at);
        QCursor::setPos(at.x, at.y);
        NMHDR notice{TrackList(), 0, c.code};
        currentTrack = 99;
        EXPECT_EQ(SendMessageA(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice)), 0);
        EXPECT_EQ(currentTrack, c.track);
        // A double click gives the Play command, on a row or not, after the track was taken.
        std::vector<Command> expected;
        if (c.code == NM_DBLCLK) expected.push_back({IDC_PLAY, 0, c.track});
        EXPECT_EQ(g_commands, expected);
    }
    // Notices from elsewhere change nothing.
    NMHDR other{main_, 0, NM_CLICK};
    currentTrack = 7;
    SendMessageA(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(currentTrack, 7);
}

}  // namespace
