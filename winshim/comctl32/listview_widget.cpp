// The list view's model, columns, items and views.
#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <algorithm>
#include <cstring>

#include "comctl32/imagelist.h"
#include "comctl32/listview_data.h"
#include "comctl32/listview_panes.h"

namespace winshim {
namespace {
QString fromAnsi(const char* text) {
    // LPSTR_TEXTCALLBACKA asks the parent for the text later; we keep none then.
    if (!text || text == LPSTR_TEXTCALLBACKA) return {};
    return QString::fromLocal8Bit(text);
}

void setupPane(QAbstractItemView* view, QStandardItemModel* model, ListViewDelegate* delegate) {
    view->setModel(model);
    view->setItemDelegate(delegate);
    // Every start of an edit goes through the panes' edit() and so through the parent.
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}
}  // namespace

ListViewWidget::ListViewWidget(HWND hwnd, DWORD style, DWORD exStyle, QWidget* parent)
    : QStackedWidget(parent), hwnd_(hwnd), exStyle_(exStyle) {
    // Children go in the order they came: the views before the model they show.
    report_ = new ReportPane(this);
    icons_ = new IconPane(this);
    model_ = new QStandardItemModel(0, 1, this);
    reportDelegate_ = new ListViewDelegate(this);
    iconDelegate_ = new ListViewDelegate(this);
    setupPane(report_, model_, reportDelegate_);
    setupPane(icons_, model_, iconDelegate_);
    // One selection for both views, so that switching views keeps it.
    QItemSelectionModel* oldSelection = icons_->selectionModel();
    icons_->setSelectionModel(report_->selectionModel());
    delete oldSelection;

    report_->setRootIsDecorated(false);
    report_->setItemsExpandable(false);
    report_->setExpandsOnDoubleClick(false);
    report_->setUniformRowHeights(true);
    report_->setAllColumnsShowFocus(true);
    QHeaderView* header = report_->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setMinimumSectionSize(0);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A column the user resizes keeps its new width for LVM_GETCOLUMNWIDTH.
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (logical >= 0 && size_t(logical) < columns_.size()) columns_[logical].width = size;
    });

    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setUniformItemSizes(true);

    addWidget(report_);
    addWidget(icons_);
    // The editor's end: committed (setModelData, first) or cancelled (closeEditor alone).
    for (ListViewDelegate* d : {reportDelegate_, iconDelegate_})
        connect(d, &QAbstractItemDelegate::closeEditor, this, [this] { finishEdit(nullptr); });
    editTimer_.setSingleShot(true);
    connect(&editTimer_, &QTimer::timeout, this, [this] {
        int row = pendingRow_;
        pendingRow_ = -1;
        if (rowAt(row) >= 0 && (itemState(row, LVIS_SELECTED) & LVIS_SELECTED)) userEdit(row);
    });
    setStyleBits(style);
}

ListViewWidget::~ListViewWidget() = default;

void ListViewWidget::setStyleBits(DWORD style) {
    if (editing_ && (style & LVS_TYPEMASK) != viewType()) cancelEdit();
    style_ = style;
    const auto selection =
        (style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection;
    // The control draws its own border: WS_BORDER is a flat line, a client edge is sunken.
    QFrame::Shape shape = QFrame::NoFrame;
    QFrame::Shadow shadow = QFrame::Plain;
    if (style & WS_BORDER) shape = QFrame::Box;
    if (exStyle_ & WS_EX_CLIENTEDGE) {
        shape = QFrame::StyledPanel;
        shadow = QFrame::Sunken;
    }
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
        view->setSelectionMode(selection);
        view->setFrameStyle(shape | shadow);
        view->setLineWidth(1);
    }
    report_->header()->setVisible(!(style & LVS_NOCOLUMNHEADER));
    report_->header()->setSectionsClickable(!(style & LVS_NOSORTHEADER));
    applyView();
}

HIMAGELIST ListViewWidget::currentList() const {
    return viewType() == LVS_ICON ? normal_ : small_;
}

QAbstractItemView* ListViewWidget::pane() const {
    return viewType() == LVS_REPORT ? static_cast<QAbstractItemView*>(report_) : icons_;
}

ListViewDelegate* ListViewWidget::delegate() const {
    return viewType() == LVS_REPORT ? reportDelegate_ : iconDelegate_;
}

void ListViewWidget::applyView() {
    QWidget* focused = QApplication::focusWidget();
    const bool hadFocus = focused && isAncestorOf(focused);
    QSize icon = IMAGELIST_Size(currentList());
    switch (viewType()) {
    case LVS_REPORT:
        report_->setIconSize(icon.isEmpty() ? QSize(0, 0) : icon);
        setCurrentWidget(report_);
        break;
    case LVS_ICON: {
        // setViewMode resets flow and wrapping: it comes first.
        icons_->setViewMode(QListView::IconMode);
        icons_->setMovement(QListView::Static);
        icons_->setWordWrap(true);
        if (icon.isEmpty()) icon = QSize(32, 32);
        icons_->setIconSize(icon);
        const int line = fontMetrics().height();
        icons_->setGridSize(QSize(std::max(75, icon.width() + 43), icon.height() + 2 * line + 14));
        setCurrentWidget(icons_);
        break;
    }
    default:  // LVS_SMALLICON fills rows, LVS_LIST fills columns
        icons_->setViewMode(QListView::ListMode);
        icons_->setMovement(QListView::Static);
        icons_->setWordWrap(false);
        icons_->setFlow(viewType() == LVS_LIST ? QListView::TopToBottom : QListView::LeftToRight);
        icons_->setWrapping(true);
        icons_->setIconSize(icon.isEmpty() ? QSize(0, 0) : icon);
        updateListGrid();
        setCurrentWidget(icons_);
        break;
    }
    setFocusProxy(pane());
    if (hadFocus) pane()->setFocus(Qt::OtherFocusReason);
    pane()->viewport()->update();
}

int ListViewWidget::autoListWidth() const {
    // As wide as the widest label with its icon, and never narrower than Windows' default.
    int widest = 0;
    const QFontMetrics metrics = fontMetrics();
    for (int row = 0; row < itemCount(); ++row)
        widest = std::max(widest, metrics.horizontalAdvance(model_->index(row, 0).data().toString()));
    QSize icon = IMAGELIST_Size(small_);
    return std::max(128, widest + (icon.isEmpty() ? 0 : icon.width() + 4) + 12);
}

void ListViewWidget::updateListGrid() {
    if (viewType() != LVS_LIST && viewType() != LVS_SMALLICON) return;
    QSize icon = IMAGELIST_Size(small_);
    int height = std::max(fontMetrics().height(), icon.height()) + 4;
    icons_->setGridSize(QSize(listWidth_ > 0 ? listWidth_ : autoListWidth(), height));
}

HIMAGELIST ListViewWidget::setImageList(WPARAM which, HIMAGELIST list) {
    HIMAGELIST* slot = which == LVSIL_NORMAL  ? &normal_
                       : which == LVSIL_SMALL ? &small_
                       : which == LVSIL_STATE ? &state_
                                              : nullptr;
    if (!slot) return nullptr;
    HIMAGELIST old = std::exchange(*slot, list);
    applyView();
    return old;
}

HIMAGELIST ListViewWidget::imageList(WPARAM which) const {
    return which == LVSIL_NORMAL ? normal_ : which == LVSIL_SMALL ? small_ : which == LVSIL_STATE ? state_ : nullptr;
}

void ListViewWidget::destroying() {
    editTimer_.stop();
    editing_ = false;
    // Without LVS_SHAREIMAGELISTS the control owns its image lists, as on Windows.
    if (!(style_ & LVS_SHAREIMAGELISTS))
        for (HIMAGELIST* list : {&normal_, &small_, &state_})
            if (*list) ImageList_Destroy(std::exchange(*list, nullptr));
}

// --- items ------------------------------------------------------------------

int ListViewWidget::itemCount() const {
    return model_->rowCount();
}

int ListViewWidget::insertItem(const LVITEMA& item) {
    if (item.iSubItem != 0 || item.iItem < 0) return -1;
    int row = std::min(item.iItem, itemCount());
    const QString label = (item.mask & LVIF_TEXT) ? fromAnsi(item.pszText) : QString();
    if (style_ & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
        const bool descending = style_ & LVS_SORTDESCENDING;
        row = 0;
        while (row < itemCount()) {
            int order = QString::compare(label, model_->index(row, 0).data().toString(), Qt::CaseInsensitive);
            if (descending ? order > 0 : order < 0) break;
            ++row;
        }
    }
    QList<QStandardItem*> cells;
    auto* first = new QStandardItem(label);
    first->setData((item.mask & LVIF_IMAGE) ? item.iImage : 0, kImageRole);
    first->setData(qlonglong((item.mask & LVIF_PARAM) ? item.lParam : 0), kParamRole);
    cells << first;
    for (int c = 1; c < modelColumns(); ++c) {
        auto* cell = new QStandardItem();
        cell->setEditable(false);
        cells << cell;
    }
    model_->insertRow(row, cells);
    if (item.mask & LVIF_STATE) setItemState(row, item.state, item.stateMask);
    updateListGrid();
    return row;
}

bool ListViewWidget::setItemText(int row, int subItem, const char* text) {
    if (rowAt(row) < 0 || subItem < 0 || subItem >= modelColumns()) return false;
    model_->setData(model_->index(row, subItem), fromAnsi(text));
    if (subItem == 0) updateListGrid();
    return true;
}

int ListViewWidget::getItemText(int row, int subItem, char* buffer, int size) const {
    if (buffer && size > 0) buffer[0] = 0;
    if (rowAt(row) < 0 || subItem < 0 || subItem >= modelColumns()) return 0;
    return LISTVIEW_CopyOut(model_->index(row, subItem).data().toString(), buffer, size);
}

bool ListViewWidget::setItem(const LVITEMA& item) {
    if (rowAt(item.iItem) < 0 || item.iSubItem < 0 || item.iSubItem >= modelColumns()) return false;
    QModelIndex first = model_->index(item.iItem, 0);
    if ((item.mask & LVIF_TEXT) && !setItemText(item.iItem, item.iSubItem, item.pszText)) return false;
    if (item.iSubItem != 0) return true;
    if (item.mask & LVIF_IMAGE) model_->setData(first, item.iImage, kImageRole);
    if (item.mask & LVIF_PARAM) model_->setData(first, qlonglong(item.lParam), kParamRole);
    if (item.mask & LVIF_STATE) setItemState(item.iItem, item.state, item.stateMask);
    return true;
}

bool ListViewWidget::getItem(LVITEMA* item) const {
    if (!item || rowAt(item->iItem) < 0 || item->iSubItem < 0 || item->iSubItem >= modelColumns()) return false;
    QModelIndex first = model_->index(item->iItem, 0);
    if (item->mask & LVIF_TEXT) getItemText(item->iItem, item->iSubItem, item->pszText, item->cchTextMax);
    if (item->mask & LVIF_IMAGE) item->iImage = first.data(kImageRole).toInt();
    if (item->mask & LVIF_PARAM) item->lParam = LPARAM(first.data(kParamRole).toLongLong());
    if (item->mask & LVIF_STATE) item->state = itemState(item->iItem, item->stateMask);
    return true;
}

bool ListViewWidget::deleteItem(int row) {
    if (rowAt(row) < 0) return false;
    if (editing_ && editRow_ == row) cancelEdit();
    model_->removeRow(row);
    updateListGrid();
    return true;
}

void ListViewWidget::deleteAllItems() {
    if (editing_) cancelEdit();
    editTimer_.stop();
    model_->removeRows(0, itemCount());
    updateListGrid();
}

// --- selection --------------------------------------------------------------

bool ListViewWidget::setItemState(int row, UINT state, UINT mask) {
    QItemSelectionModel* selection = report_->selectionModel();
    const int first = row == -1 ? 0 : rowAt(row), last = row == -1 ? itemCount() - 1 : row;
    if (first < 0 && row != -1) return false;
    for (int r = first; r <= last && r >= 0; ++r) {
        QModelIndex index = model_->index(r, 0);
        if (mask & LVIS_SELECTED) {
            QItemSelectionModel::SelectionFlags command = QItemSelectionModel::Rows;
            if (state & LVIS_SELECTED)
                command |= (style_ & LVS_SINGLESEL) ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
            else
                command |= QItemSelectionModel::Deselect;
            selection->select(index, command);
        }
        if (mask & LVIS_FOCUSED) {
            if (state & LVIS_FOCUSED)
                selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            else if (selection->currentIndex().row() == r)
                selection->clearCurrentIndex();
        }
    }
    return true;
}

UINT ListViewWidget::itemState(int row, UINT mask) const {
    if (rowAt(row) < 0) return 0;
    QItemSelectionModel* selection = report_->selectionModel();
    UINT state = 0;
    if (selection->isRowSelected(row, QModelIndex())) state |= LVIS_SELECTED;
    if (selection->currentIndex().isValid() && selection->currentIndex().row() == row) state |= LVIS_FOCUSED;
    return state & mask;
}

int ListViewWidget::nextItem(int start, UINT flags) const {
    for (int row = std::max(0, start + 1); row < itemCount(); ++row) {
        UINT wanted = flags & (LVNI_SELECTED | LVNI_FOCUSED);
        UINT state = itemState(row, LVIS_SELECTED | LVIS_FOCUSED);
        if ((wanted & LVNI_SELECTED) && !(state & LVIS_SELECTED)) continue;
        if ((wanted & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) continue;
        return row;
    }
    return -1;
}

bool ListViewWidget::ensureVisible(int row) {
    if (rowAt(row) < 0) return false;
    pane()->scrollTo(model_->index(row, 0));
    return true;
}
}  // namespace winshim
