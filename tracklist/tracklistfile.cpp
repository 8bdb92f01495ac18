#include "../app/varnel.h"
#include "../device/device.h"
#include "../settings/settings.h"
#include "tracklist.h"

#define CHAR_EOF 0x1A

void trackListName(const char* identityReply, char* name, size_t size) {
    snprintf(name, size, "%X", (unsigned int)readDecimal(identityReply));
}

void trackListPath(const char* name, char* path, size_t size) {
    char relative[PATH_SIZE];
    joinText(relative, sizeof relative, TRACKLIST_DIR "\\", name);
    dataPath(relative, path, size);
}

BOOL openTrackList(const char* path, TrackListFile* file) {
    /* Reading only: a file the user has made read-only still shows its titles. */
    file->handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    file->length = 0;
    file->position = 0;
    file->ended = FALSE;
    return file->handle != INVALID_HANDLE_VALUE;
}

void closeTrackList(TrackListFile* file) {
    if (file->handle != INVALID_HANDLE_VALUE) CloseHandle(file->handle);
    file->handle = INVALID_HANDLE_VALUE;
}

/* The next raw byte without taking it, or -1 at the end of the file. */
static int peekByte(TrackListFile* file) {
    if (file->position == file->length) {
        DWORD got = 0;
        if (!ReadFile(file->handle, file->buffer, sizeof file->buffer, &got, NULL)) got = 0;
        file->length = got;
        file->position = 0;
        if (got == 0) return -1;
    }
    return (unsigned char)file->buffer[file->position];
}

/* The next character of the text: CR LF reads as LF, 0x1A ends the text. */
static int nextChar(TrackListFile* file) {
    if (file->ended) return -1;
    int c = peekByte(file);
    if (c >= 0) file->position++;
    if (c == '\r' && peekByte(file) == '\n') {
        file->position++;
        return '\n';
    }
    if (c < 0 || c == CHAR_EOF) {
        file->ended = TRUE;
        return -1;
    }
    return c;
}

BOOL readTrackListLine(TrackListFile* file, char* line) {
    int count = 0;
    while (count < LINE_SIZE - 1) {
        int c = nextChar(file);
        if (c < 0) break;
        line[count++] = (char)c;
        if (c == '\n') break;
    }
    /* A NUL taken from the file ends the text there. */
    line[count] = '\0';
    return count > 0;
}

void trimLine(char* line) {
    size_t length = strlen(line);
    if (length > 0) line[length - 1] = '\0';
}
