// Disc access: tables of contents, identities, audio sectors, broken images and
// the simulated door, checked against the .layout files mkdisc writes beside
// each test image, never against what the CD library itself reports.
#include "mcicda/disc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using winshim::DISC_Identity;
using winshim::DISC_Open;
using winshim::MediaState;

namespace {

const std::string kData = TESTDATA_DIR;

struct LayoutTrack {
    int number = 0, start = 0, pregap = -1;
    bool audio = true;
    uint32_t seed = 0;
};

struct Layout {
    std::vector<LayoutTrack> tracks;
    int leadOut = 0;
    std::string image, catalog, broken;
};

Layout readLayout(const std::string& name) {
    std::ifstream in(kData + "/" + name + ".layout");
    EXPECT_TRUE(in) << name << ".layout is missing";
    Layout layout;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, word;
        words >> key;
        if (key == "image") words >> layout.image;
        if (key == "leadout") words >> layout.leadOut;
        if (key == "catalog") words >> layout.catalog;
        if (key == "broken") words >> layout.broken;
        if (key != "track") continue;
        LayoutTrack t;
        int audio = 1;
        words >> t.number >> word >> t.start >> word >> audio >> word >> t.pregap >> word >> t.seed;
        t.audio = audio != 0;
        layout.tracks.push_back(t);
    }
    return layout;
}

// The expected bytes of an audio sector, from the generator the layout files describe.
std::vector<uint8_t> expectedSector(uint32_t seed, int lba) {
    std::vector<uint8_t> bytes;
    for (uint32_t k = 0; k < 588; ++k) {
        const uint32_t n = uint32_t(lba) * 588 + k;
        const int16_t left = int16_t((n * 31 + seed * 4099) & 0xffff);
        const int16_t right = int16_t((n * 17 + seed * 257 + 12345) & 0xffff);
        for (int16_t v : {left, right}) {
            bytes.push_back(uint8_t(v & 0xff));
            bytes.push_back(uint8_t((v >> 8) & 0xff));
        }
    }
    return bytes;
}

std::unique_ptr<winshim::Disc> openImage(const std::string& name) {
    return DISC_Open(kData + "/" + readLayout(name).image);
}

TEST(Disc, TableOfContentsMatchesTheLayout) {
    for (const char* name :
         {"one", "two", "three", "ninetynine", "datafirst", "pregaps", "noaudio", "cdrdao", "nero", "fromfour"}) {
        SCOPED_TRACE(name);
        const Layout layout = readLayout(name);
        auto disc = openImage(name);
        ASSERT_TRUE(disc);
        EXPECT_TRUE(disc->isImage());
        EXPECT_EQ(disc->media(), MediaState::Present);
        const auto toc = disc->toc();
        ASSERT_TRUE(toc);
        ASSERT_EQ(toc->tracks.size(), layout.tracks.size());
        for (size_t i = 0; i < layout.tracks.size(); ++i) {
            SCOPED_TRACE("track " + std::to_string(i + 1));
            EXPECT_EQ(toc->tracks[i].number, layout.tracks[i].number);
            EXPECT_EQ(toc->tracks[i].start, layout.tracks[i].start);
            EXPECT_EQ(toc->tracks[i].audio, layout.tracks[i].audio);
        }
        EXPECT_EQ(toc->leadOut, layout.leadOut);
        EXPECT_EQ(disc->catalog(), layout.catalog);
    }
}

// Written from the identity's definition on its own: the start's mm:ss:ff as
// text, its fields packed into bytes; short discs add frames and length.
uint32_t identityFromLayout(const Layout& layout) {
    uint32_t sum = 0;
    for (const LayoutTrack& t : layout.tracks) {
        char msf[16];
        std::snprintf(msf, sizeof msf, "%02d:%02d:%02d", t.start / 4500, t.start % 4500 / 75, t.start % 75);
        int m = 0, s = 0, f = 0;
        std::sscanf(msf, "%d:%d:%d", &m, &s, &f);
        sum += uint32_t(m) * 65536 + uint32_t(s) * 256 + uint32_t(f);
    }
    if (layout.tracks.size() < 3)
        sum += uint32_t(layout.tracks[0].start % 75) + uint32_t(layout.leadOut - layout.tracks[0].start);
    return sum;
}

TEST(Disc, IdentityOfTheImages) {
    struct Case {
        const char* name;
        uint32_t byHand;  // 0: only the computation from the layout
    };
    // one: 00:02:00 -> 512, plus frame 0 and 150 frames; two: 512 + 00:03:25 (793)
    // plus 0 and 237; three: 512 + 783 + 1077. Numbered from 4, the same sums:
    // fromfour: 512 + 00:03:45 (813) + 00:05:08 (1288); fourfive: 512 + 00:04:00
    // (1024) plus the first track's frame 0 and 270 frames.
    const Case cases[] = {{"one", 662},      {"two", 1542},      {"three", 2372},
                          {"ninetynine", 0}, {"fromfour", 2613}, {"fourfive", 1806}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Layout layout = readLayout(c.name);
        auto disc = openImage(c.name);
        ASSERT_TRUE(disc);
        const auto toc = disc->toc();
        ASSERT_TRUE(toc);
        EXPECT_EQ(DISC_Identity(*toc), identityFromLayout(layout));
        if (c.byHand) {
            EXPECT_EQ(DISC_Identity(*toc), c.byHand);
        }
    }
}

TEST(Disc, AudioSectorsHoldTheGeneratedSamples) {
    struct Case {
        const char* name;
        int track;
        bool pregap;  // read from the track's INDEX 00 rather than its start
    };
    const Case cases[] = {{"one", 1, false},        {"two", 2, false},         {"three", 3, false},
                          {"ninetynine", 1, false}, {"ninetynine", 57, false}, {"ninetynine", 99, false},
                          {"datafirst", 2, false},  {"pregaps", 2, true},      {"pregaps", 3, false},
                          {"cdrdao", 1, false},     {"cdrdao", 2, false},      {"nero", 1, false},
                          {"nero", 2, false}};
    const int kCount = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " track " + std::to_string(c.track));
        const Layout layout = readLayout(c.name);
        const LayoutTrack& t = layout.tracks[size_t(c.track - 1)];
        const int from = c.pregap ? t.pregap : t.start;
        ASSERT_GT(from, 0);
        auto disc = openImage(c.name);
        std::vector<uint8_t> got(kCount * winshim::kSectorBytes);
        ASSERT_TRUE(disc->readAudio(from, kCount, got.data()));
        for (int i = 0; i < kCount; ++i) {
            const std::vector<uint8_t> want = expectedSector(t.seed, from + i);
            EXPECT_EQ(std::memcmp(got.data() + i * winshim::kSectorBytes, want.data(), want.size()), 0)
                << "sector " << from + i;
        }
    }
}

TEST(Disc, ReadsOutsideTheDiscFailPromptly) {
    const Layout layout = readLayout("three");
    auto disc = openImage("three");
    const int end = layout.leadOut;
    struct Case {
        int lba, count;
        bool ok;
    };
    const Case cases[] = {
        {end - 1, 1, true},    {end - 4, 4, true}, {end - 1, 2, false},   {end, 1, false},
        {end + 500, 1, false}, {149, 1, false},    {0, 1, false},         {-10, 1, false},
        {150, 0, false},       {150, -1, false},   {150, 1 << 30, false},
    };
    std::vector<uint8_t> buffer(8 * winshim::kSectorBytes);
    for (const Case& c : cases) {
        SCOPED_TRACE("lba " + std::to_string(c.lba) + " count " + std::to_string(c.count));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(disc->readAudio(c.lba, c.count, buffer.data()), c.ok);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
}

TEST(Disc, BrokenImagesAreNotReady) {
    for (const char* name : {"missingbin", "shortbin", "malformed"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(readLayout(name).broken.empty());
        auto disc = openImage(name);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->media(), MediaState::NotReady);
        EXPECT_FALSE(disc->toc());
        EXPECT_EQ(disc->catalog(), "");
        std::vector<uint8_t> buffer(winshim::kSectorBytes);
        EXPECT_FALSE(disc->readAudio(150, 1, buffer.data()));
        // The door still works on an unreadable disc.
        EXPECT_TRUE(disc->openDoor());
        EXPECT_EQ(disc->media(), MediaState::DoorOpen);
        EXPECT_TRUE(disc->closeDoor());
        EXPECT_EQ(disc->media(), MediaState::NotReady);
    }
}

TEST(Disc, SourcesThatAreNeitherImageNorDrive) {
    struct Case {
        std::string source;
        bool disc;
        MediaState media;
    };
    const Case cases[] = {
        {kData + "/nothing-here.cue", true, MediaState::NoDisc},  // an image that is not there
        {kData + "/nothing-here.nrg", true, MediaState::NoDisc},
        {"/dev/varnel-no-such-drive", true, MediaState::NoDisc},  // a drive that is not there
        {kData + "/nothing-here.txt", false, MediaState::NoDisc},
        {kData, false, MediaState::NoDisc},  // a folder
        {"", false, MediaState::NoDisc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        auto disc = DISC_Open(c.source);
        ASSERT_EQ(bool(disc), c.disc);
        if (!disc) continue;
        EXPECT_EQ(disc->media(), c.media);
        EXPECT_FALSE(disc->toc());
    }
}

// The bundled demo disc: a few tracks of 15 to 25 seconds, sound in every
// second of them, both channels apart, nothing clipped.
TEST(Disc, DemoDiscHoldsMusic) {
    auto disc = DISC_Open((fs::path(kData).parent_path() / "share/varnel/demo.cue").string());
    ASSERT_TRUE(disc);
    const auto toc = disc->toc();
    ASSERT_TRUE(toc);
    ASSERT_GE(toc->tracks.size(), 4u);
    ASSERT_LE(toc->tracks.size(), 5u);
    std::vector<uint8_t> second(75 * winshim::kSectorBytes);
    for (size_t i = 0; i < toc->tracks.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i + 1));
        EXPECT_TRUE(toc->tracks[i].audio);
        const int32_t start = toc->tracks[i].start;
        const int32_t end = i + 1 < toc->tracks.size() ? toc->tracks[i + 1].start : toc->leadOut;
        EXPECT_GE(end - start, 15 * 75);
        EXPECT_LE(end - start, 25 * 75);
        // The last second fades out.
        for (int32_t at = start; at + 2 * 75 <= end; at += 75) {
            ASSERT_TRUE(disc->readAudio(at, 75, second.data()));
            double power = 0;
            int peak = 0, apart = 0;
            for (size_t k = 0; k + 3 < second.size(); k += 4) {
                const int left = int16_t(second[k] | second[k + 1] << 8);
                const int right = int16_t(second[k + 2] | second[k + 3] << 8);
                power += double(left) * left;
                peak = std::max({peak, std::abs(left), std::abs(right)});
                apart += left != right;
            }
            const double rms = std::sqrt(power / (second.size() / 4));
            EXPECT_GT(rms, 300) << "second " << (at - start) / 75;
            EXPECT_LT(peak, 32767) << "second " << (at - start) / 75;
            EXPECT_GT(apart, 75 * 588 / 2) << "second " << (at - start) / 75;
        }
    }
}

// The drive path without a drive: a device node that answers no CD request.
TEST(Disc, DeviceThatIsNotADrive) {
    auto disc = DISC_Open("/dev/null");
    ASSERT_TRUE(disc);
    EXPECT_FALSE(disc->isImage());
    EXPECT_EQ(disc->media(), MediaState::NotReady);
    EXPECT_FALSE(disc->toc());
    EXPECT_EQ(disc->catalog(), "");
    std::vector<uint8_t> buffer(winshim::kSectorBytes);
    EXPECT_FALSE(disc->readAudio(150, 1, buffer.data()));
    EXPECT_FALSE(disc->openDoor());
    EXPECT_FALSE(disc->closeDoor());
    EXPECT_EQ(disc->media(), MediaState::NotReady);
}

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// An NRG file of two audio sectors whose footer holds `chunks`, found at
// `footerAt` (where the chunks really are unless told otherwise).
std::string nrgImage(const std::string& chunks, uint64_t footerAt = 2 * winshim::kSectorBytes) {
    return std::string(2 * winshim::kSectorBytes, '\0') + chunks + "NER5" + be32(uint32_t(footerAt >> 32)) +
           be32(uint32_t(footerAt));
}

// One ETNF entry per track: audio (mode 7) `sectors` long from file sector `first`.
std::string etnf(int tracks, uint32_t first = 0, uint32_t sectors = 2) {
    std::string chunk = "ETNF" + be32(uint32_t(20 * tracks));
    for (int t = 0; t < tracks; ++t)
        chunk += be32(first * winshim::kSectorBytes) + be32(sectors * winshim::kSectorBytes) + be32(7) + be32(first) +
                 be32(0);
    return chunk;
}

const std::string kEnd = "END!" + be32(0);

// No file can take the player down: what the NRG reader would follow out of its
// buffer, and files of a kind we do not read, are unreadable discs.
TEST(Disc, DamagedAndUnknownImagesAreNotReady) {
    // The reproducer: a footer at offset 0 whose chunk lengths run wild.
    const std::string reproducer = std::string(18, '\0') + std::string(94, '\xff') + std::string(46, '\0') + "NER5" +
                                   std::string(8, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        MediaState media;
    };
    const Case cases[] = {
        {"sound.nrg", nrgImage(etnf(1) + kEnd), MediaState::Present},
        {"reproducer.nrg", reproducer, MediaState::NotReady},
        {"reproducer.img", reproducer, MediaState::NotReady},
        {"sound-but-unknown-kind.img", nrgImage(etnf(1) + kEnd), MediaState::NotReady},
        {"footer-past-end.nrg", nrgImage(etnf(1) + kEnd, 1u << 20), MediaState::NotReady},
        {"footer-huge-offset.nrg", nrgImage(etnf(1) + kEnd, ~uint64_t(0)), MediaState::NotReady},
        {"chunk-longer-than-footer.nrg", nrgImage("ETNF" + be32(0xfffffff0) + kEnd), MediaState::NotReady},
        {"hundred-tracks.nrg", nrgImage(etnf(100) + kEnd), MediaState::NotReady},
        {"no-tracks.nrg", nrgImage(etnf(0) + kEnd), MediaState::NotReady},
        {"two-track-lists.nrg", nrgImage(etnf(1) + etnf(1) + kEnd), MediaState::NotReady},
        {"no-end.nrg", nrgImage(etnf(1)), MediaState::NotReady},
        {"unknown-chunk.nrg", nrgImage("ABCD" + be32(0) + etnf(1) + kEnd), MediaState::NotReady},
        {"short-dao.nrg", nrgImage(etnf(1) + "DAOX" + be32(22) + std::string(22, '\0') + kEnd), MediaState::NotReady},
        {"cues-without-entries.nrg", nrgImage("CUES" + be32(0) + kEnd), MediaState::NotReady},
        {"short.nrg", "NER5", MediaState::NotReady},
        {"empty.cue", "", MediaState::NotReady},
        {"binary.cue", reproducer, MediaState::NotReady},
        // libcdio's TOC reader divides by the sector size of a TRACK without a mode.
        {"track-without-mode.toc", "CD_DA\nTRACK AUDIO\nFILE \"x.bin\" 0 00:00:02\nTRACK\nFILE \"x.bin\" 00:00:02\n",
         MediaState::NotReady},
        {"nul-in-track.toc", std::string("CD_DA\nTRACK\0 AUDIO\nFILE \"x.bin\" 0\n", 34), MediaState::NotReady},
    };
    testsupport::ScratchHome home;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = home.path() + "/" + c.name;
        testsupport::writeFile(path, c.bytes);
        auto disc = DISC_Open(path);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->media(), c.media);
        EXPECT_EQ(bool(disc->toc()), c.media == MediaState::Present);
    }
}

// A copy of an image in a scratch folder, for tests that change its files; the
// cue sheet may be given another name than the .bin it names.
struct ScratchImage {
    testsupport::ScratchHome home;
    std::string cue;
    explicit ScratchImage(const std::string& name, const std::string& cueName = "")
        : cue(home.path() + "/" + (cueName.empty() ? name : cueName) + ".cue") {
        fs::copy_file(kData + "/" + name + ".bin", home.path() + "/" + name + ".bin");
        fs::copy_file(kData + "/" + name + ".cue", cue);
    }
};

TEST(Disc, CueSheetNamedOtherwiseThanItsBin) {
    for (const char* cueName : {"renamed", "two two", "TWO"}) {
        SCOPED_TRACE(cueName);
        ScratchImage image("two", cueName);
        const Layout layout = readLayout("two");
        auto disc = DISC_Open(image.cue);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->media(), MediaState::Present);
        const auto toc = disc->toc();
        ASSERT_TRUE(toc);
        EXPECT_EQ(toc->leadOut, layout.leadOut);
        std::vector<uint8_t> got(winshim::kSectorBytes);
        const LayoutTrack& last = layout.tracks.back();
        ASSERT_TRUE(disc->readAudio(last.start, 1, got.data()));
        EXPECT_EQ(got, expectedSector(last.seed, last.start));
    }
}

TEST(Disc, SimulatedDoorAndVanishingFile) {
    ScratchImage image("two");
    auto disc = DISC_Open(image.cue);
    ASSERT_TRUE(disc);
    std::vector<uint8_t> buffer(winshim::kSectorBytes);
    struct Step {
        const char* what;
        MediaState media;
    };
    const Step steps[] = {{"start", MediaState::Present},   {"open", MediaState::DoorOpen},
                          {"close", MediaState::Present},   {"remove", MediaState::NoDisc},
                          {"restore", MediaState::Present}, {"open", MediaState::DoorOpen},
                          {"remove", MediaState::DoorOpen}, {"close", MediaState::NoDisc}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const std::string what = s.what;
        if (what == "open") {
            EXPECT_TRUE(disc->openDoor());
        } else if (what == "close") {
            EXPECT_TRUE(disc->closeDoor());
        } else if (what == "remove") {
            fs::rename(image.cue, image.cue + ".away");
        } else if (what == "restore") {
            fs::rename(image.cue + ".away", image.cue);
        }
        EXPECT_EQ(disc->media(), s.media);
        const bool present = s.media == MediaState::Present;
        EXPECT_EQ(bool(disc->toc()), present);
        if (s.media != MediaState::NoDisc) {
            EXPECT_EQ(disc->readAudio(150, 1, buffer.data()), present);
        }
    }
}

TEST(Disc, PlaybackThreadReadsWhileTheUiAsks) {
    auto disc = openImage("ninetynine");
    const Layout layout = readLayout("ninetynine");
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(4 * winshim::kSectorBytes);
        for (int lba = 150; !done; lba = lba + 4 >= layout.leadOut ? 150 : lba + 4) {
            if (disc->readAudio(lba, 4, buffer.data())) ++reads;
        }
    });
    for (int i = 0; i < 200; ++i) {
        if (i % 50 == 10) disc->openDoor();
        if (i % 50 == 20) disc->closeDoor();
        (void)disc->media();
        if (auto toc = disc->toc()) {
            EXPECT_EQ(toc->tracks.size(), 99u);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
