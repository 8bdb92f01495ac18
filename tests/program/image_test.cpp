// The disc display against the real cdaudio driver and images written by
// mkdisc: identity, one row per track, and each track's playing time.
#include <fstream>
#include <sstream>

#include "program_fixture.h"
#include "resource.h"
#include "varnel.h"

namespace {

struct Layout {
    std::vector<int> starts;  // LBA of each track
    int first = 0;            // the disc's number for its first track
    int leadout = 0;
};

Layout ReadLayout(const std::string& name) {
    Layout layout;
    std::ifstream in(std::string(TESTDATA_DIR) + "/" + name + ".layout");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "track") {
            int number, start;
            std::string key;
            words >> number >> key >> start;
            if (layout.starts.empty()) layout.first = number;
            layout.starts.push_back(start);
        } else if (word == "leadout") {
            words >> layout.leadout;
        }
    }
    return layout;
}

unsigned Packed(int lba) { return unsigned(lba / 4500) << 16 | unsigned(lba / 75 % 60) << 8 | unsigned(lba % 75); }

std::string Name(const Layout& l) {
    unsigned id = 0;
    for (int start : l.starts) id += Packed(start);
    if (l.starts.size() < 3) id += unsigned(l.starts[0] % 75) + unsigned(l.leadout - l.starts[0]);
    char text[16];
    snprintf(text, sizeof text, "%X", id);
    return text;
}

std::string Time(int frames) {
    char text[16];
    snprintf(text, sizeof text, "%02d:%02d", frames / 4500, frames / 75 % 60);
    return text;
}

class ImageTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        UseRealDevice();
    }
    void UseImage(const std::string& name) {
        testsupport::writeFile(home.windowsDir() + "/drives/d:", std::string(TESTDATA_DIR) + "/" + name + ".cue\n");
    }
};

TEST_F(ImageTest, RowsFromTheDisc) {
    for (const char* image : {"one", "two", "three", "ninetynine"}) {
        SCOPED_TRACE(image);
        const Layout layout = ReadLayout(image);
        ASSERT_FALSE(layout.starts.empty());
        UseImage(image);
        Start();
        OpenNow();
        EXPECT_EQ(StatusText(0), "Disc Inserted");
        EXPECT_EQ(Text(IDC_DISC_ID), Name(layout));
        ASSERT_EQ(Rows(), int(layout.starts.size()));
        for (int r = 0; r < Rows(); r++) {
            const bool last = r + 1 == Rows();
            const int frames = (last ? layout.leadout - 1 : layout.starts[r + 1]) - layout.starts[r];
            EXPECT_EQ(ItemText(r, 0), "Track " + std::to_string(r + 1));
            EXPECT_EQ(ItemText(r, 1), "Unknown");
            EXPECT_EQ(ItemText(r, 2), Time(frames)) << "row " << r;
        }
        Exit();
    }
}

TEST_F(ImageTest, TitlesFromTheDiscsFile) {
    const Layout layout = ReadLayout("three");
    UseImage("three");
    testsupport::writeFile(ListPath(Name(layout)), "Composer\r\nAlbum\r\nFirst\r\nSecond\r\n");
    Start();
    OpenNow();
    EXPECT_EQ(Text(IDC_COMPOSER), "Composer\n");
    EXPECT_EQ(Text(IDC_ALBUM), "Album\n");
    EXPECT_EQ(ItemText(0, 1), "First");
    EXPECT_EQ(ItemText(1, 1), "Second");
    EXPECT_EQ(ItemText(2, 1), "Unknown");
}

// The program asks for tracks 1 to N, as on Windows; a disc that numbers its
// tracks from 4 answers those that it does not have as out of range. The rows
// are there without times, the poll names the disc's own track, Play then plays
// it, and Save writes one line a track to the file the identity names.
TEST_F(ImageTest, ADiscWhoseTracksStartAtFour) {
    for (const char* image : {"fromfour", "fourfive"}) {
        SCOPED_TRACE(image);
        const Layout layout = ReadLayout(image);
        ASSERT_EQ(layout.first, 4);
        UseImage(image);
        Start();
        OpenNow();
        EXPECT_EQ(Text(IDC_DISC_ID), Name(layout));
        ASSERT_EQ(Rows(), int(layout.starts.size()));
        for (int r = 0; r < Rows(); r++) {
            EXPECT_EQ(ItemText(r, 0), "Track " + std::to_string(r + 1));
            EXPECT_EQ(ItemText(r, 1), "Unknown");
            EXPECT_EQ(ItemText(r, 2), "") << "the disc has no track " << r + 1;
        }
        SendMessageA(main_, WM_TIMER, TIMER_POLL, 0);
        EXPECT_EQ(StatusText(1), "stopped, track 4");
        EXPECT_EQ(currentTrack, 4);
        SendMessageA(main_, WM_COMMAND, IDC_PLAY, 0);
        char mode[32] = "";
        EXPECT_EQ(mciSendStringA("status cd mode", mode, sizeof mode, nullptr), 0u);
        EXPECT_STREQ(mode, "playing");
        SendMessageA(main_, WM_TIMER, TIMER_POLL, 0);
        EXPECT_EQ(StatusText(1), "playing, track 4");
        // The next-track key steps within the rows shown: past them there is nothing to play.
        SendMessageA(main_, WM_APPCOMMAND, WPARAM(main_), MAKELPARAM(0, APPCOMMAND_MEDIA_NEXTTRACK | FAPPCOMMAND_KEY));
        EXPECT_EQ(currentTrack, Rows());

        std::string placeholders;
        for (int t = 1; t <= Rows(); t++) placeholders += "track " + std::to_string(t) + "  (Unknown)\r\n";
        RunDialog(IDM_SONG_LIST, "List Editor", [&](HWND dialog) {
            char count[16] = "";
            GetDlgItemTextA(dialog, IDC_TRACK_COUNT, count, sizeof count);
            EXPECT_EQ(std::string(count), std::to_string(layout.starts.size()));
            BoxWatcher boxes;
            SendMessageA(GetDlgItem(dialog, IDC_SAVE), BM_CLICK, 0, 0);
            EXPECT_EQ(boxes.seen, (std::vector<std::string>{"Varnel: File saved!"}));
            SendMessageA(GetDlgItem(dialog, IDC_CLOSE), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(testsupport::readFile(ListPath(Name(layout))), "\r\n\r\n" + placeholders);
        Exit();
    }
}

}  // namespace
