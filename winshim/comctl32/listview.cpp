// The list view's window procedure: LVM_* messages over ListViewWidget.
#include "comctl32/listview.h"

#include "comctl32/classes.h"

namespace winshim {
namespace {
ListViewWidget* widgetOf(HWND hwnd) {
    auto* state = CTL_StateOf<ListViewState>(hwnd);
    return state ? state->widget.data() : nullptr;
}

template <class T>
T* ptr(LPARAM lParam) {
    return reinterpret_cast<T*>(lParam);
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ListViewWidget* lv = widgetOf(hwnd);
    if (!lv) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_STYLECHANGED:
        if (wParam == WPARAM(GWL_STYLE)) lv->setStyleBits(ptr<STYLESTRUCT>(lParam)->styleNew);
        return 0;
    case WM_DESTROY:
        lv->destroying();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(lv->imageList(wParam));
    case LVM_SETIMAGELIST:
        return reinterpret_cast<LRESULT>(lv->setImageList(wParam, reinterpret_cast<HIMAGELIST>(lParam)));
    case LVM_GETITEMCOUNT:
        return lv->itemCount();
    case LVM_GETITEMA:
        return lv->getItem(ptr<LVITEMA>(lParam));
    case LVM_SETITEMA:
        return lParam && lv->setItem(*ptr<LVITEMA>(lParam));
    case LVM_INSERTITEMA:
        return lParam ? lv->insertItem(*ptr<LVITEMA>(lParam)) : -1;
    case LVM_DELETEITEM:
        return lv->deleteItem(int(wParam));
    case LVM_DELETEALLITEMS:
        lv->deleteAllItems();
        return TRUE;
    case LVM_GETNEXTITEM:
        return lv->nextItem(int(wParam), UINT(LOWORD(lParam)));
    case LVM_GETITEMRECT: {
        auto* rect = ptr<RECT>(lParam);
        return rect && lv->itemRect(int(wParam), rect->left, rect);
    }
    case LVM_HITTEST:
        return lv->hitTest(ptr<LVHITTESTINFO>(lParam));
    case LVM_ENSUREVISIBLE:
        return lv->ensureVisible(int(wParam));
    case LVM_EDITLABELA:
        if (int(wParam) == -1) {
            lv->cancelEdit();
            return 0;
        }
        return lv->beginEdit(int(wParam)) ? reinterpret_cast<LRESULT>(lv->editControl()) : 0;
    case LVM_GETEDITCONTROL:
        return reinterpret_cast<LRESULT>(lv->editControl());
    case LVM_GETCOLUMNA:
        return lv->getColumn(int(wParam), ptr<LVCOLUMNA>(lParam));
    case LVM_SETCOLUMNA:
        return lParam && lv->setColumn(int(wParam), *ptr<LVCOLUMNA>(lParam));
    case LVM_INSERTCOLUMNA:
        return lParam ? lv->insertColumn(int(wParam), *ptr<LVCOLUMNA>(lParam)) : -1;
    case LVM_DELETECOLUMN:
        return lv->deleteColumn(int(wParam));
    case LVM_GETCOLUMNWIDTH:
        return lv->columnWidth(int(wParam));
    case LVM_SETCOLUMNWIDTH:
        return lv->setColumnWidth(int(wParam), SHORT(LOWORD(lParam)));
    case LVM_SETITEMSTATE: {
        auto* item = ptr<LVITEMA>(lParam);
        return item && lv->setItemState(int(wParam), item->state, item->stateMask);
    }
    case LVM_GETITEMSTATE:
        return lv->itemState(int(wParam), UINT(lParam));
    case LVM_GETITEMTEXTA: {
        auto* item = ptr<LVITEMA>(lParam);
        return item ? lv->getItemText(int(wParam), item->iSubItem, item->pszText, item->cchTextMax) : 0;
    }
    case LVM_SETITEMTEXTA: {
        auto* item = ptr<LVITEMA>(lParam);
        return item && lv->setItemText(int(wParam), item->iSubItem, item->pszText);
    }
    default:
        // The private range of a control's class, short of the program's own WM_APP.
        return CTL_DefaultProc(WC_LISTVIEWA, WM_USER, WM_APP - 1, hwnd, msg, wParam, lParam);
    }
}
}  // namespace

void LISTVIEW_Register() {
    CTL_RegisterWidgetClass<ListViewState>(WC_LISTVIEWA, CS_DBLCLKS, ListViewProc, [](Window& window, QWidget* parent) {
        return new ListViewWidget(window.handle, window.style, window.exStyle, parent);
    });
}
}  // namespace winshim
