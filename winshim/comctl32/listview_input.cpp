// The list view's geometry questions (hit test, item rectangles), its
// notifications to the parent, label editing and the item delegate.
#include <QApplication>
#include <QLineEdit>
#include <QStandardItemModel>
#include <algorithm>
#include <cstring>
#include <utility>

#include "comctl32/imagelist.h"
#include "comctl32/listview_data.h"
#include "comctl32/listview_panes.h"

namespace winshim {

// --- geometry ---------------------------------------------------------------

QRect ListViewWidget::cellRect(int row, int column) const {
    QAbstractItemView* view = pane();
    QRect r = view->visualRect(model_->index(row, column));
    if (!r.isValid()) return {};
    return r.translated(view->viewport()->mapTo(this, QPoint(0, 0)));
}

QRect ListViewWidget::iconPart(const QRect& cell) const {
    QSize icon = IMAGELIST_Size(currentList());
    if (icon.isEmpty()) return QRect(cell.left(), cell.top(), 0, cell.height());
    if (viewType() == LVS_ICON) {
        // Icon above its label, centred.
        return QRect(cell.left() + (cell.width() - icon.width()) / 2, cell.top() + 2, icon.width(), icon.height());
    }
    return QRect(cell.left(), cell.top(), icon.width() + 4, cell.height());
}

int ListViewWidget::hitTest(LVHITTESTINFO* info) const {
    if (!info) return -1;
    const QPoint p(info->pt.x, info->pt.y);
    info->flags = 0;
    info->iItem = -1;
    info->iSubItem = 0;
    // Outside the client area: which side of it.
    if (p.x() < 0) info->flags |= LVHT_TOLEFT;
    if (p.x() >= width()) info->flags |= LVHT_TORIGHT;
    if (p.y() < 0) info->flags |= LVHT_ABOVE;
    if (p.y() >= height()) info->flags |= LVHT_BELOW;
    if (info->flags) return -1;
    QAbstractItemView* view = pane();
    QPoint at = view->viewport()->mapFrom(this, p);
    QModelIndex index = view->viewport()->rect().contains(at) ? view->indexAt(at) : QModelIndex();
    // In the report view a row is hit on its first column only: its subitems
    // are no part of the item (there is no full-row selection here).
    if (!index.isValid() || index.column() != 0) {
        info->flags = LVHT_NOWHERE;
        return -1;
    }
    info->iItem = index.row();
    info->flags = iconPart(cellRect(index.row(), 0)).contains(p) ? LVHT_ONITEMICON : LVHT_ONITEMLABEL;
    return index.row();
}

bool ListViewWidget::itemRect(int row, int code, RECT* out) const {
    if (!out || rowAt(row) < 0) return false;
    QRect cell = cellRect(row, 0);
    if (cell.isNull()) return false;
    QRect icon = iconPart(cell);
    QRect label = cell;
    if (viewType() == LVS_ICON)
        label.setTop(icon.bottom() + 1);
    else
        label.setLeft(icon.right() + 1);
    QRect r;
    switch (code) {
    case LVIR_BOUNDS:
        r = cell;
        if (viewType() == LVS_REPORT)
            for (int c = 1; c < modelColumns(); ++c) r = r.united(cellRect(row, c));
        break;
    case LVIR_ICON:
        r = icon;
        break;
    case LVIR_LABEL:
        r = label;
        break;
    case LVIR_SELECTBOUNDS:
        r = icon.united(label);
        break;
    default:
        return false;
    }
    *out = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return true;
}

// --- notifications ----------------------------------------------------------

LRESULT ListViewWidget::notify(UINT code, NMHDR* header) {
    Window* w = WIN_Get(hwnd_);
    return w ? WIN_NotifyParent(*w, code, header) : 0;
}

void ListViewWidget::mouseNotify(QAbstractItemView* view, UINT code, QPoint viewportPos,
                                 Qt::KeyboardModifiers modifiers) {
    const QPoint client = view->viewport()->mapTo(this, viewportPos);
    // The notice names the row and the subitem under the mouse.
    NMITEMACTIVATE nm{};
    const QModelIndex index = view->indexAt(viewportPos);
    nm.iItem = index.isValid() ? index.row() : -1;
    nm.iSubItem = index.isValid() ? index.column() : 0;
    nm.ptAction = POINT{client.x(), client.y()};
    if (modifiers & Qt::AltModifier) nm.uKeyFlags |= LVKF_ALT;
    if (modifiers & Qt::ControlModifier) nm.uKeyFlags |= LVKF_CONTROL;
    if (modifiers & Qt::ShiftModifier) nm.uKeyFlags |= LVKF_SHIFT;
    notify(code, &nm.hdr);
}

// --- label editing ----------------------------------------------------------

void ListViewWidget::selectedItemClicked(QAbstractItemView* view, int row, QPoint viewportPos) {
    if (!(style_ & LVS_EDITLABELS) || rowAt(row) < 0) return;
    const QPoint client = view->viewport()->mapTo(this, viewportPos);
    LVHITTESTINFO hit{};
    hit.pt = POINT{client.x(), client.y()};
    if (hitTest(&hit) != row || hit.flags != LVHT_ONITEMLABEL) return;
    // Windows waits out the double-click time: a double click is no edit.
    pendingRow_ = row;
    editTimer_.start(QApplication::doubleClickInterval());
}

bool ListViewWidget::userEdit(int row) {
    return (style_ & LVS_EDITLABELS) && beginEdit(row);
}

bool ListViewWidget::beginEdit(int row) {
    if (rowAt(row) < 0) return false;
    editTimer_.stop();
    if (editing_) {
        // A new edit ends the one in progress, keeping what was typed.
        if (QWidget* editor = delegate()->editor()) {
            emit delegate()->commitData(editor);
            emit delegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
        if (editing_ || rowAt(row) < 0) return false;
    }
    QByteArray text = model_->index(row, 0).data().toString().toLocal8Bit();
    NMLVDISPINFOA info{};
    info.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    info.item.iItem = row;
    info.item.pszText = text.data();
    info.item.cchTextMax = int(text.size()) + 1;
    info.item.lParam = LPARAM(model_->index(row, 0).data(kParamRole).toLongLong());
    info.item.state = itemState(row, LVIS_SELECTED | LVIS_FOCUSED);
    HWND self = hwnd_;
    // A nonzero answer refuses the edit.
    if (notify(LVN_BEGINLABELEDITA, &info.hdr) || !WIN_Get(self) || rowAt(row) < 0) return false;
    QModelIndex index = model_->index(row, 0);
    report_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    editing_ = true;
    editRow_ = row;
    pane()->scrollTo(index);
    bool opened = viewType() == LVS_REPORT ? report_->openEditor(index) : icons_->openEditor(index);
    if (!opened) {
        editing_ = false;
        if (IsWindow(editHwnd_)) DestroyWindow(std::exchange(editHwnd_, nullptr));
    }
    return opened;
}

void ListViewWidget::cancelEdit() {
    editTimer_.stop();
    if (!editing_) return;
    if (QWidget* editor = delegate()->editor())
        emit delegate()->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    finishEdit(nullptr);
}

QWidget* ListViewWidget::makeEditControl(QWidget* parent) {
    editHwnd_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 0, 0, hwnd_,
                                nullptr, nullptr, nullptr);
    Window* edit = WIN_Get(editHwnd_);
    QWidget* widget = edit ? edit->widget.data() : nullptr;
    // Qt places, shows and finally deletes the editor; the window goes with the edit.
    if (widget) widget->setParent(parent);
    return widget;
}

void ListViewWidget::finishEdit(const QString* text) {
    if (!editing_) return;
    editing_ = false;
    const HWND edit = std::exchange(editHwnd_, nullptr);
    notifyEndEdit(editRow_, text);
    if (IsWindow(edit)) DestroyWindow(edit);
}

void ListViewWidget::notifyEndEdit(int row, const QString* text) {
    QByteArray bytes = text ? text->toLocal8Bit() : QByteArray();
    NMLVDISPINFOA info{};
    info.item.mask = LVIF_TEXT | LVIF_PARAM;
    info.item.iItem = row;
    // NULL text: the edit was cancelled.
    info.item.pszText = text ? bytes.data() : nullptr;
    info.item.cchTextMax = text ? int(bytes.size()) + 1 : 0;
    if (rowAt(row) >= 0) info.item.lParam = LPARAM(model_->index(row, 0).data(kParamRole).toLongLong());
    HWND self = hwnd_;
    // The new text is kept only when the parent answers TRUE.
    LRESULT keep = notify(LVN_ENDLABELEDITA, &info.hdr);
    if (text && keep && WIN_Get(self) && rowAt(row) >= 0) setItemText(row, 0, bytes.constData());
}

// --- delegate ---------------------------------------------------------------

QIcon ListViewWidget::iconOf(const QModelIndex& index) const {
    return IMAGELIST_Icon(currentList(), index.siblingAtColumn(0).data(kImageRole).toInt());
}

QSize ListViewWidget::iconSize() const {
    return IMAGELIST_Size(currentList());
}

void ListViewDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->features &= ~QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon();
    if (index.column() == 0) {
        // The row's image (image 0 unless the item named another) of the list that
        // the view uses; its place is kept even when the list lacks that image.
        QSize size = owner_->iconSize();
        if (!size.isEmpty()) {
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->icon = owner_->iconOf(index);
            option->decorationSize = size;
        }
    }
    if (owner_->viewType() == LVS_REPORT) option->displayAlignment = owner_->columnAlignment(index.column());
}

QWidget* ListViewDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
    // An EDIT control of the list, as on Windows, so that the parent may read
    // and set what is typed through LVM_GETEDITCONTROL.
    editor_ = owner_->makeEditControl(parent);
    return editor_;
}

void ListViewDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(index.data().toString());
        line->selectAll();
    }
}

void ListViewDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const {
    // The model changes only if the parent accepts the text.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        QString text = line->text();
        owner_->finishEdit(&text);
    }
}
}  // namespace winshim
