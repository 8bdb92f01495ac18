// Where the list view keeps its per-item data in the model, and how its texts
// are handed out into a program's buffers.
#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>
#include <algorithm>
#include <cstring>

namespace winshim {
constexpr int kImageRole = Qt::UserRole + 1;  // int: index into the image list
constexpr int kParamRole = Qt::UserRole + 2;  // qlonglong: the item's lParam

// Copies as much of `text` as fits, always terminated; returns the bytes copied.
inline int LISTVIEW_CopyOut(const QString& text, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    QByteArray bytes = text.toLocal8Bit();
    int n = std::min<int>(int(bytes.size()), size - 1);
    std::memcpy(buffer, bytes.constData(), size_t(n));
    buffer[n] = 0;
    return n;
}
}  // namespace winshim
