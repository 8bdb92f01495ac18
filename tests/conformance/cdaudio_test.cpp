// The cdaudio device through mciSendStringA, on the images mkdisc writes. Every
// expected value is computed here from the image's layout file, not by the
// driver's code.
#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = TESTDATA_DIR;

struct Track {
    int number;  // as the disc numbers it
    int start;
    bool audio;
    unsigned seed;
};
struct Layout {
    std::vector<Track> tracks;
    int leadOut = 0;
    std::string catalog;
};

Layout readLayout(const std::string& name) {
    Layout layout;
    std::ifstream in(kData + "/" + name + ".layout");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "track") {
            int number, start, audio, pregap;
            unsigned seed;
            std::string s, a, p, sd;
            words >> number >> s >> start >> a >> audio >> p >> pregap >> sd >> seed;
            layout.tracks.push_back({number, start, audio != 0, seed});
        } else if (key == "leadout") {
            words >> layout.leadOut;
        } else if (key == "catalog") {
            words >> layout.catalog;
        }
    }
    return layout;
}

std::string msf(int frames) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

int trackLength(const Layout& l, size_t i) {
    int end = i + 1 < l.tracks.size() ? l.tracks[i + 1].start : l.leadOut;
    return end - l.tracks[i].start - (i + 1 == l.tracks.size() ? 1 : 0);
}

// The identity as the well-known algorithm defines it, written out on its own.
unsigned long identity(const Layout& l) {
    uint32_t sum = 0;
    for (const Track& t : l.tracks) sum += uint32_t(((t.start / 4500) << 16) | ((t.start / 75 % 60) << 8) | (t.start % 75));
    if (l.tracks.size() < 3) sum += uint32_t(l.tracks[0].start % 75) + uint32_t(l.leadOut - l.tracks[0].start);
    return sum;
}

class CdAudio : public ::testing::Test {
protected:
    // Puts the image on drive e: and opens it as "cd".
    void load(const std::string& image) {
        fs::create_directories(fs::path(home_.windowsDir()) / "drives");
        testsupport::writeFile(home_.windowsDir() + "/drives/e:", kData + "/" + image + ".cue\n");
        ASSERT_EQ(send("open cdaudio!e: alias cd"), "1");
    }
    void TearDown() override { mciSendStringA("close all", nullptr, 0, nullptr); }

    // The reply, or "error N".
    std::string send(const std::string& command) {
        char reply[64];
        MCIERROR error = mciSendStringA(command.c_str(), reply, sizeof reply, nullptr);
        return error ? "error " + std::to_string(error) : std::string(reply);
    }

    testsupport::ScratchHome home_;
};

TEST_F(CdAudio, RepliesInEachTimeFormatFollowTheLayout) {
    for (const char* image : {"one", "two", "three", "datafirst", "pregaps", "fromfour", "fourfive"}) {
        SCOPED_TRACE(image);
        Layout l = readLayout(image);
        load(image);
        EXPECT_EQ(send("status cd number of tracks"), std::to_string(l.tracks.size()));
        EXPECT_EQ(send("status cd media present"), "true");
        EXPECT_EQ(send("status cd mode"), "stopped");
        EXPECT_EQ(send("status cd time format"), "msf");
        EXPECT_EQ(send("status cd position"), msf(l.tracks[0].start)) << "a fresh device is at the disc start";
        for (size_t i = 0; i < l.tracks.size(); ++i) {
            const std::string t = " track " + std::to_string(l.tracks[i].number);
            send("set cd time format msf");
            EXPECT_EQ(send("status cd length" + t), msf(trackLength(l, i)));
            EXPECT_EQ(send("status cd position" + t), msf(l.tracks[i].start));
            EXPECT_EQ(send("status cd type" + t), l.tracks[i].audio ? "audio" : "other");
            send("set cd time format tmsf");
            EXPECT_EQ(send("status cd length" + t), msf(trackLength(l, i))) << "lengths stay msf in tmsf";
            char tmsf[32];  // room for any int, which the compiler cannot rule out
            std::snprintf(tmsf, sizeof tmsf, "%02d:00:00:00", l.tracks[i].number);
            EXPECT_EQ(send("status cd position" + t), tmsf);
            send("set cd time format milliseconds");
            EXPECT_EQ(send("status cd position" + t), std::to_string(l.tracks[i].start * 1000 / 75 + 1));
            EXPECT_EQ(send("status cd length" + t), std::to_string(trackLength(l, i) * 1000 / 75));
        }
        EXPECT_EQ(send("status cd time format"), "milliseconds");
        EXPECT_EQ(send("close cd"), "");
    }
}

TEST_F(CdAudio, IdentityOfOneTwoThreeAndNinetyNineTracks) {
    for (const char* image : {"one", "two", "three", "ninetynine", "fromfour", "fourfive"}) {
        SCOPED_TRACE(image);
        load(image);
        EXPECT_EQ(send("info cd identity"), std::to_string(identity(readLayout(image))));
        send("close cd");
    }
}

// Every verb and item that takes or gives a track speaks the disc's own numbers
// for its tracks, first to last, as Windows' cdaudio driver does: a disc of a set
// that numbers on from 4 answers as one from 1 does, but in its numbers.
TEST_F(CdAudio, TracksGoByTheNumbersTheDiscGivesThem) {
    const std::string outOfRange = "error " + std::to_string(MCIERR_OUTOFRANGE);
    for (const char* image : {"three", "fromfour"}) {
        SCOPED_TRACE(image);
        const Layout l = readLayout(image);
        ASSERT_EQ(l.tracks.size(), 3u);
        const int first = l.tracks[0].number;
        // The track `k` places after the first, by its number, alone or as tt:mm:ss:ff.
        auto n = [&](int k) { return std::to_string(first + k); };
        auto tmsf = [&](int k, int frames) {
            char text[16];
            std::snprintf(text, sizeof text, "%02d:%s", first + k, msf(frames).c_str());
            return std::string(text);
        };
        struct Row {
            std::string command, expected;
        };
        const Row rows[] = {
            {"status cd number of tracks", "3"},
            {"status cd current track", n(0)},
            {"status cd position track " + n(-1), outOfRange},
            {"status cd length track " + n(3), outOfRange},
            {"status cd type track " + n(3), outOfRange},
            {"status cd position track " + n(1), msf(l.tracks[1].start)},
            {"status cd length track " + n(0), msf(l.tracks[1].start - l.tracks[0].start)},
            {"status cd length track " + n(2), msf(l.leadOut - l.tracks[2].start - 1)},
            {"status cd type track " + n(2), "audio"},
            {"info cd identity", std::to_string(identity(l))},
            {"set cd time format tmsf", ""},
            {"status cd position", tmsf(0, 0)},
            {"status cd position track " + n(2), tmsf(2, 0)},
            {"seek cd to " + n(1), ""},
            {"status cd position", tmsf(1, 0)},
            {"status cd current track", n(1)},
            {"seek cd to " + n(0) + ":0:1:5", ""},
            {"status cd position", tmsf(0, 80)},
            {"seek cd to " + n(-1), outOfRange},
            {"seek cd to " + n(3), outOfRange},
            {"play cd from " + n(3), outOfRange},
            {"play cd from " + n(0) + " to " + n(-1), outOfRange},
            {"play cd from " + n(1) + " to " + n(2) + " wait", ""},
            {"status cd position", tmsf(2, 0)},
            {"status cd current track", n(2)},
            {"set cd time format msf", ""},
            {"status cd position", msf(l.tracks[2].start)},
            {"seek cd to " + msf(l.tracks[1].start + 10), ""},
            {"set cd time format tmsf", ""},
            {"status cd position", tmsf(1, 10)},
            {"play cd from " + n(2), ""},
            {"status cd current track", n(2)},
            {"stop cd", ""},
        };
        load(image);
        for (const Row& r : rows) EXPECT_EQ(send(r.command), r.expected) << r.command;
        send("close cd");
    }
}

TEST_F(CdAudio, CatalogueNumberOrNoIdentity) {
    load("three");
    EXPECT_EQ(send("info cd upc"), readLayout("three").catalog);
    send("close cd");
    load("one");
    EXPECT_EQ(send("info cd upc"), "error " + std::to_string(MCIERR_NO_IDENTITY));
}

TEST_F(CdAudio, BadRequestsGiveClearErrors) {
    load("three");
    const std::string outOfRange = "error " + std::to_string(MCIERR_OUTOFRANGE);
    struct Case {
        const char* command;
        std::string expected;
    };
    const Case cases[] = {
        // Packed MSF leaves its high byte unused, so a fourth field is no MSF time.
        {"seek cd to 0:2:0:1", outOfRange},
        {"status cd length track 0", outOfRange},
        {"status cd length track 4", outOfRange},
        {"status cd position track 99", outOfRange},
        {"set cd time format tmsf", ""},
        {"play cd from 4", outOfRange},
        {"play cd from 3 to 2", outOfRange},
        {"play cd from 2 to 2", outOfRange},
        {"seek cd to 9", outOfRange},
        {"set cd time format milliseconds", ""},
        {"play cd from 3", outOfRange},  // before the first track
        {"play cd from 999999", outOfRange},
        {"resume cd", "error " + std::to_string(MCIERR_HARDWARE)},
        {"set cd time format furlongs", "error " + std::to_string(MCIERR_BAD_TIME_FORMAT)},
        {"status nothere mode", "error " + std::to_string(MCIERR_INVALID_DEVICE_NAME)},
        {"open cdaudio!e: alias cd", "error " + std::to_string(MCIERR_DUPLICATE_ALIAS)},
        {"open cdaudio!q: alias other", "error " + std::to_string(MCIERR_INVALID_FILE)},
    };
    for (const Case& c : cases) EXPECT_EQ(send(c.command), c.expected) << c.command;
}

TEST_F(CdAudio, TheImageDoorOpensClosesAndOutlivesTheDevice) {
    load("two");
    EXPECT_EQ(send("set cd door open"), "");
    EXPECT_EQ(send("status cd mode"), "open");
    EXPECT_EQ(send("status cd media present"), "false");
    EXPECT_EQ(send("status cd number of tracks"), "error " + std::to_string(MCIERR_DEVICE_NOT_READY));
    send("close cd");
    ASSERT_EQ(send("open cdaudio!e: alias cd"), "1");
    EXPECT_EQ(send("status cd mode"), "open") << "the door stays open for the next open";
    EXPECT_EQ(send("set cd door closed"), "");
    EXPECT_EQ(send("status cd media present"), "true");
    EXPECT_EQ(send("status cd mode"), "stopped");
}

TEST_F(CdAudio, BrokenImagesAndDiscsWithoutAudio) {
    struct Case {
        const char* image;
        const char* media;
    };
    for (Case c : {Case{"missingbin", "false"}, Case{"malformed", "false"}}) {
        SCOPED_TRACE(c.image);
        load(c.image);
        EXPECT_EQ(send("status cd media present"), c.media);
        send("close cd");
    }
    load("noaudio");
    EXPECT_EQ(send("play cd"), "error " + std::to_string(MCIERR_HARDWARE));
    send("close cd");
    // A damaged NRG (its footer's chunk lengths run wild), named as one and as a
    // file of no kind we read: the drive opens and holds no readable disc.
    const std::string damaged = std::string(18, '\0') + std::string(94, '\xff') + std::string(46, '\0') + "NER5" +
                                std::string(8, '\0');
    for (const char* name : {"damaged.nrg", "damaged.img"}) {
        SCOPED_TRACE(name);
        testsupport::writeFile(home_.path() + "/" + name, damaged);
        testsupport::writeFile(home_.windowsDir() + "/drives/e:", home_.path() + "/" + name + "\n");
        ASSERT_EQ(send("open cdaudio!e: alias cd"), "1");
        EXPECT_EQ(send("status cd media present"), "false");
        EXPECT_EQ(send("status cd mode"), "not ready");
        send("close cd");
    }
}

// "wait" returns once the play is over: at its end, or when a command from
// another thread stops it or starts another play.
TEST_F(CdAudio, PlayWithWaitReturnsWhenThePlayIsOver) {
    load("ninetynine");
    send("set cd time format tmsf");
    EXPECT_EQ(send("play cd from 5 to 6 wait"), "");
    EXPECT_EQ(send("status cd mode"), "stopped");
    EXPECT_EQ(send("status cd position"), "06:00:00:00") << "it returned at the end";
    struct Case {
        const char* interruption;
        const char* mode;  // null: the new play may be over by now or not
    };
    for (const Case& c :
         {Case{"stop cd", "stopped"}, Case{"pause cd", "paused"}, Case{"play cd from 2 to 3", nullptr}}) {
        SCOPED_TRACE(c.interruption);
        std::thread other([&] {
            // Once the waiting play is under way; the whole disc lasts far longer than this.
            while (send("status cd mode") != "playing") std::this_thread::yield();
            send(c.interruption);
        });
        EXPECT_EQ(send("play cd from 1 wait"), "");
        other.join();
        if (c.mode) {
            EXPECT_EQ(send("status cd mode"), c.mode);
        }
        EXPECT_LT(std::stoi(send("status cd current track")), 4) << "the wait lasted past the interruption";
        send("stop cd");
    }
}

TEST_F(CdAudio, PlayPauseSeekAndStopChangeModeAndPosition) {
    load("three");
    Layout l = readLayout("three");
    send("set cd time format tmsf");
    EXPECT_EQ(send("play cd from 2"), "");
    EXPECT_EQ(send("status cd mode"), "playing");
    EXPECT_EQ(send("status cd current track"), "2");
    EXPECT_EQ(send("pause cd"), "");
    EXPECT_EQ(send("status cd mode"), "paused");
    // The device first plays out what it already took (one device period, well
    // under a second), so the position comes to rest a moment after the pause
    // returns; from then on it stays.
    std::string paused = send("status cd position");
    for (int i = 0; i < 30; ++i) {
        testsupport::pumpFor(300);
        const std::string now = send("status cd position");
        if (now == paused) break;
        paused = now;
    }
    testsupport::pumpFor(300);
    EXPECT_EQ(send("status cd position"), paused) << "a paused device stays where it is";
    EXPECT_EQ(send("play cd"), "");
    EXPECT_EQ(send("status cd mode"), "playing");
    EXPECT_EQ(send("seek cd to 3"), "");
    EXPECT_EQ(send("status cd mode"), "stopped");
    EXPECT_EQ(send("status cd position"), "03:00:00:00");
    send("set cd time format milliseconds");
    EXPECT_EQ(send("play cd from " + std::to_string(l.tracks[2].start * 1000 / 75 + 1)), "");
    EXPECT_EQ(send("status cd current track"), "3");
    EXPECT_EQ(send("stop cd"), "");
    EXPECT_EQ(send("status cd mode"), "stopped");
}

// The samples of the frames [from, to) of an image, from its layout's formula.
std::vector<int16_t> expectedSamples(const Layout& l, int from, int to) {
    std::vector<int16_t> samples;
    for (int lba = from; lba < to; ++lba) {
        unsigned seed = 0;
        for (const Track& t : l.tracks)
            if (t.start <= lba) seed = t.seed;
        for (uint32_t k = 0; k < 588; ++k) {
            uint32_t n = uint32_t(lba) * 588u + k;
            samples.push_back(int16_t(uint16_t(n * 31u + seed * 4099u)));
            samples.push_back(int16_t(uint16_t(n * 17u + seed * 257u + 12345u)));
        }
    }
    return samples;
}

std::vector<int16_t> wavSamples(const std::string& path) {
    std::string bytes = testsupport::readFile(path);
    size_t data = bytes.find("data");
    if (data == std::string::npos || data + 8 > bytes.size()) return {};
    std::vector<int16_t> samples((bytes.size() - data - 8) / 2);
    std::memcpy(samples.data(), bytes.data() + data + 8, samples.size() * 2);
    return samples;
}

TEST_F(CdAudio, PlayToTheEndGivesTheImagesSamplesGaplesslyAndStops) {
    for (const char* image : {"three", "fromfour"}) {
        SCOPED_TRACE(image);
        const std::string capture = home_.path() + "/" + image + ".wav";
        setenv("WINSHIM_AUDIO", ("capture:" + capture).c_str(), 1);
        load(image);
        Layout l = readLayout(image);
        send("set cd time format tmsf");
        ASSERT_EQ(send("play cd from " + std::to_string(l.tracks[1].number)), "");
        for (int i = 0; i < 100 && send("status cd mode") == "playing"; ++i) testsupport::pumpFor(100);
        EXPECT_EQ(send("status cd mode"), "stopped");
        send("set cd time format msf");
        EXPECT_EQ(send("status cd position"), msf(l.leadOut));
        send("close cd");
        setenv("WINSHIM_AUDIO", "null", 1);
        std::vector<int16_t> got = wavSamples(capture), want = expectedSamples(l, l.tracks[1].start, l.leadOut);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_TRUE(got == want) << "the second and third tracks, from their first sample, with nothing between them";
    }
}

}  // namespace
