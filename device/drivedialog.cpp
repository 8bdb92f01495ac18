/* The Drive dialog: the CD drives on the letters c to y, the first one
 * selected; closing it stores the selection as the Drive setting, which the
 * next opening of the device reads. */
#include "../app/varnel.h"
#include "../settings/settings.h"
#include "device.h"

static void fillDriveList(HWND dialog) {
    char root[3];
    root[1] = ':';
    root[2] = '\0';
    for (char letter = 'c'; letter <= 'y'; letter++) {
        root[0] = letter;
        if (GetDriveTypeA(root) == DRIVE_CDROM)
            SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_ADDSTRING, 0, (LPARAM)root);
    }
    SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, 0, 0);
}

/* Without a selection there is no drive to name, and the setting keeps what it
 * held. */
static void storeSelection(HWND dialog) {
    char selection[CMD_SIZE];
    LRESULT index = SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    LRESULT length = SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length == CB_ERR || length >= (LRESULT)sizeof selection) return;
    selection[0] = '\0';
    SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETLBTEXT, (WPARAM)index, (LPARAM)selection);
    writeDriveSetting(selection);
}

INT_PTR CALLBACK DriveDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        fillDriveList(dialog);
        return TRUE;
    case WM_CLOSE:
        storeSelection(dialog);
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
