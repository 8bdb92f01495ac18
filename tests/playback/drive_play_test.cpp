// Playback on the drive path: paranoia over a disc image in a stand-in drive,
// through mciSendStringA, into the capture output, compared sample for sample
// with what the image's layout says its sectors hold.
#include <cstring>
#include <filesystem>
#include <vector>

#include "drive_fixture.h"
#include "mcicda/state.h"

namespace fs = std::filesystem;
using namespace fakedrive;

namespace {

std::vector<int16_t> wavSamples(const std::string& path) {
    const std::string bytes = testsupport::readFile(path);
    const size_t data = bytes.find("data");
    if (data == std::string::npos || data + 8 > bytes.size()) return {};
    std::vector<int16_t> samples((bytes.size() - data - 8) / 2);
    std::memcpy(samples.data(), bytes.data() + data + 8, samples.size() * 2);
    return samples;
}

class DrivePlay : public DriveTest {
protected:
    void SetUp() override {
        DriveTest::SetUp();
        winshim::AUDIO_SetSpeed(20);
        capture_ = home_.path() + "/played.wav";
        setenv("WINSHIM_AUDIO", ("capture:" + capture_).c_str(), 1);
    }
    void TearDown() override {
        DriveTest::TearDown();
        winshim::AUDIO_SetSpeed(1);
        setenv("WINSHIM_AUDIO", "null", 1);
    }
    // Closes the device (which finishes the capture) and gives what it played.
    std::vector<int16_t> played() {
        send("close cd");
        return wavSamples(capture_);
    }
    std::string capture_;
};

// PlayTracks names the tracks in tmsf by the disc's numbers for them.
enum class How { Play, PlayTracks, SeekThenPlay, PauseThenPlay, BarePlay };

struct PlayCase {
    const char* name;
    const char* image;
    How how;
    int fromTrack, fromOffset;  // the first sector: a track's start (1 for the first) and frames from it
    int toTrack, toOffset;      // one past the last; toTrack 0: the lead-out
    bool acceptsSpeed;
};

TEST_F(DrivePlay, ParanoiaPlaysTheImageSampleForSample) {
    const PlayCase cases[] = {
        {"a track start to the end", "one", How::Play, 1, 0, 0, 0, true},
        {"across a track boundary, gapless", "two", How::Play, 1, 80, 2, 20, false},
        {"after a seek", "three", How::SeekThenPlay, 2, 7, 0, 0, false},
        {"across pause and resume", "three", How::PauseThenPlay, 1, 0, 0, 0, true},
        {"the last tracks to the last sector", "ninetynine", How::Play, 97, 0, 0, 0, false},
        {"a data track first is skipped", "datafirst", How::BarePlay, 1, 0, 0, 0, false},
        {"tracks 5 to 6 of a disc from track 4", "fromfour", How::PlayTracks, 2, 0, 3, 0, false},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Layout l = readLayout(kData + "/" + c.image + ".layout");
        const int from = l.tracks[c.fromTrack - 1].start + c.fromOffset;
        const int to = c.toTrack ? l.tracks[c.toTrack - 1].start + c.toOffset : l.leadOut;
        load(c.image);
        drive_->acceptsSpeed = c.acceptsSpeed;
        ASSERT_TRUE(waitMode("stopped"));
        const std::string range = "from " + msf(from) + (c.toTrack ? " to " + msf(to) : "");
        switch (c.how) {
        case How::Play:
            EXPECT_EQ(send("play cd " + range), "");
            break;
        case How::PlayTracks:
            send("set cd time format tmsf");
            EXPECT_EQ(send("play cd from " + std::to_string(l.tracks[c.fromTrack - 1].number) + " to " +
                           std::to_string(l.tracks[c.toTrack - 1].number)),
                      "");
            send("set cd time format msf");
            break;
        case How::SeekThenPlay:
            EXPECT_EQ(send("seek cd to " + msf(from)), "");
            EXPECT_EQ(send("play cd"), "");
            break;
        case How::PauseThenPlay:
            EXPECT_EQ(send("play cd " + range), "");
            testsupport::pumpFor(100);
            EXPECT_EQ(send("pause cd"), "");
            EXPECT_EQ(send("status cd mode"), "paused");
            testsupport::pumpFor(100);
            EXPECT_EQ(send("play cd"), "");
            break;
        case How::BarePlay:
            EXPECT_EQ(send("play cd"), "");
            break;
        }
        waitPlayed();
        EXPECT_EQ(send("status cd mode"), "stopped");
        EXPECT_EQ(send("status cd position"), msf(to));
        EXPECT_GT(drive_->speedAsked, 0) << "the read speed is asked for";
        const std::vector<int16_t> got = played(), want = expectedSamples(l, from, to);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_TRUE(got == want);
    }
}

TEST_F(DrivePlay, ASectorThatCannotBeReadEndsPlayThere) {
    // A copy of the image that loses its end once the drive has read the disc.
    for (const char* ext : {".cue", ".bin"}) fs::copy_file(kData + "/three" + ext, home_.path() + "/three" + ext);
    const Layout l = readLayout(kData + "/three.layout");
    const int cut = l.tracks[1].start + 35;
    load("three", home_.path());
    ASSERT_TRUE(waitMode("stopped"));
    fs::resize_file(home_.path() + "/three.bin", uintmax_t(cut - 150) * 2352);
    EXPECT_EQ(send("play cd from " + msf(l.tracks[0].start)), "");
    waitPlayed();
    EXPECT_EQ(send("status cd mode"), "stopped") << "play ends instead of trying again and again";
    const std::vector<int16_t> got = played();
    const int end = l.tracks[0].start + int(got.size() / (588 * 2));
    EXPECT_EQ(end, cut) << "what could be read is played, and nothing after it";
    EXPECT_TRUE(got == expectedSamples(l, l.tracks[0].start, end)) << "no made-up samples";
}

// What the desktop's media controls are told of a disc that numbers its tracks
// from 4: the device's own track number, with that track's bounds.
TEST_F(DrivePlay, TheDesktopIsToldTheDiscsOwnTrackNumber) {
    const Layout l = readLayout(kData + "/fromfour.layout");
    load("fromfour");
    ASSERT_TRUE(waitMode("stopped"));
    winshim::CdaState s = winshim::CDA_State();
    EXPECT_EQ(s.tracks, 3);
    EXPECT_EQ(s.track, l.tracks[0].number) << "a stopped device stands at the first track";
    send("set cd time format tmsf");
    ASSERT_EQ(send("seek cd to " + std::to_string(l.tracks[1].number)), "");
    s = winshim::CDA_State();
    EXPECT_EQ(s.track, l.tracks[1].number);
    EXPECT_EQ(s.trackStart, l.tracks[1].start);
    EXPECT_EQ(s.trackEnd, l.tracks[2].start);
    EXPECT_EQ(send("status cd current track"), std::to_string(s.track));
}

}  // namespace
