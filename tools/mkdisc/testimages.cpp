// The test images: small discs with a documented sample pattern, each with a
// NAME.layout that tells tests what the disc holds without asking a CD library.
#include <cstdio>
#include <string>

#include "image.h"
#include "mkdisc.h"

namespace mkdisc {

namespace {
const char kLayoutHeader[] =
    "# What NAME.cue holds, for tests to compare a reader against.\n"
    "# Addresses are LBAs: the first sector of the .bin is LBA 150.\n"
    "#   track T start LBA audio 0|1 pregap LBA|-1 seed S\n"
    "#     T: the number the disc gives the track (its first need not be 1)\n"
    "#     start: INDEX 01; pregap: INDEX 00 when the track has one (its\n"
    "#     sectors are in the .bin, in front of the track, with its seed)\n"
    "#   image FILE        the image to open: NAME.cue, NAME.toc for a cdrdao one, NAME.nrg\n"
    "#   leadout LBA       one past the last sector of the .bin as the sheet has it\n"
    "#   catalog DIGITS    when the cue has a CATALOG\n"
    "#   broken KIND       missing-bin, short-bin (binsectors N) or malformed\n"
    "# Audio: sample frame k (0..587) of the sector at LBA a of a track with\n"
    "# seed s, with n = a * 588 + k in 32-bit unsigned arithmetic:\n"
    "#   left  = low 16 bits of (n * 31 + s * 4099)\n"
    "#   right = low 16 bits of (n * 17 + s * 257 + 12345)\n"
    "# each a signed 16-bit little-endian sample, left first.\n";

std::string layoutText(const DiscPlan& disc, const std::string& broken, int binSectors,
                       const std::string& sheet = ".cue", bool pregapsInFile = true) {
    std::string text = kLayoutHeader;
    text += "image " + disc.name + sheet + "\n";
    char line[160];
    std::snprintf(line, sizeof line, "tracks %zu\n", disc.tracks.size());
    text += line;
    if (!disc.catalog.empty()) text += "catalog " + disc.catalog + "\n";
    const std::vector<int32_t> starts = trackStarts(disc);
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const TrackPlan& t = disc.tracks[i];
        std::snprintf(line, sizeof line, "track %zu start %d audio %d pregap %d seed %u\n", size_t(disc.firstTrack) + i,
                      starts[i], t.audio ? 1 : 0, t.pregap > 0 && pregapsInFile ? starts[i] - t.pregap : -1, t.seed);
        text += line;
    }
    std::snprintf(line, sizeof line, "leadout %d\n", leadOut(disc));
    text += line;
    if (!broken.empty()) {
        text += "broken " + broken + "\n";
        if (binSectors >= 0) {
            std::snprintf(line, sizeof line, "binsectors %d\n", binSectors);
            text += line;
        }
    }
    return text;
}

std::string msf(int32_t sectors) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", sectors / (75 * 60), sectors / 75 % 60, sectors % 75);
    return buf;
}

constexpr uint32_t chunkTag(const char (&tag)[5]) {
    return uint32_t(uint8_t(tag[0])) << 24 | uint32_t(uint8_t(tag[1])) << 16 | uint32_t(uint8_t(tag[2])) << 8 |
           uint32_t(uint8_t(tag[3]));
}

TrackPlan audio(int length, uint32_t seed, int pregap = 0) {
    return TrackPlan{true, pregap, length, seed};
}
TrackPlan data(int length) {
    return TrackPlan{false, 0, length, 0};
}

DiscPlan testDisc(const std::string& name) {
    DiscPlan disc{name, "", {}};
    if (name == "one") {
        disc.tracks = {audio(150, 1)};
    } else if (name == "two" || name == "cdrdao") {
        disc.tracks = {audio(100, 21), audio(137, 22)};
    } else if (name == "three" || name == "shortbin") {
        disc.catalog = "0123456789012";
        disc.tracks = {audio(90, 31), audio(113, 32), audio(75, 33)};
    } else if (name == "ninetynine") {
        // Lengths vary so that every start (and so the identity) depends on all before it.
        for (uint32_t t = 1; t <= 99; ++t) disc.tracks.push_back(audio(int(12 + t * 37 % 41), 100 + t));
    } else if (name == "datafirst") {
        disc.tracks = {data(100), audio(80, 51), audio(90, 52)};
    } else if (name == "pregaps") {
        disc.tracks = {audio(60, 61), audio(70, 62, 30), audio(50, 63, 45)};
    } else if (name == "noaudio") {
        disc.tracks = {data(150)};
    } else if (name == "nero") {
        // A track-at-once NRG: readers put two seconds between its tracks that the file does not hold.
        disc.tracks = {audio(100, 81), audio(137, 82, 150)};
    } else if (name == "fromfour") {
        // The second disc of a set that numbers on from the first: tracks 4 to 6.
        disc.firstTrack = 4;
        disc.tracks = {audio(90, 41), audio(113, 42, 30), audio(75, 43)};
    } else if (name == "fourfive") {
        // Two tracks, 4 at 00:00:00 and 5 at 00:02:00 of the file: short-disc identity.
        disc.firstTrack = 4;
        disc.tracks = {audio(150, 44), audio(120, 45)};
    } else if (name == "missingbin" || name == "malformed") {
        disc.tracks = {audio(75, 71), audio(75, 72)};
    }
    return disc;
}

void fillPattern(int /*track*/, const TrackPlan& plan, int32_t lba, uint8_t* sector) {
    patternSector(plan.seed, lba, sector);
}

void putBe32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char(v >> shift);
}

// NAME.nrg in the newer (64-bit offset) form: the audio of every track, then a
// footer of one ETNF chunk (start, length, mode 7 = audio, first sector per
// track) and END!, then NER5 and the footer's offset.
bool writeNrg(const DiscPlan& disc, const std::string& path) {
    std::string image, footer;
    const std::vector<int32_t> starts = trackStarts(disc);
    uint8_t sector[kSectorBytes];
    putBe32(footer, uint32_t(chunkTag("ETNF")));
    putBe32(footer, uint32_t(20 * disc.tracks.size()));
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const uint32_t fileSector = uint32_t(image.size() / kSectorBytes);
        for (int s = 0; s < disc.tracks[i].length; ++s) {
            patternSector(disc.tracks[i].seed, starts[i] + s, sector);
            image.append(reinterpret_cast<const char*>(sector), kSectorBytes);
        }
        for (uint32_t v :
             {fileSector * kSectorBytes, uint32_t(disc.tracks[i].length * kSectorBytes), 7u, fileSector, 0u})
            putBe32(footer, v);
    }
    putBe32(footer, uint32_t(chunkTag("END!")));
    putBe32(footer, 0);
    const uint64_t footerAt = image.size();
    image += footer;
    putBe32(image, uint32_t(chunkTag("NER5")));
    putBe32(image, uint32_t(footerAt >> 32));
    putBe32(image, uint32_t(footerAt));
    return writeText(path, image);
}
}  // namespace

const std::vector<std::string>& testImageNames() {
    static const std::vector<std::string> names = {"one",     "two",      "three",      "ninetynine", "datafirst",
                                                   "pregaps", "noaudio",  "missingbin", "shortbin",   "malformed",
                                                   "nero",    "fromfour", "fourfive"};
    return names;
}

bool writeTestImage(const std::string& name, const std::string& dir) {
    const DiscPlan disc = testDisc(name);
    if (disc.tracks.empty()) {
        std::fprintf(stderr, "mkdisc: no test image named %s\n", name.c_str());
        return false;
    }
    const std::string base = dir + "/" + name;
    if (name == "missingbin") {
        // The cue names a .bin that is not there.
        std::remove((base + ".bin").c_str());
        return writeText(base + ".cue", cueSheet(disc)) &&
               writeText(base + ".layout", layoutText(disc, "missing-bin", -1));
    }
    if (name == "shortbin") {
        // The file ends inside track 2, so track 3 starts past its end.
        const int binSectors = 150;
        return writeImage(disc, dir, fillPattern, binSectors) &&
               writeText(base + ".layout", layoutText(disc, "short-bin", binSectors));
    }
    if (name == "cdrdao") {
        // The same disc as "two", described the way cdrdao does: one FILE line a track.
        if (!writeImage(disc, dir, fillPattern)) return false;
        std::remove((base + ".cue").c_str());
        std::string toc = "CD_DA\n";
        int32_t offset = 0;
        for (const TrackPlan& t : disc.tracks) {
            char line[96];
            std::snprintf(line, sizeof line, "TRACK AUDIO\nFILE \"%s.bin\" %s %s\n", name.c_str(), msf(offset).c_str(),
                          msf(t.length).c_str());
            toc += line;
            offset += t.length;
        }
        return writeText(base + ".toc", toc) && writeText(base + ".layout", layoutText(disc, "", -1, ".toc"));
    }
    if (name == "nero") {
        return writeNrg(disc, base + ".nrg") && writeText(base + ".layout", layoutText(disc, "", -1, ".nrg", false));
    }
    if (name == "malformed") {
        if (!writeImage(disc, dir, fillPattern)) return false;
        const std::string cue =
            "FILE \"malformed.bin\" BINARY\n"
            "  TRACK 01 AUDIO\n"
            "    INDEX 01 00:00:00\n"
            "  TRACK xx AUDIO\n"
            "    INDEX 01 00:zz:75\n"
            "  INDEX\n"
            "\"unterminated\n";
        return writeText(base + ".cue", cue) && writeText(base + ".layout", layoutText(disc, "malformed", -1));
    }
    return writeImage(disc, dir, fillPattern) && writeText(base + ".layout", layoutText(disc, "", -1));
}

}  // namespace mkdisc
