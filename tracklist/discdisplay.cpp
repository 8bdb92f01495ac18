#include "../app/varnel.h"
#include "../device/device.h"
#include "tracklist.h"

void showNoDisc(HWND hwnd) {
    SetDlgItemTextA(hwnd, IDC_DISC_ID, "");
    SendMessageA(IDC_TRACKLIST, LVM_DELETEALLITEMS, 0, 0);
    setStatusText(0, "No Disc");
}

void appendTrackRow(const char* title, const char* time) {
    char label[CMD_SIZE];
    int row = (int)SendMessageA(IDC_TRACKLIST, LVM_GETITEMCOUNT, 0, 0);
    snprintf(label, sizeof label, "Track %d", row + 1);

    LVITEMA item;
    memset(&item, 0, sizeof item);
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = label;
    item.iImage = 0;
    SendMessageA(IDC_TRACKLIST, LVM_INSERTITEMA, 0, (LPARAM)&item);

    LVITEMA sub;
    memset(&sub, 0, sizeof sub);
    sub.iSubItem = 1;
    sub.pszText = (LPSTR)title;
    SendMessageA(IDC_TRACKLIST, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&sub);
    sub.iSubItem = 2;
    sub.pszText = (LPSTR)time;
    SendMessageA(IDC_TRACKLIST, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&sub);
}

/* Minutes and seconds of an mm:ss:ff length; a reply too short to hold the
 * frames holds no time either. */
static void lengthToTime(const char* reply, char* time) {
    size_t length = strlen(reply);
    if (length < 3) length = 3;
    memcpy(time, reply, length - 3);
    time[length - 3] = '\0';
}

void fillDiscDisplay(HWND hwnd) {
    char reply[CMD_SIZE];
    char name[NAME_SIZE];
    char path[PATH_SIZE];
    char line[LINE_SIZE];
    char time[CMD_SIZE];

    SendMessageA(IDC_TRACKLIST, LVM_DELETEALLITEMS, 0, 0);
    setStatusText(0, "Disc Inserted");

    sendCdCommand("info cd identity", reply);
    trackListName(reply, name, sizeof name);
    SetDlgItemTextA(hwnd, IDC_DISC_ID, name);

    TrackListFile file;
    trackListPath(name, path, sizeof path);
    BOOL haveFile = openTrackList(path, &file);
    BOOL moreLines = haveFile;
    /* Fields without a line are cleared, so no earlier disc's names stay. */
    if (!(moreLines && readTrackListLine(&file, line))) line[0] = '\0';
    SetDlgItemTextA(hwnd, IDC_COMPOSER, line);
    if (!(moreLines && readTrackListLine(&file, line))) {
        line[0] = '\0';
        moreLines = FALSE;
    }
    SetDlgItemTextA(hwnd, IDC_ALBUM, line);

    sendCdCommand("set cd time format tmsf", reply);
    sendCdCommand("status cd number of tracks", reply);
    trackCount = readDecimal(reply);

    for (int track = 1; track <= trackCount; track++) {
        sendCdCommandInt("status cd length track %d", track, reply);
        lengthToTime(reply, time);
        if (moreLines && readTrackListLine(&file, line))
            trimLine(line);
        else {
            moreLines = FALSE;
            strcpy(line, "Unknown");
        }
        appendTrackRow(line, time);
    }
    if (haveFile) closeTrackList(&file);
    /* Play on a freshly shown disc starts at its first track. */
    currentTrack = trackCount >= 1 ? 1 : 0;
}

LRESULT onListViewNotify(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)msg;
    (void)wParam;
    const NMHDR* notice = (const NMHDR*)lParam;
    if (notice == NULL || notice->hwndFrom != IDC_TRACKLIST) return 0;
    if (notice->code == NM_CLICK || notice->code == NM_DBLCLK) {
        LVHITTESTINFO hit;
        memset(&hit, 0, sizeof hit);
        GetCursorPos(&hit.pt);
        ScreenToClient(IDC_TRACKLIST, &hit.pt);
        int row = (int)SendMessageA(IDC_TRACKLIST, LVM_HITTEST, 0, (LPARAM)&hit);
        currentTrack = row < 0 ? 0 : row + 1;
    }
    if (notice->code == NM_DBLCLK) SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_PLAY, 0), 0);
    return 0;
}
