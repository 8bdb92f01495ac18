// What the files of the dialog manager share: a dialog's own state, and the
// steps that creation, the modal loop and the dialog keys take alike.
#pragma once

#include "user32/window.h"

namespace winshim {

struct DialogState : ControlState {
    int defId = 0;                 // set by DM_SETDEFID; 0: the template's default push button
    HWND focus = nullptr;          // the control that had the focus last
    HWND disabledOwner = nullptr;  // the owner a modal dialog disabled, until it is enabled again
    // A dialog that did not place itself keeps the client size of its template when
    // a window manager puts its frame around it.
    bool keepClient = false;
    SIZE client{};
    RECT placed{};  // the outer rectangle we gave it last
};

DialogState* DIALOG_State(HWND dialog);
// The dialog's child with this identifier, or null.
HWND DIALOG_FindItem(HWND dialog, int id);
// Tab order: the dialog's visible, enabled WS_TABSTOP children in creation order.
HWND DIALOG_NextTabItem(HWND dialog, HWND from, bool previous);
void DIALOG_FocusControl(HWND dialog, HWND control);
// Installs, once, the filter that runs the dialog keys of a modal dialog.
void DIALOG_InstallKeys();
// Creates the dialog of a template without showing it: the dialog window (its
// WM_CREATE comes while it has no controls), the controls in template order, then
// WM_INITDIALOG when there is a dialog procedure. Null when the template is
// missing or creation failed.
HWND DIALOG_Create(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM init);
// Shows the dialog with the focus where the dialog manager put it.
void DIALOG_Show(HWND dialog);

}  // namespace winshim
