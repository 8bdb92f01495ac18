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
