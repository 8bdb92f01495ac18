// The status bar's window procedure: SB_* messages, its text (part 0) and its
// placement along the parent's edge.
#include "comctl32/statusbar.h"

#include <cstring>

#include "comctl32/classes.h"

namespace winshim {
namespace {
// Unless CCS_NORESIZE, the bar follows its parent: full client width, its own
// height, at the bottom (CCS_TOP: at the top; CCS_NOMOVEY or CCS_NOPARENTALIGN:
// where it is).
void place(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    StatusState* state = CTL_StateOf<StatusState>(hwnd);
    if (!w || !state || !state->widget || state->placing || (w->style & CCS_NORESIZE)) return;
    RECT client;
    if (!w->parent || !GetClientRect(w->parent, &client)) return;
    const int height = state->widget->naturalHeight();
    int y = client.bottom - height;
    if (w->style & CCS_NOPARENTALIGN || (w->style & 3) == CCS_NOMOVEY)
        y = w->rect.top;
    else if ((w->style & 3) == CCS_TOP)
        y = 0;
    state->placing = true;
    MoveWindow(hwnd, 0, y, client.right, height, TRUE);
    if ((state = CTL_StateOf<StatusState>(hwnd))) state->placing = false;
}

LRESULT textResult(const std::string& text, int flags) {
    return LRESULT(DWORD(MAKELONG(text.size(), flags)));
}

LRESULT CALLBACK StatusProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    StatusState* state = CTL_StateOf<StatusState>(hwnd);
    StatusBarWidget* sb = state ? state->widget.data() : nullptr;
    if (!sb) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        sb->setText(0, cs ? cs->lpszName : nullptr, 0);
        place(hwnd);
        return 0;
    }
    case WM_SIZE:
        place(hwnd);
        return 0;
    case WM_STYLECHANGED:
        if (wParam == WPARAM(GWL_STYLE)) sb->setStyleBits(reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew);
        return 0;
    case WM_SETTEXT:
        sb->setText(0, reinterpret_cast<const char*>(lParam), 0);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        const std::string& text = *sb->text(0, nullptr);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min<size_t>(text.size(), wParam - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(sb->text(0, nullptr)->size());
    case WM_NCHITTEST: {
        POINT pt{SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam))};
        ScreenToClient(hwnd, &pt);
        if (sb->gripRect().contains(pt.x, pt.y)) return HTBOTTOMRIGHT;
        return sb->rect().contains(pt.x, pt.y) ? HTCLIENT : HTNOWHERE;
    }
    case SB_SETPARTS:
        return sb->setParts(int(wParam), reinterpret_cast<const int*>(lParam));
    case SB_GETPARTS: {
        const std::vector<int>& edges = sb->edges();
        if (auto* out = reinterpret_cast<int*>(lParam))
            for (size_t i = 0; i < std::min<size_t>(wParam, edges.size()); ++i) out[i] = edges[i];
        return sb->partCount();
    }
    case SB_SETTEXTA:
        return sb->setText(LOBYTE(wParam), reinterpret_cast<const char*>(lParam), int(wParam & 0xFF00));
    case SB_GETTEXTA:
    case SB_GETTEXTLENGTHA: {
        int flags = 0;
        const std::string* text = sb->text(int(LOWORD(wParam)), &flags);
        if (!text) return 0;
        // Windows' SB_GETTEXT has no buffer size: the caller's buffer must hold the text.
        if (auto* buffer = reinterpret_cast<char*>(lParam); buffer && msg == SB_GETTEXTA)
            std::memcpy(buffer, text->c_str(), text->size() + 1);
        return textResult(*text, flags);
    }
    case SB_GETRECT: {
        QRect r;
        auto* out = reinterpret_cast<RECT*>(lParam);
        if (!out || !sb->partRect(int(wParam), &r)) return FALSE;
        *out = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        return TRUE;
    }
    case SB_GETBORDERS:
        if (auto* out = reinterpret_cast<int*>(lParam)) {
            out[0] = 0;  // horizontal border
            out[1] = 2;  // vertical border
            out[2] = 2;  // between parts
            return TRUE;
        }
        return FALSE;
    case SB_SETMINHEIGHT:
        sb->setMinHeight(int(wParam));
        return 0;
    case SB_SIMPLE:
        sb->setSimple(wParam != 0);
        return 0;
    case SB_ISSIMPLE:
        return sb->simple();
    default:
        // The private range of a control's class, short of the program's own WM_APP.
        return CTL_DefaultProc(STATUSCLASSNAMEA, WM_USER, WM_APP - 1, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void STATUS_Register() {
    CTL_RegisterWidgetClass<StatusState>(
        STATUSCLASSNAMEA, CS_DBLCLKS | CS_VREDRAW | CS_HREDRAW, StatusProc,
        [](Window& window, QWidget* parent) { return new StatusBarWidget(window.style, parent); });
}
}  // namespace winshim
