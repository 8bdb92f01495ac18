/* The List Editor: composer, album and one title per track of the loaded disc,
 * kept in the dialog's controls while it is open and saved to the disc's track
 * list file. */
#include "../app/varnel.h"
#include "../device/device.h"
#include "tracklist.h"

#define UNKNOWN_ROW "track %d  (Unknown)"

/* The text of a control, at most LINE_SIZE - 1 characters. */
static void controlText(HWND dialog, int id, char* text) {
    text[0] = '\0';
    GetDlgItemTextA(dialog, id, text, LINE_SIZE);
}

static void appendRow(HWND dialog, const char* text) {
    SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_INSERTSTRING, (WPARAM)-1, (LPARAM)text);
}

/* A row's text into a LINE_SIZE buffer; a row that would not fit (none is ever
 * made that long) reads as empty rather than overrunning it. */
static void rowText(HWND dialog, int row, char* text) {
    text[0] = '\0';
    LRESULT length = SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETTEXTLEN, (WPARAM)row, 0);
    if (length >= 0 && length < LINE_SIZE)
        SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETTEXT, (WPARAM)row, (LPARAM)text);
}

static void initListEditor(HWND dialog) {
    char reply[CMD_SIZE];
    char name[NAME_SIZE];
    char path[PATH_SIZE];
    char line[LINE_SIZE];

    sendCdCommand("status cd number of tracks", reply);
    SetDlgItemTextA(dialog, IDC_TRACK_COUNT, reply);
    sendCdCommand("info cd identity", reply);
    trackListName(reply, name, sizeof name);
    SetDlgItemTextA(dialog, IDC_DISC_ID, name);

    TrackListFile file;
    trackListPath(name, path, sizeof path);
    BOOL haveFile = openTrackList(path, &file);
    if (haveFile) {
        /* The album line is asked for even when the composer read found the end. */
        if (readTrackListLine(&file, line)) {
            trimLine(line);
            SetDlgItemTextA(dialog, IDC_EDIT_COMPOSER, line);
        }
        if (readTrackListLine(&file, line)) {
            trimLine(line);
            SetDlgItemTextA(dialog, IDC_EDIT_ALBUM, line);
        }
    }

    /* The count bounds this fill only: the main window's own fill sets
     * trackCount again when the dialog has ended. */
    sendCdCommand("status cd number of tracks", reply);
    int count = readDecimal(reply);
    for (int track = 1; track <= count; track++) {
        if (haveFile) {
            if (readTrackListLine(&file, line)) {
                trimLine(line);
                appendRow(dialog, line);
            }
        } else {
            snprintf(line, sizeof line, UNKNOWN_ROW, track);
            appendRow(dialog, line);
        }
    }
    if (haveFile) closeTrackList(&file);
}

static void onSelectionChange(HWND dialog) {
    char text[LINE_SIZE];
    int row = (int)SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETCURSEL, 0, 0);
    rowText(dialog, row, text);
    SetDlgItemTextA(dialog, IDC_EDIT_TRACK, text);
}

/* With a row selected the title replaces it in place; without one it is
 * appended. The new row is never selected, so a second Add appends. */
static void onAdd(HWND dialog) {
    char text[LINE_SIZE];
    int row = (int)SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETCURSEL, 0, 0);
    controlText(dialog, IDC_EDIT_TRACK, text);
    if (row != LB_ERR) SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_DELETESTRING, (WPARAM)row, 0);
    SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_INSERTSTRING, (WPARAM)row, (LPARAM)text);
}

typedef enum { SAVE_DONE, SAVE_NOT_OPENED, SAVE_NOT_WRITTEN } SaveResult;

/* Composer, album, then as many rows as the count says and the list holds. */
static SaveResult writeTrackList(HWND dialog, const char* path, UINT count) {
    char text[LINE_SIZE];
    TrackListWriter writer;
    if (!beginTrackList(path, &writer)) return SAVE_NOT_OPENED;
    controlText(dialog, IDC_EDIT_COMPOSER, text);
    writeTrackListLine(&writer, text);
    controlText(dialog, IDC_EDIT_ALBUM, text);
    writeTrackListLine(&writer, text);
    LRESULT rows = SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < rows && (UINT)row < count; row++) {
        rowText(dialog, (int)row, text);
        writeTrackListLine(&writer, text);
    }
    return endTrackList(&writer) ? SAVE_DONE : SAVE_NOT_WRITTEN;
}

/* The file is the one named when the dialog opened, whatever disc is in the
 * drive now. */
static void onSave(HWND dialog) {
    char name[LINE_SIZE];
    char path[PATH_SIZE];
    controlText(dialog, IDC_DISC_ID, name);
    UINT count = GetDlgItemInt(dialog, IDC_TRACK_COUNT, NULL, FALSE);
    trackListPath(name, path, sizeof path);
    switch (writeTrackList(dialog, path, count)) {
    case SAVE_NOT_OPENED:
        MessageBoxA(NULL, "Error opening file for writing", "Error", MB_OK);
        break;
    case SAVE_NOT_WRITTEN:
        MessageBoxA(NULL, "Error writing file", "Error", MB_OK);
        break;
    case SAVE_DONE:
        MessageBoxA(dialog, "File saved!", "Varnel", MB_OK);
        break;
    }
}

INT_PTR CALLBACK ListEditorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        initListEditor(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_TITLE_LIST:
            if (HIWORD(wParam) == LBN_SELCHANGE) onSelectionChange(dialog);
            return TRUE;
        case IDC_SAVE:
            onSave(dialog);
            return TRUE;
        case IDC_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_ADD:
            onAdd(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
