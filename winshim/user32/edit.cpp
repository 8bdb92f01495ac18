// The EDIT class: single-line edit fields over QLineEdit. The window text always
// holds what the field shows, so WM_GETTEXT and WM_GETTEXTLENGTH (answered by
// DefWindowProcA) see every change that did not come from the program: typing,
// pasting, undo, and text set through the accessibility bridge.
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <climits>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {
// Every change is announced twice, as Windows does: EN_UPDATE before the new
// text is shown, EN_CHANGE after.
void announceChange(HWND hwnd) {
    if (Window* w = WIN_Get(hwnd)) WIN_CommandToParent(*w, EN_UPDATE);
    if (Window* w = WIN_Get(hwnd)) WIN_CommandToParent(*w, EN_CHANGE);
}

// Before EM_LIMITTEXT, a user may type this many characters.
constexpr int kDefaultLimit = 30000;

class EditWidget : public QLineEdit {
public:
    EditWidget(QWidget* parent, HWND hwnd) : QLineEdit(parent), hwnd_(hwnd) {
        connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!quiet_) onEdited(text);
        });
    }
    // Text set by the program.
    void showText(const QString& text) {
        accepted_ = text;
        quietly([&] { setText(text); });
    }

private:
    // Without ES_AUTOHSCROLL the text may not grow wider than the field: a key that
    // would make it so is refused, as Windows refuses it.
    bool fits(const QString& text) const {
        int room = contentsRect().width() - textMargins().left() - textMargins().right() - 4;
        if (hasFrame()) room -= 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        return fontMetrics().horizontalAdvance(text) <= room;
    }

    void onEdited(const QString& text) {
        Window* w = WIN_Get(hwnd_);
        if (!w) return;
        if (!(w->style & ES_AUTOHSCROLL) && !fits(text) && fits(accepted_)) {
            int cursor = std::min(cursorPosition(), int(accepted_.size()));
            quietly([&] { setText(accepted_); });
            setCursorPosition(std::max(0, cursor - 1));
            return;
        }
        accepted_ = text;
        w->text = CTL_FromQt(text);
        announceChange(hwnd_);
    }

    template <class F>
    void quietly(F change) {
        quiet_ = true;
        change();
        quiet_ = false;
    }

    HWND hwnd_;
    QString accepted_;
    bool quiet_ = false;
};

EditWidget* editOf(const Window& w) {
    return dynamic_cast<EditWidget*>(w.widget.data());
}

QWidget* makeEdit(Window& w, QWidget* parent) {
    auto* edit = new EditWidget(parent, w.handle);
    if (w.style & ES_MULTILINE) LOG_Once("Edit:multiline", "Edit: ES_MULTILINE is shown as a single-line field");
    if (w.style & ES_RIGHT)
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    else if (w.style & ES_CENTER)
        edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    edit->setFrame((w.style & WS_BORDER) || (w.exStyle & WS_EX_CLIENTEDGE));
    edit->setReadOnly(w.style & ES_READONLY);
    if (w.style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
    // ES_NUMBER refuses typed non-digits; text set by the program is not checked.
    if (w.style & ES_NUMBER) edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    edit->setMaxLength(kDefaultLimit);
    edit->showText(CTL_ToQt(w.text));
    return edit;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w) return 0;
    EditWidget* edit = editOf(*w);
    switch (msg) {
    case WM_SETTEXT: {
        if (edit) edit->showText(CTL_ToQt(CTL_Arg(lParam)));
        DefWindowProcA(hwnd, msg, wParam, lParam);
        // A single-line edit reports text set by the program as a change, too.
        announceChange(hwnd);
        return TRUE;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case EM_LIMITTEXT:
        if (edit) edit->setMaxLength(wParam == 0 || wParam > WPARAM(INT_MAX) ? INT_MAX : int(wParam));
        return 0;
    case EM_SETSEL: {
        if (!edit) return 0;
        int start = int(wParam), end = int(lParam);
        if (start == -1) {
            edit->deselect();
            return 0;
        }
        const int length = int(edit->text().size());
        if (end < 0 || end > length) end = length;
        start = std::clamp(start, 0, length);
        if (start > end) std::swap(start, end);
        edit->setSelection(start, end - start);
        return 0;
    }
    default:
        // EM_GETSEL ... EM_GETIMESTATUS
        return CTL_DefaultProc("Edit", 0x00B0, 0x00D9, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void EDIT_Register() {
    CTL_RegisterClass("Edit", 0, EditProc, makeEdit);
}
}  // namespace winshim
