// The default dialog procedure, the modal loop and the end of a dialog.
#include <cstring>
#include <utility>

#include "user32/dialog.h"

namespace winshim {
namespace {

LONG_PTR msgResult(const Window& w) {
    LONG_PTR value = 0;
    if (w.extra.size() >= sizeof value) std::memcpy(&value, w.extra.data(), sizeof value);
    return value;
}
void setMsgResult(Window& w, LONG_PTR value) {
    if (w.extra.size() >= sizeof value) std::memcpy(w.extra.data(), &value, sizeof value);
}

// Messages whose answer is what the dialog procedure returns, not DWLP_MSGRESULT.
bool answersDirectly(UINT msg) {
    return msg == WM_INITDIALOG || (msg >= 0x0132 && msg <= 0x0138) /* WM_CTLCOLOR* */ || msg == 0x0039 ||
           msg == 0x002E || msg == 0x002F || msg == 0x0037;
}

LRESULT defId(HWND dialog) {
    DialogState* s = DIALOG_State(dialog);
    if (s && s->defId) return MAKELONG(s->defId, DC_HASDEFID);
    Window* d = WIN_Get(dialog);
    for (HWND child : d ? d->children : std::vector<HWND>{})
        if (SendMessageA(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
            return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
    return 0;
}

void setDefId(HWND dialog, int id) {
    const LRESULT old = defId(dialog);
    if (HIWORD(old) == DC_HASDEFID && LOWORD(old) != WORD(id))
        if (HWND previous = DIALOG_FindItem(dialog, LOWORD(old)))
            if (SendMessageA(previous, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
                SendMessageA(previous, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (HWND next = DIALOG_FindItem(dialog, id))
        if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)
            SendMessageA(next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    if (DialogState* s = DIALOG_State(dialog)) s->defId = id;
}

LRESULT defaultDialog(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE: {
        // The close box clicks Cancel, unless a Cancel button is there and disabled.
        HWND cancel = DIALOG_FindItem(dialog, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_INITDIALOG:
        return 0;
    case DM_GETDEFID:
        return defId(dialog);
    case DM_SETDEFID:
        setDefId(dialog, int(wParam));
        return TRUE;
    case WM_SETFOCUS: {
        DialogState* s = DIALOG_State(dialog);
        HWND target = s && WIN_Get(s->focus) ? s->focus : DIALOG_NextTabItem(dialog, nullptr, false);
        if (!target)
            if (Window* d = WIN_Get(dialog); d && !d->children.empty()) target = d->children.front();
        if (target) DIALOG_FocusControl(dialog, target);
        return 0;
    }
    default:
        return DefWindowProcA(dialog, msg, wParam, lParam);
    }
}
}  // namespace

void DIALOG_Register() {
    WindowClass cls;
    cls.name = "#32770";
    cls.proc = DefDlgProcA;
    cls.wndExtra = DLGWINDOWEXTRA;
    cls.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    CLASS_AddSystem(std::move(cls));
}
}  // namespace winshim

using namespace winshim;

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                                          LPARAM init) {
    if (owner && !WIN_Get(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND dialog = DIALOG_Create(instance, templateName, owner, proc, init);
    Window* w = WIN_Get(dialog);
    if (!w) return -1;
    w->modal = true;
    if (!w->dialogEnded) {
        Window* ownerWindow = WIN_Get(w->owner);
        if (ownerWindow && ownerWindow->enabled) {
            EnableWindow(w->owner, FALSE);
            if (DialogState* s = DIALOG_State(dialog)) s->disabledOwner = ownerWindow->handle;
        }
        DIALOG_Show(dialog);
        MSG_RunModalLoop([dialog] {
            Window* d = WIN_Get(dialog);
            return !d || d->dialogEnded;
        });
    }
    if (!(w = WIN_Get(dialog))) return 0;
    const INT_PTR result = w->dialogResult;
    if (DialogState* s = DIALOG_State(dialog); s && WIN_Get(s->disabledOwner)) EnableWindow(s->disabledOwner, TRUE);
    DestroyWindow(dialog);
    return result;
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Window* w = WIN_Get(dialog);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->dialogResult = result;
    w->dialogEnded = true;
    // The owner comes back before the dialog goes, so that it is the one activated.
    if (DialogState* s = DIALOG_State(dialog); s && s->disabledOwner) {
        HWND owner = std::exchange(s->disabledOwner, nullptr);
        if (WIN_Get(owner)) EnableWindow(owner, TRUE);
    }
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

extern "C" LRESULT WINAPI DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(dialog);
    if (!w) return 0;
    if (DLGPROC proc = w->dlgProc) {
        setMsgResult(*w, 0);
        const INT_PTR handled = proc(dialog, msg, wParam, lParam);
        if (!(w = WIN_Get(dialog))) return answersDirectly(msg) ? handled : 0;
        if (handled) return answersDirectly(msg) ? handled : msgResult(*w);
    }
    return defaultDialog(dialog, msg, wParam, lParam);
}
