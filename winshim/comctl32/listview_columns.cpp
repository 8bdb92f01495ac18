// The list view's columns: the header of the report view, their formats and
// widths, and the one width that the list view shares between all columns.
#include <QHeaderView>
#include <QStandardItemModel>
#include <algorithm>
#include <cstring>

#include "comctl32/listview_data.h"
#include "comctl32/listview_panes.h"

namespace winshim {
namespace {
Qt::Alignment alignmentOf(int fmt) {
    switch (fmt & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
        return Qt::AlignRight | Qt::AlignVCenter;
    case LVCFMT_CENTER:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
}  // namespace

int ListViewWidget::modelColumns() const {
    return std::max<int>(1, int(columns_.size()));
}

int ListViewWidget::insertColumn(int index, const LVCOLUMNA& column) {
    if (index < 0) return -1;
    index = std::min<int>(index, int(columns_.size()));
    // The model always has a column 0 for the labels; the first real column takes it.
    if (!columns_.empty()) model_->insertColumn(index);
    columns_.insert(columns_.begin() + index, Column{});
    if (!setColumn(index, column)) return -1;
    if (!(column.mask & LVCF_WIDTH)) report_->header()->resizeSection(index, 0);
    return index;
}

bool ListViewWidget::setColumn(int index, const LVCOLUMNA& column) {
    if (index < 0 || size_t(index) >= columns_.size()) return false;
    Column& c = columns_[index];
    if (column.mask & LVCF_FMT) c.fmt = column.fmt;
    if (column.mask & LVCF_TEXT) c.text = column.pszText && column.pszText != LPSTR_TEXTCALLBACKA ? column.pszText : "";
    if (column.mask & LVCF_SUBITEM) c.subItem = column.iSubItem;
    model_->setHeaderData(index, Qt::Horizontal, QString::fromLocal8Bit(c.text.c_str()));
    model_->setHeaderData(index, Qt::Horizontal, int(columnAlignment(index)), Qt::TextAlignmentRole);
    if (column.mask & LVCF_WIDTH) {
        c.width = std::max(0, column.cx);
        report_->header()->resizeSection(index, c.width);
    }
    report_->viewport()->update();
    return true;
}

bool ListViewWidget::getColumn(int index, LVCOLUMNA* column) const {
    if (!column || index < 0 || size_t(index) >= columns_.size()) return false;
    const Column& c = columns_[index];
    if (column->mask & LVCF_FMT) column->fmt = c.fmt;
    if (column->mask & LVCF_WIDTH) column->cx = c.width;
    if (column->mask & LVCF_TEXT)
        LISTVIEW_CopyOut(QString::fromLocal8Bit(c.text.c_str()), column->pszText, column->cchTextMax);
    if (column->mask & LVCF_SUBITEM) column->iSubItem = c.subItem;
    return true;
}

bool ListViewWidget::deleteColumn(int index) {
    if (index < 0 || size_t(index) >= columns_.size()) return false;
    columns_.erase(columns_.begin() + index);
    if (columns_.empty())
        model_->setHeaderData(0, Qt::Horizontal, QString());
    else
        model_->removeColumn(index);
    return true;
}

Qt::Alignment ListViewWidget::columnAlignment(int column) const {
    // Windows keeps the leftmost column left-aligned whatever its format says.
    if (column <= 0 || size_t(column) >= columns_.size()) return Qt::AlignLeft | Qt::AlignVCenter;
    return alignmentOf(columns_[column].fmt);
}

int ListViewWidget::columnWidth(int index) const {
    switch (viewType()) {
    case LVS_REPORT:
        return index >= 0 && size_t(index) < columns_.size() ? columns_[index].width : 0;
    case LVS_LIST:
        // List view has one width shared by all its columns.
        return listWidth_ > 0 ? listWidth_ : autoListWidth();
    default:
        return 0;
    }
}

bool ListViewWidget::setColumnWidth(int index, int width) {
    switch (viewType()) {
    case LVS_REPORT: {
        if (index < 0 || size_t(index) >= columns_.size()) return false;
        if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
            int content = static_cast<QAbstractItemView*>(report_)->sizeHintForColumn(index);
            if (width == LVSCW_AUTOSIZE_USEHEADER) {
                content = std::max(content, report_->header()->fontMetrics().horizontalAdvance(
                                                QString::fromLocal8Bit(columns_[index].text.c_str())) +
                                                12);
                // The last column takes what is left of the client width.
                if (size_t(index) == columns_.size() - 1) {
                    int used = 0;
                    for (int c = 0; c < index; ++c) used += columns_[c].width;
                    content = std::max(content, report_->viewport()->width() - used);
                }
            }
            width = std::max(0, content);
        }
        columns_[index].width = std::max(0, width);
        report_->header()->resizeSection(index, columns_[index].width);
        return true;
    }
    case LVS_LIST:
        if (index != 0) return false;
        listWidth_ = width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER ? 0 : std::max(1, width);
        if (listWidth_ == 0) listWidth_ = autoListWidth();
        updateListGrid();
        return true;
    default:
        return false;
    }
}

}  // namespace winshim
