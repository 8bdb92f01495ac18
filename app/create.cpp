/* Creation and destruction of the main window: its run-time children, timers
 * and the placement kept in the settings file. */
#include "../device/device.h"
#include "../settings/settings.h"
#include "../tracklist/tracklist.h"
#include "varnel.h"

static void insertColumn(int index, const char* key, int defaultWidth, const char* heading, int format) {
    LVCOLUMNA column;
    memset(&column, 0, sizeof column);
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = readSettingInt(key, defaultWidth);
    column.pszText = (LPSTR)heading;
    column.iSubItem = index + 1;
    SendMessageA(IDC_TRACKLIST, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

static void createTrackList(HWND hwnd) {
    InitCommonControls();
    IDC_TRACKLIST =
        CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_EDITLABELS | LVS_REPORT, 0, 115,
                        300, 290, hwnd, NULL, appInstance, NULL);
    HIMAGELIST small = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_MASK, 1, 1);
    HIMAGELIST normal = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), ILC_MASK, 1, 1);
    HICON icon = LoadIconA(appInstance, MAKEINTRESOURCE(IDI_APP));
    ImageList_ReplaceIcon(small, -1, icon);
    ImageList_ReplaceIcon(normal, -1, icon);
    SendMessageA(IDC_TRACKLIST, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)small);
    SendMessageA(IDC_TRACKLIST, LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)normal);

    insertColumn(0, KEY_COLUMN1, DEFAULT_COLUMN1, "Track #", LVCFMT_LEFT);
    insertColumn(1, KEY_COLUMN2, DEFAULT_COLUMN2, "Title", LVCFMT_LEFT);
    insertColumn(2, KEY_COLUMN3, DEFAULT_COLUMN3, "Time", LVCFMT_CENTER);
}

void onCreate(HWND hwnd) {
    /* Nothing of an earlier main window in this process is moved by the first size change. */
    IDC_TRACKLIST = NULL;
    IDC_STATUS = NULL;
    IDC_POSITION = NULL;
    chooseDataFolder();
    buildSettingsPath();

    int left = readSettingInt(KEY_LEFT, DEFAULT_LEFT);
    int top = readSettingInt(KEY_TOP, DEFAULT_TOP);
    int width = readSettingInt(KEY_WIDTH, DEFAULT_WIDTH);
    int height = readSettingInt(KEY_HEIGHT, DEFAULT_HEIGHT);
    MoveWindow(hwnd, left, top, width, height, FALSE);

    separatorPen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    createTrackList(hwnd);
    IDC_STATUS = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP | CCS_BOTTOM, "No Disc",
                                     hwnd, ID_STATUS);
    IDC_POSITION =
        CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS | TBS_TOP | TBS_ENABLESELRANGE,
                        165, 73, 185, 30, hwnd, (HMENU)(INT_PTR)ID_POSITION, appInstance, NULL);
    SendMessageA(IDC_POSITION, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageA(IDC_POSITION, TBM_SETTICFREQ, 2, 0);
    int edges[2] = {80, -1};
    SendMessageA(IDC_STATUS, SB_SETPARTS, 2, (LPARAM)edges);
    SetTimer(hwnd, TIMER_OPEN, TIMER_OPEN_MS, NULL);
    SetTimer(hwnd, TIMER_POLL, TIMER_POLL_MS, NULL);
}

/* Windows parks a minimised window out of sight, so its rectangle would bring
 * the next start back nowhere. Its placement keeps where it will be restored,
 * counted from the corner of its monitor's work area; that is turned back into
 * screen coordinates here. */
static void restoredRect(HWND hwnd, RECT* rect) {
    WINDOWPLACEMENT placement;
    MONITORINFO monitor;
    placement.length = sizeof placement;
    monitor.cbSize = sizeof monitor;
    if (!GetWindowPlacement(hwnd, &placement) ||
        !GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    LONG dx = monitor.rcWork.left - monitor.rcMonitor.left;
    LONG dy = monitor.rcWork.top - monitor.rcMonitor.top;
    rect->left = placement.rcNormalPosition.left + dx;
    rect->top = placement.rcNormalPosition.top + dy;
    rect->right = placement.rcNormalPosition.right + dx;
    rect->bottom = placement.rcNormalPosition.bottom + dy;
}

void onDestroy(HWND hwnd) {
    char reply[CMD_SIZE];
    KillTimer(hwnd, TIMER_POLL);
    sendCdCommand("stop cd", reply);
    sendCdCommand("close cd", reply);

    /* A minimised window is stored where it will be restored. */
    RECT rect;
    GetWindowRect(hwnd, &rect);
    if (IsIconic(hwnd)) restoredRect(hwnd, &rect);
    /* A window left far off to the right, beyond what a screen of the time could
     * show, comes back somewhere visible. */
    if (rect.left > 2000) {
        rect.left = 200;
        rect.top = 100;
        rect.right = 740;
        rect.bottom = 500;
    }
    writeSettingInt(KEY_TOP, rect.top);
    writeSettingInt(KEY_LEFT, rect.left);
    writeSettingInt(KEY_WIDTH, rect.right - rect.left);
    writeSettingInt(KEY_HEIGHT, rect.bottom - rect.top);

    /* The icon views have no columns and report 0: the stored widths stay. */
    int first = (int)SendMessageA(IDC_TRACKLIST, LVM_GETCOLUMNWIDTH, 0, 0);
    if (first != 0) {
        writeSettingInt(KEY_COLUMN1, first);
        writeSettingInt(KEY_COLUMN2, (int)SendMessageA(IDC_TRACKLIST, LVM_GETCOLUMNWIDTH, 1, 0));
        writeSettingInt(KEY_COLUMN3, (int)SendMessageA(IDC_TRACKLIST, LVM_GETCOLUMNWIDTH, 2, 0));
    }
    PostQuitMessage(0);
}
