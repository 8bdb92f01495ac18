// libcdio's NRG reader trusts the file: it follows the footer offset and every
// chunk length without a bound, indexes its track table by counts read from
// the file, and treats its own asserts as warnings under our log handler. A
// damaged file sends it through wild pointers. So an image reaches libcdio only
// when its footer and chunks hold up to every read that reader makes; anything
// else is an unreadable disc.
#include <cdio/sector.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace winshim {

namespace {

constexpr uint32_t chunkId(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint64_t be64(const uint8_t* p) {
    return uint64_t(be32(p)) << 32 | be32(p + 4);
}

// The reader copies the whole footer into one buffer and stops there.
constexpr uint64_t kMaxFooter = 4096;
constexpr size_t kChunkHeader = 8;
constexpr size_t kCueEntry = 8, kEtnfEntry = 20, kEtn2Entry = 32;
constexpr size_t kDaoHeader = 22, kDaoiEntry = 30, kDaoxEntry = 42;
constexpr size_t kCdTextPack = 18;

// The block size of an ETNF/ETN2 track mode, or 0 for a mode the reader refuses.
uint32_t modeBlockSize(uint32_t mode, bool etn2) {
    switch (mode) {
    case 0:
    case 2:
        return CDIO_CD_FRAMESIZE;
    case 3:
        return M2RAW_SECTOR_SIZE;
    case 6:
    case 0x20:
        return etn2 ? 0 : M2RAW_SECTOR_SIZE;
    case 7:
        return CDIO_CD_FRAMESIZE_RAW;
    }
    return 0;
}

// Counts the tracks one track-list chunk registers, or -1 where the reader
// would read outside the chunk or trip one of its asserts.
int trackListTracks(uint32_t id, const uint8_t* data, size_t length) {
    if (id == chunkId("CUES") || id == chunkId("CUEX")) {
        if (length % kCueEntry) return -1;
        const size_t entries = length / kCueEntry;
        if (entries < 2 || entries % 2) return -1;
        const uint8_t* e = data;
        if (id == chunkId("CUEX") && int32_t(be32(e + 4)) != -CDIO_PREGAP_SECTORS) return -1;
        // CUES pairs start at entry 1, CUEX pairs at entry 2; both pair a track's
        // start with the entry after it.
        const size_t first = id == chunkId("CUES") ? 1 : 2;
        int tracks = 0;
        for (size_t i = first; i + 1 < entries; i += 2, ++tracks) {
            const uint8_t* a = e + i * kCueEntry;
            const uint8_t* b = a + kCueEntry;
            const int format = a[2] >> 4;
            if (id == chunkId("CUES") && (format != 0 || a[1] != b[1])) return -1;
            if (id == chunkId("CUEX") && (format > 1 || a[1] == b[1])) return -1;
        }
        return tracks;
    }
    const bool etn2 = id == chunkId("ETN2");
    const size_t entry = etn2 ? kEtn2Entry : kEtnfEntry;
    if (length % entry) return -1;
    for (size_t i = 0; i < length / entry; ++i) {
        const uint8_t* e = data + i * entry;
        const uint32_t block = modeBlockSize(be32(e + (etn2 ? 16 : 8)), etn2);
        if (!block) return -1;
        if (!etn2) {
            const uint32_t start = be32(e), bytes = be32(e + 4), startLsn = be32(e + 12);
            if (bytes % block || startLsn * block != start) return -1;
        }
    }
    return int(length / entry);
}

bool chunksHoldUp(const std::vector<uint8_t>& footer) {
    int tracks = 0;
    bool trackList = false;
    for (size_t pos = 0; footer.size() - pos >= 4;) {
        const uint32_t id = be32(&footer[pos]);
        if (id == chunkId("END!")) return trackList && tracks > 0;
        if (footer.size() - pos < kChunkHeader) return false;
        const uint64_t length = be32(&footer[pos + 4]);
        if (length > footer.size() - pos - kChunkHeader) return false;
        const uint8_t* data = footer.data() + pos + kChunkHeader;
        if (id == chunkId("CUES") || id == chunkId("CUEX") || id == chunkId("ETNF") || id == chunkId("ETN2")) {
            // The reader's track table has room for one list of at most 99 tracks.
            const int listed = trackListTracks(id, data, length);
            if (trackList || listed < 0 || listed > CDIO_CD_MAX_TRACKS) return false;
            trackList = true;
            tracks = listed;
        } else if (id == chunkId("DAOI") || id == chunkId("DAOX")) {
            // It reads the first track's entry even when no track is listed yet.
            const size_t entry = id == chunkId("DAOX") ? kDaoxEntry : kDaoiEntry;
            if (length < kDaoHeader + entry * size_t(tracks > 0 ? tracks : 1)) return false;
        } else if (id == chunkId("SINF") || id == chunkId("MTYP")) {
            if (length != 4) return false;
        } else if (id == chunkId("CDTX")) {
            if (length % kCdTextPack) return false;
        } else {
            return false;  // a kind of chunk the reader does not know, or a nested footer
        }
        pos += kChunkHeader + length;
    }
    return false;  // no END! chunk
}

}  // namespace

bool DISC_NrgHoldsUp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    uint8_t trailer[12];
    if (!in || size < std::streamoff(sizeof trailer)) return false;
    in.seekg(size - std::streamoff(sizeof trailer));
    if (!in.read(reinterpret_cast<char*>(trailer), sizeof trailer)) return false;
    // The older form ends in NERO and a 32-bit offset of the footer, the newer
    // in NER5 and a 64-bit one; the chunks lie between the footer's start and that.
    uint64_t footerStart, chunksEnd;
    if (be32(trailer + 4) == chunkId("NERO")) {
        footerStart = be32(trailer + 8);
        chunksEnd = uint64_t(size) - 8;
    } else if (be32(trailer) == chunkId("NER5")) {
        footerStart = be64(trailer + 4);
        chunksEnd = uint64_t(size) - 12;
    } else {
        return false;
    }
    if (footerStart > chunksEnd || uint64_t(size) - footerStart > kMaxFooter) return false;
    std::vector<uint8_t> footer(size_t(chunksEnd - footerStart));
    in.seekg(std::streamoff(footerStart));
    if (!in.read(reinterpret_cast<char*>(footer.data()), std::streamsize(footer.size()))) return false;
    if (chunksHoldUp(footer)) return true;
    WS_LOG("cdio", "%s: a damaged NRG footer", path.c_str());
    return false;
}

}  // namespace winshim
