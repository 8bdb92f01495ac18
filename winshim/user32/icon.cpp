#include "user32/icon.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPixmap>
#include <QStyle>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/app.h"
#include "core/handles.h"
#include "core/log.h"
#include "core/resources.h"

namespace winshim {
namespace {

constexpr int kStandardIconSize = 32;

struct IconObject {
    bool isCursor = false;
    QIcon icon;
    QSize size;
    Qt::CursorShape shape = Qt::ArrowCursor;
};

// Every icon and cursor that LoadIconA/LoadCursorA hand out is shared, as on Windows:
// the same resource gives the same handle, and it lives as long as the process.
struct IconTable {
    HandleTable<HICON, IconObject> objects{0x49000001};
    std::map<std::string, HICON> shared;
};

IconTable& table() {
    static IconTable instance;
    return instance;
}

const IconObject* lookup(HICON handle) { return table().objects.find(handle); }

HICON add(const std::string& key, IconObject object) {
    HICON handle = table().objects.add(std::move(object));
    table().shared.emplace(key, handle);
    return handle;
}

HICON findShared(const std::string& key) {
    auto& shared = table().shared;
    auto it = shared.find(key);
    return it == shared.end() ? nullptr : it->second;
}

// One key per resource however it is named: MAKEINTRESOURCE(102) and "#102" are the
// same icon, names compare case-insensitively.
std::optional<std::string> resourceKey(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
    if (!name) return std::nullopt;
    std::string key = name;
    if (key.size() > 1 && key[0] == '#') {
        char* end = nullptr;
        unsigned long value = std::strtoul(key.c_str() + 1, &end, 10);
        if (*end == '\0' && value <= 0xFFFF) return "#" + std::to_string(value);
    }
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return "$" + key;
}

WORD ordinalOf(LPCSTR name) {
    return IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0;
}

std::optional<QStyle::StandardPixmap> systemIcon(WORD id) {
    static const std::pair<WORD, QStyle::StandardPixmap> kIcons[] = {
        {32512, QStyle::SP_DesktopIcon},            // IDI_APPLICATION
        {32513, QStyle::SP_MessageBoxCritical},     // IDI_HAND
        {32514, QStyle::SP_MessageBoxQuestion},     // IDI_QUESTION
        {32515, QStyle::SP_MessageBoxWarning},      // IDI_EXCLAMATION
        {32516, QStyle::SP_MessageBoxInformation},  // IDI_ASTERISK
        {32517, QStyle::SP_DesktopIcon},            // IDI_WINLOGO
        {32518, QStyle::SP_VistaShield},            // IDI_SHIELD
    };
    for (const auto& [key, pixmap] : kIcons)
        if (key == id) return pixmap;
    return std::nullopt;
}

std::optional<Qt::CursorShape> systemCursor(WORD id) {
    static const std::pair<WORD, Qt::CursorShape> kCursors[] = {
        {32512, Qt::ArrowCursor},         // IDC_ARROW
        {32513, Qt::IBeamCursor},         // IDC_IBEAM
        {32514, Qt::WaitCursor},          // IDC_WAIT
        {32515, Qt::CrossCursor},         // IDC_CROSS
        {32516, Qt::UpArrowCursor},       // IDC_UPARROW
        {32642, Qt::SizeFDiagCursor},     // IDC_SIZENWSE
        {32643, Qt::SizeBDiagCursor},     // IDC_SIZENESW
        {32644, Qt::SizeHorCursor},       // IDC_SIZEWE
        {32645, Qt::SizeVerCursor},       // IDC_SIZENS
        {32646, Qt::SizeAllCursor},       // IDC_SIZEALL
        {32648, Qt::ForbiddenCursor},     // IDC_NO
        {32649, Qt::PointingHandCursor},  // IDC_HAND
        {32650, Qt::BusyCursor},          // IDC_APPSTARTING
        {32651, Qt::WhatsThisCursor},     // IDC_HELP
    };
    for (const auto& [key, shape] : kCursors)
        if (key == id) return shape;
    return std::nullopt;
}

WORD u16(ResBytes b, std::size_t at) {
    return WORD(b[at] | b[at + 1] << 8);
}
DWORD u32(ResBytes b, std::size_t at) {
    return DWORD(u16(b, at)) | DWORD(u16(b, at + 2)) << 16;
}
void put16(QByteArray& out, WORD v) {
    out.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray& out, DWORD v) {
    put16(out, WORD(v & 0xFFFF));
    put16(out, WORD(v >> 16));
}

// Turns an icon group and its RT_ICON images into an .ico file, which is the same
// directory with file offsets in place of resource ids. Chooses the image closest
// to the standard size, as LoadIcon does, into `chosen`.
std::optional<QByteArray> groupToIco(HINSTANCE instance, ResBytes group, QSize& chosen) {
    constexpr std::size_t kDirSize = 6, kGroupEntry = 14, kFileEntry = 16;
    if (group.size() < kDirSize || u16(group, 0) != 0 || u16(group, 2) != 1) return std::nullopt;
    std::size_t count = u16(group, 4);
    if (count == 0 || group.size() < kDirSize + count * kGroupEntry) return std::nullopt;

    QByteArray entries, images;
    int found = 0, bestScore = 0, bestBits = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kDirSize + i * kGroupEntry;
        WORD nId = u16(group, at + 12);
        auto image = RES_Find(instance, RT_ICON, MAKEINTRESOURCE(nId));
        if (!image) {
            WS_LOG("icon", "icon group names image %u, which is missing", unsigned(nId));
            continue;
        }
        int width = group[at] ? group[at] : 256, height = group[at + 1] ? group[at + 1] : 256;
        int bits = u16(group, at + 6);
        int score = std::abs(width - kStandardIconSize) + std::abs(height - kStandardIconSize);
        // Among equally close sizes the deeper colour wins.
        if (found == 0 || score < bestScore || (score == bestScore && bits > bestBits)) {
            chosen = QSize(width, height);
            bestScore = score;
            bestBits = bits;
        }
        entries.append(reinterpret_cast<const char*>(group.data() + at), 8);  // size, colours, planes, bits
        put32(entries, DWORD(image->size()));
        put32(entries, 0);  // offset, filled in below
        images.append(reinterpret_cast<const char*>(image->data()), qsizetype(image->size()));
        ++found;
    }
    if (found == 0) return std::nullopt;

    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, WORD(found));
    DWORD offset = DWORD(kDirSize + std::size_t(found) * kFileEntry);
    for (int i = 0; i < found; ++i) {
        QByteArray entry = entries.mid(qsizetype(i * kFileEntry), qsizetype(kFileEntry));
        DWORD size = u32(ResBytes(reinterpret_cast<const std::uint8_t*>(entry.constData()), kFileEntry), 8);
        entry.truncate(12);
        put32(entry, offset);
        ico.append(entry);
        offset += size;
    }
    ico.append(images);
    return ico;
}

QIcon decodeIco(const QByteArray& ico) {
    QIcon icon;
    QBuffer buffer;
    buffer.setData(ico);
    buffer.open(QIODevice::ReadOnly);
    QImageReader probe(&buffer, "ico");
    int count = probe.imageCount();
    for (int i = 0; i < count; ++i) {
        buffer.seek(0);
        QImageReader reader(&buffer, "ico");
        if (!reader.jumpToImage(i)) continue;
        QImage image = reader.read();
        if (image.isNull()) {
            WS_LOG("icon", "image %d of an icon group did not decode: %s", i, qPrintable(reader.errorString()));
            continue;
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

HICON loadModuleIcon(HINSTANCE instance, LPCSTR name) {
    auto key = resourceKey(name);
    if (!key) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::string sharedKey = "module:" + *key;
    if (HICON shared = findShared(sharedKey)) return shared;
    auto group = RES_Find(instance, RT_GROUP_ICON, name);
    if (!group) return nullptr;
    QSize chosen;
    auto ico = groupToIco(instance, *group, chosen);
    if (!ico) {
        WS_LOG("icon", "icon group %s is malformed or has no images", key->c_str());
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    APP_Ensure();
    QIcon icon = decodeIco(*ico);
    if (icon.isNull()) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return add(sharedKey, IconObject{false, icon, chosen, Qt::ArrowCursor});
}

}  // namespace

QIcon ICON_ToQIcon(HICON handle) {
    const IconObject* object = lookup(handle);
    return object && !object->isCursor ? object->icon : QIcon();
}

QSize ICON_Size(HICON handle) {
    const IconObject* object = lookup(handle);
    return object && !object->isCursor ? object->size : QSize();
}

QCursor ICON_ToQCursor(HCURSOR handle) {
    const IconObject* object = lookup(handle);
    return QCursor(object && object->isCursor ? object->shape : Qt::ArrowCursor);
}

}  // namespace winshim

// A NULL instance asks for one of the system's icons; any other for the module's.
extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    using namespace winshim;
    if (instance) return loadModuleIcon(instance, name);
    WORD id = ordinalOf(name);
    auto pixmap = id ? systemIcon(id) : std::nullopt;
    if (!pixmap) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::string key = "system:" + std::to_string(id);
    if (HICON shared = findShared(key)) return shared;
    QIcon icon = APP_Ensure()->style()->standardIcon(*pixmap);
    return add(key, IconObject{false, icon, QSize(kStandardIconSize, kStandardIconSize), Qt::ArrowCursor});
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    using namespace winshim;
    if (instance) {
        // The program ships no cursors; a module cursor is looked up only to answer
        // with the error Windows gives.
        if (RES_Find(instance, MAKEINTRESOURCE(12), name)) {  // RT_GROUP_CURSOR
            LOG_Once("cursor:resource", "LoadCursorA: cursor resources are not supported");
            SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        }
        return nullptr;
    }
    WORD id = ordinalOf(name);
    auto shape = id ? systemCursor(id) : std::nullopt;
    if (!shape) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::string key = "cursor:" + std::to_string(id);
    if (HCURSOR shared = findShared(key)) return shared;
    return add(key, IconObject{true, QIcon(), QSize(), *shape});
}
