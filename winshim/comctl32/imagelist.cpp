#include "comctl32/imagelist.h"

#include <QGuiApplication>
#include <QPixmap>
#include <vector>

#include "core/handles.h"
#include "user32/icon.h"

namespace winshim {
namespace {
struct ImageList {
    QSize size;
    UINT flags = 0;
    std::vector<QIcon> images;
};

HandleTable<HIMAGELIST, ImageList>& table() {
    static HandleTable<HIMAGELIST, ImageList> lists(0x1A000001);
    return lists;
}

ImageList* lookup(HIMAGELIST handle) {
    return table().find(handle);
}
}  // namespace

QIcon IMAGELIST_Icon(HIMAGELIST list, int index) {
    ImageList* il = lookup(list);
    if (!il || index < 0 || size_t(index) >= il->images.size()) return {};
    return il->images[index];
}

QSize IMAGELIST_Size(HIMAGELIST list) {
    ImageList* il = lookup(list);
    return il ? il->size : QSize();
}
}  // namespace winshim

using namespace winshim;

extern "C" HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
    if (cx <= 0 || cy <= 0 || initial < 0 || grow < 0) return nullptr;
    ImageList il;
    il.size = QSize(cx, cy);
    il.flags = flags;
    il.images.reserve(size_t(initial));
    return table().add(std::move(il));
}

extern "C" BOOL WINAPI ImageList_Destroy(HIMAGELIST list) {
    return table().remove(list) ? TRUE : FALSE;
}

extern "C" int WINAPI ImageList_GetImageCount(HIMAGELIST list) {
    ImageList* il = lookup(list);
    return il ? int(il->images.size()) : 0;
}

extern "C" int WINAPI ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
    ImageList* il = lookup(list);
    if (!il || index < -1 || index >= int(il->images.size())) return -1;
    // The list keeps its own copy of the picture at its own size, as Windows does:
    // the icon may be destroyed afterwards, and an icon of another size is stretched.
    // Where the desktop scales the window, the copy is also kept in the screen's
    // pixels, from the icon's larger image when it has one, so that it is drawn sharp.
    QIcon source = ICON_ToQIcon(icon);
    if (source.isNull()) return -1;
    QIcon picture;
    std::vector<qreal> ratios{1.0};
    if (qApp && qApp->devicePixelRatio() != 1.0) ratios.push_back(qApp->devicePixelRatio());
    for (qreal ratio : ratios) {
        const QSize pixels = (QSizeF(il->size) * ratio).toSize();
        QPixmap pixmap = source.pixmap(il->size, ratio);
        if (pixmap.size() != pixels) pixmap = pixmap.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
        picture.addPixmap(pixmap);
    }
    if (index == -1) {
        il->images.push_back(picture);
        return int(il->images.size()) - 1;
    }
    il->images[index] = picture;
    return index;
}

extern "C" BOOL WINAPI ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
    ImageList* il = lookup(list);
    if (!il || !cx || !cy) return FALSE;
    *cx = il->size.width();
    *cy = il->size.height();
    return TRUE;
}
