/* Program-wide values and the procedures that the parts of the program share. */
#ifndef VARNEL_VARNEL_H
#define VARNEL_VARNEL_H

#include "platform.h"

#define MAIN_CLASS_NAME "Varnel"

#define TIMER_OPEN 1
#define TIMER_POLL 2
#define TIMER_OPEN_MS 500
#define TIMER_POLL_MS 3000

/* Buffer sizes: device commands and replies, text lines, paths. */
#define CMD_SIZE 64
#define LINE_SIZE 256
#define PATH_SIZE 260

/* Control identifiers (numbers) of the run-time children. */
#define ID_STATUS 2
#define ID_POSITION 11

/* The program-wide values (app/varnel.cpp says who writes each). The three
 * IDC_ names below hold window handles, not identifiers like those of
 * resource.h: the run-time children have no identifier of their own there. */
extern HINSTANCE appInstance;
extern HWND IDC_TRACKLIST;
extern HWND IDC_STATUS;
extern HWND IDC_POSITION;
extern HPEN separatorPen;
extern int currentTrack;
extern int trackCount;
extern int trackStart;

/* The status bar: part 0 tells of the disc, part 1 of the drive's mode. */
void setStatusText(int part, const char* text);

/* app/open.cpp: the device opened on the configured drive, and the disc it
 * holds shown, or "No Disc". */
void openCdDevice(HWND hwnd);
/* TIMER_OPEN's one expiry. */
void onOpenTimer(HWND hwnd);
/* A device arrived (the disc is shown) or was removed (the display cleared). */
void onDeviceChange(HWND hwnd, WPARAM event);

/* app/mainwnd.cpp */
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
ATOM registerMainClass(HINSTANCE instance);
HWND createMainWindow(HINSTANCE instance);

#endif
