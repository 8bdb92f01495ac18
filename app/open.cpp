/* Opening the device on the configured drive and showing what it holds, when
 * the window has come up, after a dialog, and when a disc comes or goes. */
#include "../device/device.h"
#include "../settings/settings.h"
#include "../tracklist/tracklist.h"
#include "varnel.h"

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

void onDeviceChange(HWND hwnd, WPARAM event) {
    /* Any device counts, not only a disc: the description is not looked at. */
    switch (event) {
    case DBT_DEVICEARRIVAL:
        fillDiscDisplay(hwnd);
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        showNoDisc(hwnd);
        setStatusText(1, "");
        break;
    }
}
