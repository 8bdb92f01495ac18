// The STATIC class: text labels over QLabel. Windows wraps SS_LEFT, SS_CENTER and
// SS_RIGHT text at word boundaries and draws it from the top; a line that does
// not fit the height is cut, which QLabel does the same way.
#include <QLabel>

#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

QString shownText(const Window& w, const std::string& text) {
    return (w.style & SS_NOPREFIX) ? CTL_ToQt(text) : CTL_StripPrefix(text);
}

QWidget* makeStatic(Window& w, QWidget* parent) {
    auto* label = new QLabel(parent);
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
    label->setText(shownText(w, w.text));
    return label;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_SETTEXT:
        if (auto* label = qobject_cast<QLabel*>(w->widget.data())) label->setText(shownText(*w, CTL_Arg(lParam)));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    default:
        // STM_SETICON ... STM_MSGMAX
        if (msg >= 0x0170 && msg <= 0x0174) CTL_Unhandled("Static", msg);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void STATIC_Register() {
    WindowClass cls;
    cls.name = "Static";
    cls.proc = StaticProc;
    cls.makeWidget = makeStatic;
    CLASS_AddSystem(std::move(cls));
}
}  // namespace winshim
