/* Track list files (one per disc, named after its identity) and the disc
 * display of the main window. */
#ifndef VARNEL_TRACKLIST_H
#define VARNEL_TRACKLIST_H

#include "../app/varnel.h"

#define NAME_SIZE 16
#define READ_CHUNK 512

/* An open track list file with the reader's own buffer: the text conversion is
 * done here, so every platform reads the same bytes the same way. */
typedef struct TrackListFile {
    HANDLE handle;
    char buffer[READ_CHUNK];
    DWORD length;
    DWORD position;
    BOOL ended; /* end of the file, or a 0x1A byte, was reached */
} TrackListFile;

/* The file name from the reply of "info cd identity": upper-case hexadecimal. */
void trackListName(const char* identityReply, char* name, size_t size);
void trackListPath(const char* name, char* path, size_t size);
/* Opens for reading only, sharing read and write. FALSE when there is no file. */
BOOL openTrackList(const char* path, TrackListFile* file);
/* The next line, at most LINE_SIZE - 1 characters with its line feed, into a
 * LINE_SIZE buffer. FALSE at the end of the text. */
BOOL readTrackListLine(TrackListFile* file, char* line);
void closeTrackList(TrackListFile* file);
/* Drops the last character of the text. */
void trimLine(char* line);

/* The longest field that is written: 254 characters and the line end read back
 * as one line. */
#define MAX_FIELD 254

typedef struct TrackListWriter {
    HANDLE handle;
    BOOL failed;
    char target[PATH_SIZE];
    char temp[PATH_SIZE + 8];
} TrackListWriter;

/* Saving: begin (FALSE when the file cannot be written: nothing is changed), one
 * line per field (composer, album, then each title), end (TRUE only when every
 * byte reached the file and it replaced the old one; otherwise the old file
 * stays as it was). */
BOOL beginTrackList(const char* path, TrackListWriter* writer);
void writeTrackListLine(TrackListWriter* writer, const char* text);
BOOL endTrackList(TrackListWriter* writer);

/* The List Editor's dialog procedure. */
INT_PTR CALLBACK ListEditorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

void fillDiscDisplay(HWND hwnd);
/* Clears the disc identity and the track rows and shows "No Disc". */
void showNoDisc(HWND hwnd);
void appendTrackRow(const char* title, const char* time);
LRESULT onListViewNotify(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
