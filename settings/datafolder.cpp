/* Where the settings file and the track list files are kept. The Windows
 * directory, where it can be written. On Windows a standard user (and an
 * administrator who has not elevated) may not write there, and a 64-bit program
 * gets no file virtualization: such a user's files go to a "Varnel" folder in
 * the user's roaming application data, under the same names. Whatever an earlier
 * build kept in the Windows directory, or in the VirtualStore copy of it that
 * virtualization kept for a 32-bit build, is copied there when first needed, so
 * no title is lost. The folder is chosen once, at start, and every file of the
 * run lies in it. */
#include "../app/varnel.h"
#include "settings.h"

#define PROBE_NAME "\\Varnel write check.tmp"
#define USER_FOLDER "\\Varnel"
#define VIRTUAL_STORE "\\VirtualStore"
#define OLDER_FOLDERS 2

static char dataFolder[PATH_SIZE];
/* Where an earlier build may have kept the files, most recent first. */
static char olderFolders[OLDER_FOLDERS][PATH_SIZE];
static int olderCount;

/* Whether a file can be created there: the test that counts, since Windows
 * denies a standard user exactly that in its own directory. */
static BOOL canCreateFileIn(const char* folder) {
    char probe[PATH_SIZE];
    joinText(probe, sizeof probe, folder, PROBE_NAME);
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(file);
    DeleteFileA(probe);
    return TRUE;
}

/* One of the user's own folders followed by the suffix; FALSE when there is none. */
static BOOL userFolder(int csidl, const char* suffix, char* out, size_t size) {
    char base[MAX_PATH];
    if (SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, base) != S_OK) return FALSE;
    if (strlen(base) + strlen(suffix) >= size) return FALSE;
    joinText(out, size, base, suffix);
    return TRUE;
}

/* Virtualization kept C:\Windows\x as <local application data>\VirtualStore\Windows\x. */
static void addVirtualStoreCopy(const char* windowsDir) {
    if (windowsDir[0] == '\0' || windowsDir[1] != ':') return;
    char store[PATH_SIZE];
    if (!userFolder(CSIDL_LOCAL_APPDATA, VIRTUAL_STORE, store, sizeof store)) return;
    if (strlen(store) + strlen(windowsDir + 2) >= sizeof store) return;
    joinText(olderFolders[olderCount], PATH_SIZE, store, windowsDir + 2);
    olderCount++;
}

void chooseDataFolder(void) {
    char windowsDir[PATH_SIZE];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) windowsDir[0] = '\0';
    joinText(dataFolder, sizeof dataFolder, windowsDir, "");
    olderCount = 0;

    char own[PATH_SIZE];
    if (!canCreateFileIn(windowsDir) && userFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE, USER_FOLDER, own, sizeof own)) {
        CreateDirectoryA(own, NULL);
        if (canCreateFileIn(own)) {
            joinText(dataFolder, sizeof dataFolder, own, "");
            addVirtualStoreCopy(windowsDir);
            joinText(olderFolders[olderCount++], PATH_SIZE, windowsDir, "");
        }
    }

    char trackListDir[PATH_SIZE];
    joinText(trackListDir, sizeof trackListDir, dataFolder, TRACKLIST_DIR);
    CreateDirectoryA(trackListDir, NULL);
}

void dataPath(const char* relative, char* path, size_t size) {
    joinText(path, size, dataFolder, relative);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
    for (int i = 0; i < olderCount; i++) {
        char older[PATH_SIZE];
        joinText(older, sizeof older, olderFolders[i], relative);
        /* Never over a file of the user's own: a copy only where there is none. */
        if (CopyFileA(older, path, TRUE)) return;
    }
}
