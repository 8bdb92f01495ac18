// The LISTBOX class: single-selection list boxes over QListWidget. The strings and
// the selection live in a StringList; the widget only shows them. Mouse and keys
// are handled here rather than by Qt, so that the selection changes and the
// notifications come exactly as Windows makes them: LBN_SELCHANGE when the mouse
// button goes up after a click (also on the row already selected) and for each
// navigation key, LBN_DBLCLK on a double click, never for a change the program made.
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <utility>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

struct ListBoxState : ControlState {
    StringList list;
};

class ListBoxWidget : public QListWidget {
public:
    ListBoxWidget(QWidget* parent, HWND hwnd) : QListWidget(parent), hwnd_(hwnd) {
        // A selection made by neither the program nor our mouse and key handling
        // comes from an assistive tool acting for the user.
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (!quiet_) onOutsideSelection();
        });
    }

    // Changes made by the program: rows shown as the StringList holds them,
    // the selection too, scrolled into view.
    void insertRow(int row, const QString& text, int selection) {
        quietly([&] { insertItem(row, text); });
        showSelection(selection);
    }
    void removeRow(int row, int selection) {
        quietly([&] { delete takeItem(row); });
        showSelection(selection);
    }
    void removeAll() {
        quietly([&] { clear(); });
    }
    void showSelection(int selection) {
        quietly([&] {
            if (selection < 0) {
                clearSelection();
                return;
            }
            setCurrentRow(selection, QItemSelectionModel::ClearAndSelect);
            scrollToItem(item(selection));
        });
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        setFocus(Qt::MouseFocusReason);
        captured_ = true;
        selectAt(event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (captured_ && (event->buttons() & Qt::LeftButton)) selectAt(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !captured_) return;
        captured_ = false;
        if (count() > 0) notify(LBN_SELCHANGE);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        captured_ = true;
        selectAt(event->position().toPoint());
        notify(LBN_DBLCLK);
    }
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override {
        QListWidget::focusInEvent(event);
        notifyFocus(LBN_SETFOCUS);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QListWidget::focusOutEvent(event);
        notifyFocus(LBN_KILLFOCUS);
    }

private:
    ListBoxState* state() const {
        Window* w = WIN_Get(hwnd_);
        return w ? w->controlAs<ListBoxState>() : nullptr;
    }
    void choose(int row) {
        ListBoxState* s = state();
        if (!s || !s->list.select(row)) return;
        showSelection(row);
    }
    // A press below the last row takes the last row.
    void selectAt(QPoint pos) {
        if (count() == 0) return;
        int row = indexAt(pos).row();
        if (row < 0) row = pos.y() < 0 ? 0 : count() - 1;
        choose(row);
    }
    void notify(WORD code) {
        Window* w = WIN_Get(hwnd_);
        if (w && (w->style & LBS_NOTIFY)) WIN_CommandToParent(*w, code);
    }
    // LBS_NOTIFY governs the selection notices only: the focus is always told.
    void notifyFocus(WORD code) {
        if (Window* w = WIN_Get(hwnd_)) WIN_CommandToParent(*w, code);
    }
    void onOutsideSelection() {
        ListBoxState* s = state();
        const QModelIndexList rows = selectionModel()->selectedRows();
        if (!s || !s->list.select(rows.isEmpty() ? -1 : rows.first().row())) return;
        notify(LBN_SELCHANGE);
    }
    template <class F>
    void quietly(F change) {
        const bool was = std::exchange(quiet_, true);
        change();
        quiet_ = was;
    }

    HWND hwnd_;
    bool captured_ = false;
    bool quiet_ = false;
};

void ListBoxWidget::keyPressEvent(QKeyEvent* event) {
    ListBoxState* s = state();
    if (!s || count() == 0) {
        event->ignore();
        return;
    }
    const int last = count() - 1, current = s->list.selection();
    const int rowHeight = std::max(1, sizeHintForRow(0));
    const int page = std::max(1, viewport()->height() / rowHeight - 1);
    int row;
    switch (event->key()) {
    case Qt::Key_Up:
        row = current < 0 ? 0 : std::max(0, current - 1);
        break;
    case Qt::Key_Down:
        row = current < 0 ? 0 : std::min(last, current + 1);
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = last;
        break;
    case Qt::Key_PageUp:
        row = std::max(0, current - page);
        break;
    case Qt::Key_PageDown:
        row = std::min(last, std::max(0, current) + page);
        break;
    default:
        event->ignore();  // Enter, Escape and Tab go on to the dialog
        return;
    }
    choose(row);
    notify(LBN_SELCHANGE);
}

ListBoxWidget* listOf(const Window& w) {
    return dynamic_cast<ListBoxWidget*>(w.widget.data());
}

QWidget* makeListBox(Window& w, QWidget* parent) {
    auto* list = new ListBoxWidget(parent, w.handle);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy((w.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (!(w.style & WS_BORDER) && !(w.exStyle & WS_EX_CLIENTEDGE)) list->setFrameStyle(QFrame::NoFrame);
    if (w.style & LBS_MULTIPLESEL) LOG_Once("ListBox:multi", "ListBox: LBS_MULTIPLESEL is run as a single selection");
    w.control = std::make_unique<ListBoxState>();
    return list;
}

// Without LBS_NOINTEGRALHEIGHT Windows shortens the box to whole rows.
void fitWholeRows(HWND hwnd, const Window& w, const ListBoxWidget& list) {
    if (w.style & LBS_NOINTEGRALHEIGHT) return;
    const int row = std::max(1, list.fontMetrics().height());
    const int frame = list.frameWidth();
    const int height = w.rect.bottom - w.rect.top;
    const int fitted = 2 * frame + std::max(1, (height - 2 * frame) / row) * row;
    if (fitted != height) MoveWindow(hwnd, w.rect.left, w.rect.top, w.rect.right - w.rect.left, fitted, TRUE);
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    ListBoxState* s = w ? w->controlAs<ListBoxState>() : nullptr;
    ListBoxWidget* list = w ? listOf(*w) : nullptr;
    if (!s || !list) return w ? DefWindowProcA(hwnd, msg, wParam, lParam) : 0;
    const int index = int(wParam);
    switch (msg) {
    case WM_CREATE:
        fitWholeRows(hwnd, *w, *list);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        const std::string text = CTL_Arg(lParam);
        const int at = msg == LB_ADDSTRING ? s->list.add(text, w->style & LBS_SORT) : s->list.insert(index, text);
        if (at < 0) return LB_ERR;
        list->insertRow(at, CTL_ToQt(text), s->list.selection());
        return at;
    }
    case LB_DELETESTRING: {
        const int left = s->list.remove(index);
        if (left < 0) return LB_ERR;
        list->removeRow(index, s->list.selection());
        return left;
    }
    case LB_RESETCONTENT:
        s->list.clear();
        list->removeAll();
        return TRUE;
    case LB_SETCURSEL:
        if (!s->list.select(index)) return LB_ERR;
        list->showSelection(index);
        return index < 0 ? LB_ERR : index;
    case LB_GETCURSEL:
        return s->list.selection() < 0 ? LB_ERR : s->list.selection();
    case LB_GETTEXT:
        return s->list.at(index) ? CTL_CopyItem(*s->list.at(index), lParam) : LB_ERR;
    case LB_GETTEXTLEN:
        return s->list.at(index) ? LRESULT(s->list.at(index)->size()) : LB_ERR;
    case LB_GETCOUNT:
        return s->list.count();
    case LB_GETITEMRECT: {
        // Client coordinates of the row, as far as it is scrolled into view or not.
        auto* out = reinterpret_cast<RECT*>(lParam);
        if (!out || !s->list.at(index)) return LB_ERR;
        const QRect r = list->visualItemRect(list->item(index)).translated(list->viewport()->pos());
        *out = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        return TRUE;
    }
    default:
        // LB_ADDSTRING ... LB_MSGMAX
        return CTL_DefaultProc("ListBox", LB_ADDSTRING, 0x01B3, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void LISTBOX_Register() {
    CTL_RegisterClass("ListBox", 0, ListBoxProc, makeListBox);
}
}  // namespace winshim
