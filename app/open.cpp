#include "../app/varnel.h"
#include "../settings/settings.h"
#include "../tracklist/tracklist.h"
#include "device.h"

void showNoDisc(HWND hwnd) {
    SetDlgItemTextA(hwnd, IDC_DISC_ID, "");
    SendMessageA(IDC_TRACKLIST, LVM_DELETEALLITEMS, 0, 0);
    setStatusText(0, "No Disc");
}

void openCdDevice(HWND hwnd) {
    char drive[CMD_SIZE];
    char reply[CMD_SIZE];
    readDriveSetting(drive, sizeof drive);
    if (exactMatch(drive, ""))
        sendCdCommand("open cdaudio alias cd", reply);
    else
        sendCdCommandText("open cdaudio!%s alias cd", drive, reply);
    if (exactMatch(reply, "")) MessageBoxA(hwnd, "CD device is not available", "Error", MB_OK);

    sendCdCommand("status cd media present", reply);
    if (fourCharMatch(reply, "true"))
        fillDiscDisplay(hwnd);
    else
        showNoDisc(hwnd);
}

void onOpenTimer(HWND hwnd) {
    KillTimer(hwnd, TIMER_OPEN);
    openCdDevice(hwnd);
}
