// The BUTTON class: push buttons over QPushButton. Windows and Qt read '&' in a
// caption the same way (mnemonic prefix, "&&" for the character itself), so
// captions pass through unchanged.
#include <QKeyEvent>
#include <QPushButton>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

class ButtonWidget : public QPushButton {
public:
    ButtonWidget(QWidget* parent, HWND hwnd) : QPushButton(parent) {
        setAutoDefault(false);
        connect(this, &QAbstractButton::clicked, this, [hwnd] {
            if (Window* w = WIN_Get(hwnd)) WIN_CommandToParent(*w, BN_CLICKED);
        });
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // A Windows button is pressed with the space bar; Enter belongs to the dialog.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->ignore();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

DWORD buttonType(const Window& w) {
    return w.style & BS_TYPEMASK;
}

void showStyle(const Window& w) {
    if (auto* button = qobject_cast<QPushButton*>(w.widget.data()))
        button->setDefault(buttonType(w) == BS_DEFPUSHBUTTON);
}

QWidget* makeButton(Window& w, QWidget* parent) {
    auto* button = new ButtonWidget(parent, w.handle);
    button->setText(CTL_ToQt(w.text));
    button->setDefault(buttonType(w) == BS_DEFPUSHBUTTON);
    if (buttonType(w) != BS_PUSHBUTTON && buttonType(w) != BS_DEFPUSHBUTTON)
        LOG_Once("Button:type", "Button: style %#lx is shown as a push button", static_cast<unsigned long>(w.style));
    return button;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_SETTEXT:
        if (auto* button = qobject_cast<QPushButton*>(w->widget.data())) button->setText(CTL_ToQt(CTL_Arg(lParam)));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
        return DLGC_BUTTON | (buttonType(*w) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_CLICK:
        // A disabled button ignores the click, as it ignores the mouse.
        if (w->enabled) WIN_CommandToParent(*w, BN_CLICKED);
        return 0;
    case BM_SETSTYLE:
        w->style = (w->style & ~DWORD(BS_TYPEMASK)) | (DWORD(wParam) & BS_TYPEMASK);
        showStyle(*w);
        return 0;
    case BM_GETCHECK:
    case BM_SETCHECK:
        return 0;  // push buttons have no check state
    default:
        return CTL_DefaultProc("Button", BM_GETCHECK, 0x00FF, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void BUTTON_Register() {
    CTL_RegisterClass("Button", 0, ButtonProc, makeButton);
}
}  // namespace winshim
