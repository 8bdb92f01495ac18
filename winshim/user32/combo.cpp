// The COMBOBOX class over QComboBox: CBS_DROPDOWNLIST (pick only) and CBS_DROPDOWN
// (an edit field above the list). The strings and the selection live in a
// StringList; Qt's own ideas (selecting the first item added, moving the current
// item when it is removed) are overruled after every change. The height a template
// gives includes the dropped-down list: the window takes the field's natural
// height and the rest becomes the list's.
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListView>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

struct ComboState : ControlState {
    StringList list;
};

// The two low bits tell the kind: CBS_SIMPLE, CBS_DROPDOWN or CBS_DROPDOWNLIST.
DWORD kindOf(const Window& w) {
    return w.style & CBS_DROPDOWNLIST;
}
bool isDropDownList(const Window& w) {
    return kindOf(w) == CBS_DROPDOWNLIST;
}

class ComboWidget : public QComboBox {
public:
    ComboWidget(QWidget* parent, HWND hwnd) : QComboBox(parent), hwnd_(hwnd) {}

    void showPopup() override {
        notify(CBN_DROPDOWN);
        if (WIN_Get(hwnd_)) QComboBox::showPopup();
    }
    void hidePopup() override {
        const bool wasShown = view()->isVisible();
        QComboBox::hidePopup();
        if (wasShown) notify(CBN_CLOSEUP);
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        QComboBox::focusInEvent(event);
        notify(CBN_SETFOCUS);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QComboBox::focusOutEvent(event);
        // The drop-down list taking the keys is no loss of focus. Another
        // control taking it ends any choice in progress unmade, then the focus.
        if (event->reason() == Qt::PopupFocusReason) return;
        notify(CBN_SELENDCANCEL);
        notify(CBN_KILLFOCUS);
    }

private:
    void notify(WORD code) {
        if (Window* w = WIN_Get(hwnd_)) WIN_CommandToParent(*w, code);
    }
    HWND hwnd_;
};

ComboWidget* comboOf(const Window& w) {
    return dynamic_cast<ComboWidget*>(w.widget.data());
}

// Makes the widget and the window text show the list's selection.
void showSelection(Window& w, ComboState& s, QComboBox& combo) {
    const int selection = s.list.selection();
    if (combo.currentIndex() != selection) {
        QSignalBlocker blocker(&combo);
        combo.setCurrentIndex(selection);
    }
    if (selection >= 0)
        w.text = *s.list.at(selection);
    else
        w.text = combo.isEditable() ? CTL_FromQt(combo.currentText()) : std::string();
}

// The user picked an item (in the list, with the arrow keys or the wheel).
void onActivated(HWND hwnd, int index) {
    Window* w = WIN_Get(hwnd);
    ComboState* s = w ? w->controlAs<ComboState>() : nullptr;
    if (!s || !s->list.select(index)) return;
    if (ComboWidget* combo = comboOf(*w)) showSelection(*w, *s, *combo);
    WIN_CommandToParent(*w, CBN_SELCHANGE);
}

QWidget* makeCombo(Window& w, QWidget* parent) {
    auto* combo = new ComboWidget(parent, w.handle);
    if (!isDropDownList(w)) {
        if (kindOf(w) == CBS_SIMPLE) LOG_Once("ComboBox:simple", "ComboBox: CBS_SIMPLE is shown as CBS_DROPDOWN");
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setText(CTL_ToQt(w.text));
        const HWND hwnd = w.handle;
        QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo, [hwnd](const QString& text) {
            if (Window* win = WIN_Get(hwnd)) win->text = CTL_FromQt(text);
        });
    } else {
        w.text.clear();  // a pick-only box shows its selection, and there is none yet
    }
    QObject::connect(combo, &QComboBox::activated, combo, [hwnd = w.handle](int index) { onActivated(hwnd, index); });
    w.control = std::make_unique<ComboState>();
    return combo;
}

void fitField(HWND hwnd, const Window& w, QComboBox& combo) {
    const int templateHeight = w.rect.bottom - w.rect.top;
    const int field = combo.sizeHint().height();
    const int row = std::max(1, combo.fontMetrics().height() + 2);
    combo.setMaxVisibleItems(std::max(1, (templateHeight - field) / row));
    if (field != templateHeight) MoveWindow(hwnd, w.rect.left, w.rect.top, w.rect.right - w.rect.left, field, TRUE);
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    ComboState* s = w ? w->controlAs<ComboState>() : nullptr;
    ComboWidget* combo = w ? comboOf(*w) : nullptr;
    if (!s || !combo) return w ? DefWindowProcA(hwnd, msg, wParam, lParam) : 0;
    const int index = int(wParam);
    switch (msg) {
    case WM_CREATE:
        fitField(hwnd, *w, *combo);
        return 0;
    case WM_SETTEXT: {
        const std::string text = CTL_Arg(lParam);
        if (isDropDownList(*w)) return CB_ERR;  // a pick-only box shows only its items
        combo->lineEdit()->setText(CTL_ToQt(text));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        const std::string text = CTL_Arg(lParam);
        const int at = msg == CB_ADDSTRING ? s->list.add(text, w->style & CBS_SORT) : s->list.insert(index, text);
        if (at < 0) return CB_ERR;
        {
            QSignalBlocker blocker(combo);
            combo->insertItem(at, CTL_ToQt(text));
        }
        showSelection(*w, *s, *combo);
        return at;
    }
    case CB_DELETESTRING: {
        const int left = s->list.remove(index);
        if (left < 0) return CB_ERR;
        {
            QSignalBlocker blocker(combo);
            combo->removeItem(index);
        }
        showSelection(*w, *s, *combo);
        return left;
    }
    case CB_RESETCONTENT: {
        s->list.clear();
        QSignalBlocker blocker(combo);
        combo->clear();
        showSelection(*w, *s, *combo);
        return CB_OKAY;
    }
    case CB_SETCURSEL:
        // An index that is no item clears the selection, as -1 does.
        if (!s->list.select(index)) s->list.select(-1);
        showSelection(*w, *s, *combo);
        return s->list.selection() < 0 ? CB_ERR : s->list.selection();
    case CB_GETCURSEL:
        return s->list.selection() < 0 ? CB_ERR : s->list.selection();
    case CB_GETLBTEXT:
        return s->list.at(index) ? CTL_CopyItem(*s->list.at(index), lParam) : CB_ERR;
    case CB_GETLBTEXTLEN:
        return s->list.at(index) ? LRESULT(s->list.at(index)->size()) : CB_ERR;
    case CB_GETCOUNT:
        return s->list.count();
    case CB_SHOWDROPDOWN:
        if (wParam)
            combo->showPopup();
        else
            combo->hidePopup();
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return combo->view()->isVisible();
    default:
        // CB_GETEDITSEL ... CB_MSGMAX
        return CTL_DefaultProc("ComboBox", 0x0140, 0x0165, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void COMBO_Register() {
    CTL_RegisterClass("ComboBox", 0, ComboProc, makeCombo);
}
}  // namespace winshim
