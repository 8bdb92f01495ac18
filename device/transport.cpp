/* Play, stop, pause, resume and eject. The transport's whole state lives in the
 * captions of the Play and Pause buttons: there is no playing or paused flag,
 * so the captions may disagree with the device (after the disc has played to
 * its end, for instance), and every toggle acts on the caption. */
#include "../app/varnel.h"
#include "device.h"

static BOOL captionIs(HWND hwnd, int id, const char* caption) {
    char text[CMD_SIZE];
    text[0] = '\0';
    GetDlgItemTextA(hwnd, id, text, sizeof text);
    return exactMatch(text, caption);
}

void showPlaying(HWND hwnd) {
    SetDlgItemTextA(hwnd, IDC_PLAY, "Stop");
    SetDlgItemTextA(hwnd, IDC_PAUSE, "Pause");
    EnableWindow(GetDlgItem(hwnd, IDC_PAUSE), TRUE);
}

void onPlayCommand(HWND hwnd) {
    char reply[CMD_SIZE];
    SetDlgItemTextA(hwnd, IDC_PAUSE, "Pause");
    if (captionIs(hwnd, IDC_PLAY, "Play")) {
        SetDlgItemTextA(hwnd, IDC_PLAY, "Stop");
        EnableWindow(GetDlgItem(hwnd, IDC_PAUSE), TRUE);
        sendCdCommand("set cd time format tmsf", reply);
        /* In tracks/minutes/seconds/frames a plain number is a track: the disc
         * plays from the start of that track to its end. */
        sendCdCommandInt("play cd from %d", currentTrack, reply);
    } else {
        SetDlgItemTextA(hwnd, IDC_PLAY, "Play");
        EnableWindow(GetDlgItem(hwnd, IDC_PAUSE), FALSE);
        sendCdCommand("stop cd", reply);
    }
}

void onStopCommand(HWND hwnd) {
    (void)hwnd;
    char reply[CMD_SIZE];
    sendCdCommand("stop cd", reply);
}

void onPauseCommand(HWND hwnd) {
    char reply[CMD_SIZE];
    if (captionIs(hwnd, IDC_PAUSE, "Pause")) {
        SetDlgItemTextA(hwnd, IDC_PAUSE, "Resume");
        sendCdCommand("pause cd", reply);
    } else {
        SetDlgItemTextA(hwnd, IDC_PAUSE, "Pause");
        /* Without a starting point the device plays on from where it stands. */
        sendCdCommand("play cd", reply);
    }
}

void onEjectCommand(HWND hwnd) {
    (void)hwnd;
    char reply[CMD_SIZE];
    sendCdCommand("status cd mode", reply);
    if (fourCharMatch(reply, "open"))
        sendCdCommand("set cd door closed", reply);
    else
        sendCdCommand("set cd door open", reply);
}

/* Media keys and the desktop's media controls act through the handlers above,
 * so the captions stay the transport's whole state. */
static void playCurrentTrack(HWND hwnd) {
    /* From Playing or Paused the toggle first stops; then it plays currentTrack. */
    if (!captionIs(hwnd, IDC_PLAY, "Play")) onPlayCommand(hwnd);
    onPlayCommand(hwnd);
}

/* The shown rows bound the step: a disc without tracks, or no disc, has none. */
static void stepTrack(HWND hwnd, int step) {
    int rows = (int)SendMessageA(IDC_TRACKLIST, LVM_GETITEMCOUNT, 0, 0);
    if (rows <= 0) return;
    int target = currentTrack + step;
    if (target < 1) target = 1;
    if (target > rows) target = rows;
    if (target == currentTrack) return;
    currentTrack = target;
    playCurrentTrack(hwnd);
}

BOOL onAppCommand(HWND hwnd, int command) {
    BOOL idle = captionIs(hwnd, IDC_PLAY, "Play");
    BOOL paused = !idle && captionIs(hwnd, IDC_PAUSE, "Resume");
    switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        if (idle)
            onPlayCommand(hwnd);
        else
            onPauseCommand(hwnd);
        return TRUE;
    case APPCOMMAND_MEDIA_PLAY:
        if (idle)
            onPlayCommand(hwnd);
        else if (paused)
            onPauseCommand(hwnd);
        return TRUE;
    case APPCOMMAND_MEDIA_PAUSE:
        if (!idle && !paused) onPauseCommand(hwnd);
        return TRUE;
    case APPCOMMAND_MEDIA_STOP:
        /* Idle captions need no change; the device is stopped all the same. */
        if (idle)
            onStopCommand(hwnd);
        else
            onPlayCommand(hwnd);
        return TRUE;
    case APPCOMMAND_MEDIA_NEXTTRACK:
        stepTrack(hwnd, 1);
        return TRUE;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
        stepTrack(hwnd, -1);
        return TRUE;
    }
    return FALSE;
}
