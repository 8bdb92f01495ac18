// The STATIC class: text labels over QLabel. Windows wraps SS_LEFT, SS_CENTER and
// SS_RIGHT text at word boundaries and draws it from the top; a line that does
// not fit the height is cut, which QLabel does the same way.
#include <QApplication>
#include <QLabel>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

QString shownText(const Window& w, const std::string& text) {
    return (w.style & SS_NOPREFIX) ? CTL_ToQt(text) : CTL_StripPrefix(text);
}

// Templates are measured for a narrower font than most desktops' sans: a label one
// line high whose text is a little too wide for it is drawn a little smaller rather
// than losing its last word to a line nobody sees.
class StaticWidget : public QLabel {
public:
    using QLabel::QLabel;
    void showText(const QString& text) {
        setText(text);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit() {
        QFont font = parentWidget() ? parentWidget()->font() : QApplication::font();
        const qreal full = font.pointSizeF();
        if (full > 0 && height() < 2 * QFontMetrics(font).lineSpacing()) {
            const int room = contentsRect().width();
            for (qreal size = full; size >= full * 0.8; size -= 0.25) {
                font.setPointSizeF(size);
                if (QFontMetrics(font).horizontalAdvance(text()) <= room) break;
            }
            if (QFontMetrics(font).horizontalAdvance(text()) > room) font.setPointSizeF(full);
        }
        if (font != this->font()) setFont(font);
    }
};

QWidget* makeStatic(Window& w, QWidget* parent) {
    auto* label = new StaticWidget(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFocusPolicy(Qt::NoFocus);
    switch (w.style & SS_TYPEMASK) {
    case SS_LEFT:
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        break;
    case SS_CENTER:
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        break;
    case SS_RIGHT:
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        break;
    default:
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        LOG_Once("Static:type", "Static: style %#lx is shown as left-aligned text",
                 static_cast<unsigned long>(w.style));
        break;
    }
    // The half-sunken border of SS_SUNKEN: shadow above and left, light below and right.
    if (w.style & SS_SUNKEN) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    label->showText(shownText(w, w.text));
    return label;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_SETTEXT:
        if (auto* label = dynamic_cast<StaticWidget*>(w->widget.data()))
            label->showText(shownText(*w, CTL_Arg(lParam)));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    default:
        // STM_SETICON ... STM_MSGMAX
        return CTL_DefaultProc("Static", 0x0170, 0x0174, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void STATIC_Register() {
    CTL_RegisterClass("Static", 0, StaticProc, makeStatic);
}
}  // namespace winshim
