// The two Qt views of the list view and their item delegate. The panes turn Qt's
// mouse input into the notifications Windows sends (NM_CLICK, NM_DBLCLK, ...) and
// route every start of a label edit through the list view, which asks the parent.
#pragma once

#include <QListView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <utility>

#include "comctl32/listview.h"

namespace winshim {

template <class Base>
class ListViewPane : public Base {
public:
    explicit ListViewPane(ListViewWidget* owner) : Base(owner), owner_(owner) {}
    // Opens the editor on a label, past the checks of our own edit().
    bool openEditor(const QModelIndex& index) { return Base::edit(index, QAbstractItemView::AllEditTriggers, nullptr); }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        hadFocus_ = this->hasFocus();
        if (event->button() == Qt::LeftButton) leftDown_ = true;
        if (event->button() == Qt::RightButton) rightDown_ = true;
        Base::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        Base::mouseReleaseEvent(event);
        // Windows tells of a click once the button is up again.
        const QPoint at = event->position().toPoint();
        if (event->button() == Qt::LeftButton && std::exchange(leftDown_, false))
            owner_->mouseNotify(this, NM_CLICK, at, event->modifiers());
        else if (event->button() == Qt::RightButton && std::exchange(rightDown_, false))
            owner_->mouseNotify(this, NM_RCLICK, at, event->modifiers());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        owner_->cancelPendingEdit();
        Base::mouseDoubleClickEvent(event);
        // The release that ends a double click is no click of its own.
        leftDown_ = rightDown_ = false;
        owner_->mouseNotify(this, event->button() == Qt::RightButton ? NM_RDBLCLK : NM_DBLCLK,
                            event->position().toPoint(), event->modifiers());
    }
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override {
        switch (trigger) {
        case QAbstractItemView::SelectedClicked:
            // A click on the label of an item that was already selected, in a list
            // that had the focus: the edit starts unless a double click follows.
            if (hadFocus_ && event && event->type() == QEvent::MouseButtonRelease)
                owner_->selectedItemClicked(this, index.row(), static_cast<QMouseEvent*>(event)->position().toPoint());
            return false;
        case QAbstractItemView::EditKeyPressed:
            // F2 is the parent's to act on, as on Windows: the list view starts
            // no edit of its own for a key.
            return false;
        default:
            return Base::edit(index, trigger, event);
        }
    }

private:
    ListViewWidget* owner_;
    bool hadFocus_ = false;
    bool leftDown_ = false;
    bool rightDown_ = false;
};

class ReportPane : public ListViewPane<QTreeView> {
public:
    using ListViewPane::ListViewPane;
};

class IconPane : public ListViewPane<QListView> {
public:
    using ListViewPane::ListViewPane;
};

class ListViewDelegate : public QStyledItemDelegate {
public:
    explicit ListViewDelegate(ListViewWidget* owner) : QStyledItemDelegate(owner), owner_(owner) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    // The editor that is open, if any.
    QWidget* editor() const { return editor_; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    ListViewWidget* owner_;
    mutable QPointer<QWidget> editor_;
};

}  // namespace winshim
