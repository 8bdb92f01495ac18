/* The main window procedure: routing of messages and commands, layout,
 * painting and the view commands. */
#include "../device/device.h"
#include "../tracklist/tracklist.h"
#include "varnel.h"

void onCreate(HWND hwnd);
void onDestroy(HWND hwnd);

static void onSize(LPARAM lParam) {
    int width = LOWORD(lParam);
    int height = HIWORD(lParam);
    /* The first size change comes from inside creation, before the children exist. */
    /* Below 145 pixels of client height the list has no room left at all. */
    if (IDC_TRACKLIST) MoveWindow(IDC_TRACKLIST, 0, 125, width, height > 145 ? height - 145 : 0, TRUE);
    if (IDC_STATUS) MoveWindow(IDC_STATUS, 0, height - 18, width, 18, TRUE);
}

/* A two-pixel etched line under the menu bar: gray, then white. */
static void paintSeparator(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    int width = rect.right - rect.left;
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, 0, 1, NULL);
    LineTo(dc, width, 1);
    SelectObject(dc, separatorPen);
    MoveToEx(dc, 0, 0, NULL);
    LineTo(dc, width, 0);
    ReleaseDC(hwnd, dc);
}

static void setListView(LONG view) {
    LONG style = GetWindowLongA(IDC_TRACKLIST, GWL_STYLE);
    if ((style & LVS_TYPEMASK) == view) return;
    SetWindowLongA(IDC_TRACKLIST, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
}

/* The dialogs may have changed the drive or the disc's titles: the device is
 * opened afresh however the dialog was left. */
static void runDialog(HWND hwnd, int templateId, DLGPROC proc) {
    char reply[CMD_SIZE];
    DialogBoxParamA(appInstance, MAKEINTRESOURCE(templateId), hwnd, proc, 0);
    sendCdCommand("close cd", reply);
    openCdDevice(hwnd);
}

/* TRUE when the command was one of ours. */
static BOOL onCommand(HWND hwnd, WPARAM wParam) {
    switch (wParam) {
    case IDM_EXIT:
        DestroyWindow(hwnd);
        return TRUE;
    case IDC_PLAY:
        onPlayCommand(hwnd);
        return TRUE;
    case IDM_STOP:
        onStopCommand(hwnd);
        return TRUE;
    case IDC_PAUSE:
        onPauseCommand(hwnd);
        return TRUE;
    case IDC_EJECT:
        onEjectCommand(hwnd);
        return TRUE;
    case IDM_VIEW_LARGE_ICONS:
        setListView(LVS_ICON);
        return TRUE;
    case IDM_VIEW_SMALL_ICONS:
        setListView(LVS_SMALLICON);
        return TRUE;
    case IDM_VIEW_REPORT:
        setListView(LVS_REPORT);
        return TRUE;
    case IDM_VIEW_LIST:
        setListView(LVS_LIST);
        return TRUE;
    case IDM_SONG_LIST:
        runDialog(hwnd, IDD_LIST_EDITOR, ListEditorProc);
        return TRUE;
    case IDM_DRIVE:
        runDialog(hwnd, IDD_DRIVE, DriveDialogProc);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        onCreate(hwnd);
        return 0;
    case WM_DESTROY:
        onDestroy(hwnd);
        return 0;
    case WM_SIZE:
        onSize(lParam);
        return 0;
    case WM_PAINT:
        paintSeparator(hwnd);
        break;
    case WM_NOTIFY:
        return onListViewNotify(hwnd, msg, wParam, lParam);
    case WM_COMMAND:
        if (onCommand(hwnd, wParam)) return 0;
        break;
    case WM_TIMER:
        if (wParam == TIMER_OPEN)
            onOpenTimer(hwnd);
        else
            pollDevice(hwnd);
        return 0;
    case WM_HSCROLL:
        /* Only the end of a move seeks; dragging the thumb sends nothing. */
        if (wParam == TB_ENDTRACK) {
            seekToSlider(hwnd);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        onSysCommand(hwnd, wParam);
        break;
    case WM_DEVICECHANGE:
        onDeviceChange(hwnd, wParam);
        return 0;
    case WM_APPCOMMAND:
        if (onAppCommand(hwnd, GET_APPCOMMAND_LPARAM(lParam))) return TRUE;
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

ATOM registerMainClass(HINSTANCE instance) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCE(IDI_APP));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCE(IDR_MAINMENU);
    wc.lpszClassName = MAIN_CLASS_NAME;
    return RegisterClassA(&wc);
}

HWND createMainWindow(HINSTANCE instance) {
    appInstance = instance;
    return CreateDialogParamA(instance, MAKEINTRESOURCE(IDD_MAIN), NULL, NULL, 0);
}
