/* Identifiers of the program's resources, controls and commands. Shared by the
 * resource script and the program's code. */
#ifndef VARNEL_RESOURCE_H
#define VARNEL_RESOURCE_H

/* Resources */
#define IDD_MAIN 101
#define IDI_APP 102
#define IDR_MAINMENU 104
#define IDD_LIST_EDITOR 105
#define IDD_DRIVE 106

/* Main window controls; the three buttons are also menu commands */
#define IDC_PLAY 1001
#define IDC_COMPOSER 1003
#define IDC_ALBUM 1004
#define IDC_DISC_ID 1009
#define IDC_PAUSE 40002
#define IDC_EJECT 40003

/* List Editor controls */
#define IDC_TITLE_LIST 1000
#define IDC_SAVE 1010
#define IDC_CLOSE 1011
#define IDC_EDIT_COMPOSER 1012
#define IDC_EDIT_ALBUM 1013
#define IDC_TRACK_COUNT 1014
#define IDC_EDIT_TRACK 1017
#define IDC_ADD 1018

/* Drive dialog controls */
#define IDC_DRIVE_LIST 1020

/* Menu-only commands */
#define IDM_STOP 1002
#define IDM_EXIT 40001
#define IDM_CLOSE 40004
#define IDM_ABOUT 40005
#define IDM_VIEW_LARGE_ICONS 40006
#define IDM_VIEW_SMALL_ICONS 40007
#define IDM_VIEW_REPORT 40008
#define IDM_VIEW_LIST 40009
#define IDM_SONG_LIST 40010
#define IDM_DRIVE 40011
#define IDM_HELP_CONTENTS 57670

#endif
