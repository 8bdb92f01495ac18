/* The poll that shows the device's mode, current track and progress; the seek
 * from the slider; polling paused while minimised. */
#include "../app/varnel.h"
#include "device.h"

/* 32-bit signed arithmetic that wraps instead of overflowing. */
static int wrapMul(int a, int b) {
    return (int)((unsigned int)a * (unsigned int)b);
}

static int wrapAdd(int a, int b) {
    return (int)((unsigned int)a + (unsigned int)b);
}

static int wrapSub(int a, int b) {
    return (int)((unsigned int)a - (unsigned int)b);
}

/* Truncates toward zero; the one quotient that does not fit wraps as well. */
static int wrapDiv(int a, int b) {
    if (b == -1) return (int)(0u - (unsigned int)a);
    return a / b;
}

int percentPlayed(int position, int start, int length) {
    return wrapDiv(wrapMul(wrapSub(position, start), 100), length);
}

int seekTarget(int start, int length, int point) {
    return wrapAdd(start, wrapMul(length, point) / 100);
}

/* The length and the start of the current track, in milliseconds. */
static void readCurrentTrack(int* length, int* start) {
    char reply[CMD_SIZE];
    sendCdCommand("set cd time format milliseconds", reply);
    sendCdCommandInt("status cd length track %d", currentTrack, reply);
    *length = readDecimal(reply);
    sendCdCommandInt("status cd position track %d", currentTrack, reply);
    *start = readDecimal(reply);
}

void pollDevice(HWND hwnd) {
    (void)hwnd;
    char reply[CMD_SIZE];
    sendCdCommand("status cd media present", reply);
    /* Without a disc everything shown stays as it was. */
    if (!exactMatch(reply, "true")) return;

    char status[CMD_SIZE];
    sendCdCommand("status cd mode", reply);
    sendCdCommand("status cd current track", status);
    currentTrack = readDecimal(status);
    /* A long mode reply is cut to what the status buffer holds. */
    int full = snprintf(status, sizeof status, "%s, track %d", reply, currentTrack);
    if (full < 0) status[0] = '\0';
    setStatusText(1, status);

    int length;
    readCurrentTrack(&length, &trackStart);
    sendCdCommand("status cd position", reply);
    int position = readDecimal(reply);
    /* An unreadable or empty track gives no percent: the slider stays. */
    if (length == 0) return;
    int percent = percentPlayed(position, trackStart, length);
    SendMessageA(IDC_POSITION, TBM_SETSEL, TRUE, (LPARAM)MAKELONG(0, (WORD)percent));
    SendMessageA(IDC_POSITION, TBM_SETPOS, TRUE, (LPARAM)percent);
}

void seekToSlider(HWND hwnd) {
    char reply[CMD_SIZE];
    int point = (int)SendMessageA(IDC_POSITION, TBM_GETPOS, 0, 0);
    int length;
    readCurrentTrack(&length, &trackStart);
    sendCdCommandInt("play cd from %d", seekTarget(trackStart, length, point), reply);
    showPlaying(hwnd);
}

void onSysCommand(HWND hwnd, WPARAM wParam) {
    /* The four low bits are the window system's own. */
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
        KillTimer(hwnd, TIMER_POLL);
        break;
    case SC_RESTORE:
        /* A running timer (restore from maximised) only starts its interval anew. */
        SetTimer(hwnd, TIMER_POLL, TIMER_POLL_MS, NULL);
        break;
    }
}
