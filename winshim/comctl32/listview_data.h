// Where the list view keeps its per-item data in the model.
#pragma once

#include <Qt>

namespace winshim {
constexpr int kImageRole = Qt::UserRole + 1;  // int: index into the image list
constexpr int kParamRole = Qt::UserRole + 2;  // qlonglong: the item's lParam
}  // namespace winshim
