/* The program-wide values, defined together. Beside each: the part that writes
 * it; everything else only reads. */
#include "varnel.h"

/* The entry point's instance, set as the main window is created (app/mainwnd.cpp). */
HINSTANCE appInstance;
/* The main window's run-time children and its separator pen: written only by
 * the main window's creation (app/create.cpp), which clears the three handles
 * before it makes the children. */
HWND IDC_TRACKLIST;
HWND IDC_STATUS;
HWND IDC_POSITION;
HPEN separatorPen;
/* The disc display's fill and a click on a row (tracklist/discdisplay.cpp), and
 * the poll (device/poll.cpp). */
int currentTrack;
/* The disc display's fill (tracklist/discdisplay.cpp), as the bound of its pass. */
int trackCount;
/* The poll and the seek (device/poll.cpp). */
int trackStart;

void setStatusText(int part, const char* text) {
    SendMessageA(IDC_STATUS, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
}
