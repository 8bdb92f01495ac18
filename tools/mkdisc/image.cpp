#include "image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace mkdisc {

namespace {
std::string msf(int32_t sectors) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", sectors / (75 * 60), sectors / 75 % 60, sectors % 75);
    return buf;
}

uint8_t bcd(int v) {
    return uint8_t((v / 10) << 4 | (v % 10));
}

// A MODE1/2352 sector: sync, header with the absolute address, zeroed user data.
// The error-correction bytes stay zero; readers of raw images do not check them.
void dataSector(int32_t lba, uint8_t* out) {
    std::memset(out, 0, kSectorBytes);
    out[0] = 0x00;
    std::memset(out + 1, 0xff, 10);
    out[11] = 0x00;
    out[12] = bcd(lba / (75 * 60));
    out[13] = bcd(lba / 75 % 60);
    out[14] = bcd(lba % 75);
    out[15] = 0x01;
}
}  // namespace

std::vector<int32_t> trackStarts(const DiscPlan& disc) {
    std::vector<int32_t> starts;
    int32_t at = kLeadIn;
    for (const TrackPlan& t : disc.tracks) {
        at += t.pregap;
        starts.push_back(at);
        at += t.length;
    }
    return starts;
}

int32_t leadOut(const DiscPlan& disc) {
    int32_t at = kLeadIn;
    for (const TrackPlan& t : disc.tracks) at += t.pregap + t.length;
    return at;
}

std::string cueSheet(const DiscPlan& disc) {
    std::string cue;
    if (!disc.catalog.empty()) cue += "CATALOG " + disc.catalog + "\n";
    cue += "FILE \"" + disc.name + ".bin\" BINARY\n";
    int32_t offset = 0;  // in the file
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const TrackPlan& t = disc.tracks[i];
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02zu %s\n", size_t(disc.firstTrack) + i,
                      t.audio ? "AUDIO" : "MODE1/2352");
        cue += line;
        if (t.pregap > 0) cue += "    INDEX 00 " + msf(offset) + "\n";
        offset += t.pregap;
        cue += "    INDEX 01 " + msf(offset) + "\n";
        offset += t.length;
    }
    return cue;
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "mkdisc: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool writeImage(const DiscPlan& disc, const std::string& dir, const AudioFill& fill, int binSectors) {
    const std::string binPath = dir + "/" + disc.name + ".bin";
    std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
    uint8_t sector[kSectorBytes];
    int32_t lba = kLeadIn;
    int written = 0;
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const TrackPlan& t = disc.tracks[i];
        for (int s = 0; s < t.pregap + t.length; ++s, ++lba) {
            if (binSectors >= 0 && written >= binSectors) break;
            if (t.audio)
                fill(int(i + 1), t, lba, sector);
            else
                dataSector(lba, sector);
            bin.write(reinterpret_cast<const char*>(sector), kSectorBytes);
            ++written;
        }
    }
    bin.close();
    if (!bin) {
        std::fprintf(stderr, "mkdisc: cannot write %s: %s\n", binPath.c_str(), std::strerror(errno));
        return false;
    }
    return writeText(dir + "/" + disc.name + ".cue", cueSheet(disc));
}

void patternSector(uint32_t seed, int32_t lba, uint8_t* sector) {
    for (int k = 0; k < kSamplesPerSector; ++k) {
        const uint32_t n = uint32_t(lba) * kSamplesPerSector + uint32_t(k);
        const uint16_t left = uint16_t(n * 31u + seed * 4099u);
        const uint16_t right = uint16_t(n * 17u + seed * 257u + 12345u);
        uint8_t* p = sector + k * 4;
        p[0] = uint8_t(left);
        p[1] = uint8_t(left >> 8);
        p[2] = uint8_t(right);
        p[3] = uint8_t(right >> 8);
    }
}

}  // namespace mkdisc
