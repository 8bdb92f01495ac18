// MessageBoxA over QMessageBox. The box runs in a nested message loop with its
// owner disabled, so the owner's timers, paints and posted messages go on while
// the user reads it, as they do under a Windows message box.
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/app.h"
#include "user32/controls.h"
#include "user32/window.h"

namespace winshim {
namespace {

using Choice = std::pair<QMessageBox::StandardButton, int>;

std::vector<Choice> choicesOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {{QMessageBox::Ok, IDOK}};
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        LOG_Once("MessageBox:type", "MessageBox: button set %#x is shown as OK", unsigned(type & MB_TYPEMASK));
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Windows makes a message box wide enough to read its caption whole, beside
// the close box; Qt sizes it by its text and buttons only. The title bar is the
// window manager's, and some (openbox among them) draw minimize and maximize on
// every window whatever its hints ask: room for its caption font, an icon, the
// three buttons and the padding between them.
void fitCaption(QMessageBox& box) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const int caption = QFontMetrics(font).horizontalAdvance(box.windowTitle());
    const int room = caption + 5 * GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CXFRAME);
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (!buttons) return;
    // Buttons in the middle, as Windows places them.
    buttons->setCenterButtons(true);
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    buttons->setMinimumWidth(std::max(0, room - margins.left() - margins.right()));
}

// What Escape and the close box answer: Cancel where there is one, OK for a lone OK.
int escapeOf(const std::vector<Choice>& choices) {
    for (const Choice& c : choices)
        if (c.second == IDCANCEL) return IDCANCEL;
    return choices.size() == 1 ? choices.front().second : 0;
}
}  // namespace
}  // namespace winshim

using namespace winshim;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    APP_Ensure();
    Window* ownerWindow = WIN_Get(owner);
    if (owner && !ownerWindow) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // A child window's message box belongs to its top-level window.
    while (ownerWindow && ownerWindow->isChild()) ownerWindow = WIN_Get(ownerWindow->parent);
    const HWND top = ownerWindow ? ownerWindow->handle : nullptr;

    const std::vector<Choice> choices = choicesOf(type);
    QMessageBox box(iconOf(type), CTL_ToQt(caption ? caption : "Error"), CTL_ToQt(text ? text : ""));
    box.setTextFormat(Qt::PlainText);
    std::vector<std::pair<QPushButton*, int>> buttons;
    for (const Choice& c : choices) buttons.emplace_back(box.addButton(c.first), c.second);
    const size_t preferred = (type & MB_DEFMASK) >> 8;
    box.setDefaultButton(buttons[preferred < buttons.size() ? preferred : 0].first);
    const int escape = escapeOf(choices);
    for (auto& [button, id] : buttons)
        if (id == escape) box.setEscapeButton(button);
    // A close box and nothing else on the title bar; none where Escape answers nothing.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       (escape ? Qt::WindowCloseButtonHint : Qt::WindowType(0)));
    fitCaption(box);

    int result = 0;
    bool done = false;
    QObject::connect(&box, &QMessageBox::buttonClicked, [&](QAbstractButton* clicked) {
        for (auto& [button, id] : buttons)
            if (button == clicked) result = id;
    });
    QObject::connect(&box, &QDialog::finished, [&] { done = true; });

    // The owner takes no input while the box is up; the window manager keeps the box above it.
    const bool disableOwner = top && IsWindowEnabled(top);
    if (disableOwner) EnableWindow(top, FALSE);
    box.winId();
    if (QWidget* ownerWidget = ownerWindow ? ownerWindow->widget.data() : nullptr)
        if (box.windowHandle() && ownerWidget->windowHandle())
            box.windowHandle()->setTransientParent(ownerWidget->windowHandle());
    box.show();
    MSG_RunModalLoop([&] { return done; });
    box.hide();
    if (disableOwner && WIN_Get(top)) EnableWindow(top, TRUE);
    return result ? result : escape;
}
