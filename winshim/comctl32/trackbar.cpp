// The trackbar's window procedure: TBM_* messages and the input messages a
// program may send it, over TrackbarWidget.
#include "comctl32/trackbar.h"

#include "comctl32/classes.h"

namespace winshim {
namespace {
TrackbarWidget* widgetOf(HWND hwnd) {
    auto* state = CTL_StateOf<TrackbarState>(hwnd);
    return state ? state->widget.data() : nullptr;
}

QPoint pointOf(LPARAM lParam) {
    return QPoint(SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam)));
}

void copyRect(const QRect& r, LPARAM lParam) {
    if (auto* out = reinterpret_cast<RECT*>(lParam)) *out = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TrackbarWidget* tb = widgetOf(hwnd);
    if (!tb) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_STYLECHANGED:
        if (wParam == WPARAM(GWL_STYLE)) tb->setStyleBits(reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        tb->keyDown(UINT(wParam));
        return 0;
    case WM_KEYUP:
        tb->keyUp(UINT(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        tb->buttonDown(pointOf(lParam));
        return 0;
    case WM_MOUSEMOVE:
        tb->mouseMoved(pointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        tb->buttonUp();
        return 0;
    case TBM_GETPOS:
        return tb->pos();
    case TBM_GETRANGEMIN:
        return tb->rangeMin();
    case TBM_GETRANGEMAX:
        return tb->rangeMax();
    case TBM_SETPOS:
        tb->setPos(LONG(lParam));
        return 0;
    case TBM_SETRANGE:
        tb->setRange(SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam)));
        return 0;
    case TBM_SETRANGEMIN:
        tb->setRange(LONG(lParam), tb->rangeMax());
        return 0;
    case TBM_SETRANGEMAX:
        tb->setRange(tb->rangeMin(), LONG(lParam));
        return 0;
    case TBM_SETSEL:
        tb->setSel(SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam)));
        return 0;
    case TBM_SETSELSTART:
        tb->setSel(LONG(lParam), tb->selEnd());
        return 0;
    case TBM_SETSELEND:
        tb->setSel(tb->selStart(), LONG(lParam));
        return 0;
    case TBM_GETSELSTART:
        return tb->selStart();
    case TBM_GETSELEND:
        return tb->selEnd();
    case TBM_CLEARSEL:
        tb->clearSel();
        return 0;
    case TBM_SETTICFREQ:
        tb->setTicFreq(LONG(wParam));
        return 0;
    case TBM_SETTIC:
        return tb->addTic(LONG(lParam));
    case TBM_CLEARTICS:
        tb->clearTics();
        return 0;
    case TBM_GETTIC: {
        std::vector<LONG> tics = tb->interiorTics();
        return wParam < tics.size() ? tics[wParam] : -1;
    }
    case TBM_GETNUMTICS:
        return tb->numTics();
    case TBM_SETPAGESIZE:
        return tb->setPageSize(LONG(lParam));
    case TBM_GETPAGESIZE:
        return tb->pageSize();
    case TBM_SETLINESIZE:
        return tb->setLineSize(LONG(lParam));
    case TBM_GETLINESIZE:
        return tb->lineSize();
    case TBM_GETTHUMBRECT:
        copyRect(tb->thumbRect(), lParam);
        return 0;
    case TBM_GETCHANNELRECT:
        copyRect(tb->channelRect(), lParam);
        return 0;
    default:
        // The private range of a control's class, short of the program's own WM_APP.
        return CTL_DefaultProc(TRACKBAR_CLASSA, WM_USER, WM_APP - 1, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void TRACKBAR_Register() {
    CTL_RegisterWidgetClass<TrackbarState>(
        TRACKBAR_CLASSA, CS_DBLCLKS, TrackbarProc,
        [](Window& window, QWidget* parent) { return new TrackbarWidget(window.handle, window.style, parent); });
}
}  // namespace winshim
