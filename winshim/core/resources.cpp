#include "core/resources.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "winshim_resources.h"

namespace winshim {
namespace {

constexpr WORD kLangEnglishUS = 0x0409;
constexpr WORD kLangNeutral = 0x0000;
// Deeper menus than this are not something a resource compiler writes; the limit keeps
// a hostile image from exhausting the stack.
constexpr int kMaxMenuDepth = 16;

// A cursor over little-endian bytes that never reads past the end: once a read
// fails, every later read fails too and the caller checks ok() once.
class Reader {
public:
    explicit Reader(ResBytes bytes, std::size_t pos = 0) : bytes_(bytes), pos_(pos) {
        if (pos_ > bytes_.size()) fail();
    }

    bool ok() const { return ok_; }
    std::size_t pos() const { return pos_; }
    std::size_t left() const { return ok_ ? bytes_.size() - pos_ : 0; }

    WORD u16() {
        if (!need(2)) return 0;
        WORD v = WORD(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    DWORD u32() {
        DWORD lo = u16();
        return lo | DWORD(u16()) << 16;
    }
    BYTE u8() {
        if (!need(1)) return 0;
        return bytes_[pos_++];
    }
    short s16() { return static_cast<short>(u16()); }
    ResBytes take(std::size_t n) {
        if (!need(n)) return {};
        ResBytes out = bytes_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    // Alignment counts from the start of the bytes, which a resource always has
    // on a DWORD boundary.
    void align4() {
        std::size_t to = (pos_ + 3) & ~std::size_t{3};
        if (to > bytes_.size()) {
            // Padding at the very end may be missing; nothing follows it anyway.
            pos_ = bytes_.size();
            return;
        }
        pos_ = to;
    }

    // A NUL-terminated UTF-16 string, as UTF-8.
    std::string wstr() {
        std::u16string units;
        for (;;) {
            WORD c = u16();
            if (!ok_ || c == 0) break;
            units.push_back(char16_t(c));
        }
        return QString::fromUtf16(units.data(), qsizetype(units.size())).toStdString();
    }
    // An ordinal (0xFFFF and a WORD) or a string. With nullable, a leading 0x0000 is
    // an empty id, as in a dialog's menu and class fields.
    ResId id(bool nullable) {
        std::size_t at = pos_;
        WORD first = u16();
        if (!ok_) return {};
        if (first == 0xFFFF) return ResId::Ordinal(u16());
        if (first == 0 && nullable) return {};
        pos_ = at;
        return ResId::Name(wstr());
    }

private:
    bool need(std::size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n) {
            fail();
            return false;
        }
        return true;
    }
    void fail() {
        ok_ = false;
        pos_ = bytes_.size();
    }

    ResBytes bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

bool equalsNoCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string predefinedClass(WORD ordinal) {
    static const char* const kNames[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (ordinal >= 0x80 && ordinal <= 0x85) return kNames[ordinal - 0x80];
    return "#" + std::to_string(ordinal);
}

std::optional<ResEntry> readEntry(Reader& r, ResBytes image) {
    std::size_t start = r.pos();
    DWORD dataSize = r.u32();
    DWORD headerSize = r.u32();
    ResEntry e;
    e.type = r.id(false);
    e.name = r.id(false);
    r.align4();
    e.dataVersion = r.u32();
    e.memoryFlags = r.u16();
    e.language = r.u16();
    e.version = r.u32();
    e.characteristics = r.u32();
    if (!r.ok()) return std::nullopt;
    // The data starts where the header says, which may be after fields of a newer header.
    if (headerSize < r.pos() - start || headerSize > image.size() - start) return std::nullopt;
    std::size_t dataAt = start + headerSize;
    if (dataSize > image.size() - dataAt) return std::nullopt;
    e.data = image.subspan(dataAt, dataSize);
    r = Reader(image, dataAt + dataSize);
    r.align4();
    return e;
}

struct Registry {
    std::mutex mutex;
    std::vector<ResBytes> pending;  // registered, not yet read
    std::vector<ResEntry> entries;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

int languageRank(WORD language) {
    if (language == kLangEnglishUS) return 0;
    if (language == kLangNeutral) return 1;
    return 2;
}

}  // namespace

bool ResId::matches(LPCSTR key) const {
    if (IS_INTRESOURCE(key)) return isOrdinal && ordinal == LOWORD(reinterpret_cast<ULONG_PTR>(key));
    if (key[0] == '#') {
        if (!isOrdinal || key[1] == '\0') return false;
        unsigned long value = 0;
        for (const char* p = key + 1; *p; ++p) {
            if (*p < '0' || *p > '9') return false;
            value = value * 10 + unsigned(*p - '0');
            if (value > 0xFFFF) return false;
        }
        return ordinal == value;
    }
    return !isOrdinal && equalsNoCase(name, key);
}

bool RES_RegisterModule(const unsigned char* data, std::size_t size) {
    // Runs during static initialisation: only store the bytes here; they are read on
    // first lookup, when logging works.
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (data && size) reg.pending.emplace_back(data, size);
    return true;
}

std::optional<std::vector<ResEntry>> RES_ParseFile(ResBytes image) {
    std::vector<ResEntry> entries;
    Reader r(image);
    while (r.left() > 0) {
        std::size_t at = r.pos();
        auto entry = readEntry(r, image);
        if (!entry) {
            WS_LOG("res", "malformed resource header at offset %zu of %zu", at, image.size());
            return std::nullopt;
        }
        // The leading empty entry has type 0; it marks a 32-bit .res file and holds nothing.
        if (entry->type.isOrdinal && entry->type.ordinal == 0) continue;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::optional<ResBytes> RES_Find(HINSTANCE instance, LPCSTR type, LPCSTR name) {
    if (instance != nullptr && instance != kModule) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return std::nullopt;
    }
    if (!type || !name) {
        SetLastError(!type ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
        return std::nullopt;
    }
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (ResBytes image : reg.pending) {
        auto parsed = RES_ParseFile(image);
        if (!parsed) {
            LOG_Once("res:malformed",
                     "resources: a registered .res image is malformed; none of its resources are used");
            continue;
        }
        WS_LOG("res", "registered %zu resources (%zu bytes)", parsed->size(), image.size());
        for (auto& e : *parsed) reg.entries.push_back(std::move(e));
    }
    reg.pending.clear();

    const ResEntry* best = nullptr;
    bool typeSeen = false;
    for (const ResEntry& e : reg.entries) {
        if (!e.type.matches(type)) continue;
        typeSeen = true;
        if (!e.name.matches(name)) continue;
        if (!best || languageRank(e.language) < languageRank(best->language)) best = &e;
    }
    if (!best) {
        SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return std::nullopt;
    }
    return best->data;
}

std::optional<DialogTemplate> RES_ParseDialog(ResBytes bytes) {
    Reader r(bytes);
    DialogTemplate t;
    WORD count = 0;
    t.extended = bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    if (t.extended) {
        r.u32();  // version and signature
        t.helpId = r.u32();
        t.exStyle = r.u32();
        t.style = r.u32();
    } else {
        t.style = r.u32();
        t.exStyle = r.u32();
    }
    count = r.u16();
    t.x = r.s16();
    t.y = r.s16();
    t.cx = r.s16();
    t.cy = r.s16();
    t.menu = r.id(true);
    t.className = r.id(true);
    t.title = r.wstr();
    if (t.style & DS_SETFONT) {
        DialogFont font;
        font.pointSize = r.u16();
        if (t.extended) {
            font.weight = r.u16();
            font.italic = r.u8() != 0;
            font.charset = r.u8();
        }
        font.face = r.wstr();
        t.font = std::move(font);
    }
    if (!r.ok()) return std::nullopt;

    for (WORD i = 0; i < count; ++i) {
        r.align4();
        DialogItem item;
        if (t.extended) {
            item.helpId = r.u32();
            item.exStyle = r.u32();
            item.style = r.u32();
        } else {
            item.style = r.u32();
            item.exStyle = r.u32();
        }
        item.x = r.s16();
        item.y = r.s16();
        item.cx = r.s16();
        item.cy = r.s16();
        DWORD id = t.extended ? r.u32() : r.u16();
        // Compilers write "no identifier" as a WORD or a DWORD -1.
        item.id = (id == 0xFFFF || id == 0xFFFFFFFF) ? -1 : int(id);
        ResId cls = r.id(false);
        item.className = cls.isOrdinal ? predefinedClass(cls.ordinal) : cls.name;
        item.text = r.id(false);
        WORD extra = r.u16();
        ResBytes data = r.take(extra);
        item.creationData.assign(data.begin(), data.end());
        if (!r.ok()) return std::nullopt;
        t.items.push_back(std::move(item));
    }
    return t;
}

namespace {
bool readMenuLevel(Reader& r, std::vector<MenuNode>& out, int depth) {
    if (depth > kMaxMenuDepth) return false;
    for (;;) {
        WORD flags = r.u16();
        MenuNode node;
        node.flags = flags & ~UINT(MF_END);
        if (!(flags & MF_POPUP)) node.id = r.u16();
        node.text = r.wstr();
        if (!r.ok()) return false;
        if (flags & MF_POPUP) {
            if (!readMenuLevel(r, node.children, depth + 1)) return false;
        } else if (node.flags == 0 && node.id == 0 && node.text.empty()) {
            node.flags = MF_SEPARATOR;  // how a MENUITEM SEPARATOR is stored
        }
        out.push_back(std::move(node));
        if (flags & MF_END) return true;
    }
}
}  // namespace

std::optional<std::vector<MenuNode>> RES_ParseMenu(ResBytes bytes) {
    Reader r(bytes);
    WORD version = r.u16();
    WORD headerSize = r.u16();
    r.take(headerSize);
    if (!r.ok() || version != 0) {
        WS_LOG("res", "menu resource: unsupported version %u or short header", unsigned(version));
        return std::nullopt;
    }
    std::vector<MenuNode> items;
    if (r.left() == 0) return items;
    if (!readMenuLevel(r, items, 0)) {
        WS_LOG("res", "menu resource: malformed items");
        return std::nullopt;
    }
    return items;
}

}  // namespace winshim
