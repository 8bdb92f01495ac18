// The disc display against the real cdaudio driver and images written by
// mkdisc: identity, one row per track, and each track's playing time.
#include <fstream>
#include <sstream>

#include "program_fixture.h"
#include "resource.h"

namespace {

struct Layout {
    std::vector<int> starts;  // LBA of each track
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

}  // namespace
