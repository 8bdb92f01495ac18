// The list view ("SysListView32"). One QStandardItemModel holds the rows (column 0
// item: label, image index, lParam; the other columns: subitem texts) and is
// shown by a QTreeView for the report view or a QListView for the icon, small icon
// and list views, in a QStackedWidget. The style's view bits choose the page.
#pragma once

#include <commctrl.h>

#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <string>
#include <vector>

#include "user32/window.h"

class QAbstractItemView;
class QStandardItemModel;
class QModelIndex;

namespace winshim {

class ListViewDelegate;
class ReportPane;
class IconPane;

class ListViewWidget : public QStackedWidget {
public:
    ListViewWidget(HWND hwnd, DWORD style, DWORD exStyle, QWidget* parent);
    ~ListViewWidget() override;

    void setStyleBits(DWORD style);
    DWORD viewType() const { return style_ & LVS_TYPEMASK; }
    void destroying();

    HIMAGELIST setImageList(WPARAM which, HIMAGELIST list);
    HIMAGELIST imageList(WPARAM which) const;

    int insertColumn(int index, const LVCOLUMNA& column);
    bool setColumn(int index, const LVCOLUMNA& column);
    bool getColumn(int index, LVCOLUMNA* column) const;
    bool deleteColumn(int index);
    int columnWidth(int index) const;
    bool setColumnWidth(int index, int width);

    int itemCount() const;
    int insertItem(const LVITEMA& item);
    bool setItem(const LVITEMA& item);
    bool getItem(LVITEMA* item) const;
    bool setItemText(int row, int subItem, const char* text);
    int getItemText(int row, int subItem, char* buffer, int size) const;
    bool deleteItem(int row);
    void deleteAllItems();

    int hitTest(LVHITTESTINFO* info) const;
    bool itemRect(int row, int code, RECT* out) const;
    int nextItem(int start, UINT flags) const;
    bool setItemState(int row, UINT state, UINT mask);
    UINT itemState(int row, UINT mask) const;
    bool ensureVisible(int row);

    // Label editing. beginEdit asks the parent first (LVN_BEGINLABELEDIT); the
    // end asks it whether to keep the new text (LVN_ENDLABELEDIT).
    bool beginEdit(int row);
    void cancelEdit();
    // The EDIT control the open edit types into, as LVM_GETEDITCONTROL hands it out.
    HWND editControl() const { return editing_ ? editHwnd_ : nullptr; }
    // Makes that control for the delegate; its widget becomes Qt's editor.
    QWidget* makeEditControl(QWidget* parent);
    void finishEdit(const QString* text);

    // Called by the panes and the delegate.
    void mouseNotify(QAbstractItemView* pane, UINT code, QPoint viewportPos, Qt::KeyboardModifiers modifiers);
    void selectedItemClicked(QAbstractItemView* pane, int row, QPoint viewportPos);
    void cancelPendingEdit() { editTimer_.stop(); }
    bool userEdit(int row);
    QIcon iconOf(const QModelIndex& index) const;
    QSize iconSize() const;
    Qt::Alignment columnAlignment(int column) const;

private:
    struct Column {
        int fmt = LVCFMT_LEFT;
        int width = 0;
        std::string text;
        int subItem = 0;
    };
    HIMAGELIST currentList() const;
    QAbstractItemView* pane() const;
    ListViewDelegate* delegate() const;
    void applyView();
    void updateListGrid();
    int autoListWidth() const;
    int rowAt(int row) const { return row >= 0 && row < itemCount() ? row : -1; }
    int modelColumns() const;
    QRect cellRect(int row, int column) const;  // client coordinates
    QRect iconPart(const QRect& cell) const;
    LRESULT notify(UINT code, NMHDR* header);
    void notifyEndEdit(int row, const QString* text);

    HWND hwnd_;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    QStandardItemModel* model_;
    ReportPane* report_;
    IconPane* icons_;
    // One delegate per view: a view's editor must come from its own delegate.
    ListViewDelegate* reportDelegate_;
    ListViewDelegate* iconDelegate_;
    std::vector<Column> columns_;
    HIMAGELIST normal_ = nullptr, small_ = nullptr, state_ = nullptr;
    int listWidth_ = 0;  // 0: follows the widest label
    bool editing_ = false;
    int editRow_ = -1;
    HWND editHwnd_ = nullptr;
    int pendingRow_ = -1;
    QTimer editTimer_;
};

struct ListViewState : ControlState {
    QPointer<ListViewWidget> widget;
};

}  // namespace winshim
