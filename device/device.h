/* The command channel to the CD device and the rules by which its replies are
 * read; the transport, the poll and the seek; the Drive dialog. */
#ifndef VARNEL_DEVICE_H
#define VARNEL_DEVICE_H

#include "../app/platform.h"

/* Sends one command string with a reply buffer of CMD_SIZE bytes. The result
 * code is not looked at: a failed command leaves an empty reply. */
void sendCdCommand(const char* command, char* reply);
/* Formats a command with one number or one text and sends it; a command that
 * would not fit in CMD_SIZE - 1 characters is not sent and leaves an empty
 * reply. Returns FALSE when it was not sent. */
BOOL sendCdCommandInt(const char* format, int value, char* reply);
BOOL sendCdCommandText(const char* format, const char* value, char* reply);

/* Decimal reading: white space, one sign, digits; wraps modulo 2^32; 0 without digits. */
int readDecimal(const char* text);
/* The whole text equals the word, case-sensitive. */
BOOL exactMatch(const char* text, const char* word);
/* The first four characters equal the four-letter word. */
BOOL fourCharMatch(const char* text, const char* word);

/* The Drive dialog's procedure: the CD drives to choose from; closing it stores
 * the chosen one as the Drive setting. */
INT_PTR CALLBACK DriveDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

/* Transport commands. The state is the captions of IDC_PLAY and IDC_PAUSE. */
void onPlayCommand(HWND hwnd);
void onStopCommand(HWND hwnd);
void onPauseCommand(HWND hwnd);
void onEjectCommand(HWND hwnd);
/* WM_APPCOMMAND's media commands; FALSE for any other command. */
BOOL onAppCommand(HWND hwnd, int command);
/* Captions and enabled state of the playing transport. */
void showPlaying(HWND hwnd);

/* The position display and seeking. */
void pollDevice(HWND hwnd);
/* Plays from the slider's point in the current track. */
void seekToSlider(HWND hwnd);
void onSysCommand(HWND hwnd, WPARAM wParam);
/* Percent played of a track, and the point of a seek: 32-bit signed arithmetic
 * that wraps, quotients truncated toward zero. length must not be 0. */
int percentPlayed(int position, int start, int length);
int seekTarget(int start, int length, int point);

#endif
