// What assistive tools read for a control that shows no caption of its own (a
// sunken value field, an edit, a list, a slider): the static label in front of
// it, as Windows' accessibility layer names such a control after the label that
// precedes it. Qt's bridge reads a label's buddy as the control's name and as a
// labelled-by relation, so "Disc ID:" and "7A00" read together.
#include <commctrl.h>
#include <strings.h>

#include <QLabel>

#include "user32/window.h"

namespace winshim {
namespace {

bool isClass(const Window& w, const char* name) {
    return w.cls && strcasecmp(w.cls->name.c_str(), name) == 0;
}

bool isLabel(const Window& w) {
    return isClass(w, "Static") && !(w.style & SS_SUNKEN) && !w.text.empty() && qobject_cast<QLabel*>(w.widget);
}

// Buttons and status bars carry their own text.
bool wantsLabel(const Window& w) {
    return !isLabel(w) && !isClass(w, "Button") && !isClass(w, STATUSCLASSNAMEA) && w.widget;
}

bool sameRow(const RECT& a, const RECT& b) {
    return a.top < b.bottom && b.top < a.bottom;
}

// The sibling nearest to the left on the same row, when that is a label; with
// nothing on its left, a label just above it and before it in the dialog's order.
Window* labelOf(const Window& control, const std::vector<HWND>& siblings) {
    Window* nearest = nullptr;
    Window* before = nullptr;
    for (size_t i = 0; i < siblings.size(); ++i) {
        Window* s = WIN_Get(siblings[i]);
        if (s == &control) {
            if (i > 0) before = WIN_Get(siblings[i - 1]);
        } else if (s && sameRow(s->rect, control.rect) && s->rect.right <= control.rect.left &&
                   (!nearest || s->rect.right > nearest->rect.right)) {
            nearest = s;
        }
    }
    if (nearest) return isLabel(*nearest) ? nearest : nullptr;
    return before && isLabel(*before) && before->rect.bottom <= control.rect.top ? before : nullptr;
}
}  // namespace

void LABEL_Relate(HWND parent) {
    Window* p = WIN_Get(parent);
    if (!p) return;
    for (HWND h : p->children) {
        Window* control = WIN_Get(h);
        if (!control || !wantsLabel(*control)) continue;
        Window* label = labelOf(*control, p->children);
        // A label with '&' in its text would turn it into a mnemonic once it has a buddy.
        auto* qlabel = label ? qobject_cast<QLabel*>(label->widget) : nullptr;
        if (qlabel && !qlabel->text().contains('&')) qlabel->setBuddy(control->widget);
        // A slider with neither caption nor label still says what it holds.
        if (!label && isClass(*control, TRACKBAR_CLASSA) && control->text.empty() &&
            control->widget->accessibleName().isEmpty())
            control->widget->setAccessibleName(QStringLiteral("Position"));
    }
}
}  // namespace winshim
