/* Writing a track list file. The new text goes to a file beside the target that
 * is renamed over it once it is complete, so a failed save never leaves half a
 * list, and the old one stays whenever anything goes wrong. */
#include "../app/varnel.h"
#include "tracklist.h"

#define TEMP_SUFFIX ".new"

BOOL beginTrackList(const char* path, TrackListWriter* writer) {
    writer->handle = INVALID_HANDLE_VALUE;
    writer->failed = FALSE;
    if (snprintf(writer->target, sizeof writer->target, "%s", path) >= (int)sizeof writer->target) return FALSE;
    if (snprintf(writer->temp, sizeof writer->temp, "%s" TEMP_SUFFIX, path) >= (int)sizeof writer->temp) return FALSE;

    /* The target must be writable too: the rename would otherwise replace a
     * file the user protected. */
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
        HANDLE probe = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
        if (probe == INVALID_HANDLE_VALUE) return FALSE;
        CloseHandle(probe);
    }
    writer->handle = CreateFileA(writer->temp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    return writer->handle != INVALID_HANDLE_VALUE;
}

static void writeBytes(TrackListWriter* writer, const char* bytes, DWORD count) {
    DWORD written = 0;
    if (writer->failed || count == 0) return;
    if (!WriteFile(writer->handle, bytes, count, &written, NULL) || written != count) writer->failed = TRUE;
}

void writeTrackListLine(TrackListWriter* writer, const char* text) {
    /* At most 254 characters: with its line end the line still reads back
     * whole, so no later title moves to another track. */
    size_t length = strlen(text);
    if (length > MAX_FIELD) length = MAX_FIELD;
    writeBytes(writer, text, (DWORD)length);
    writeBytes(writer, "\r\n", 2);
}

BOOL endTrackList(TrackListWriter* writer) {
    if (writer->handle == INVALID_HANDLE_VALUE) return FALSE;
    if (!FlushFileBuffers(writer->handle)) writer->failed = TRUE;
    if (!CloseHandle(writer->handle)) writer->failed = TRUE;
    writer->handle = INVALID_HANDLE_VALUE;
    if (!writer->failed && MoveFileExA(writer->temp, writer->target, MOVEFILE_REPLACE_EXISTING)) return TRUE;
    DeleteFileA(writer->temp);
    return FALSE;
}
