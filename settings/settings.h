/* The settings file: one private-profile file in the data folder, one
 * section. Every value is read from the file when it is needed and written back
 * through the profile functions; the program keeps no copy. */
#ifndef VARNEL_SETTINGS_H
#define VARNEL_SETTINGS_H

#include "../app/platform.h"

#define SETTINGS_FILE_NAME "\\Ostrovane.ini"
#define TRACKLIST_DIR "\\CD Track Lists"
#define SETTINGS_SECTION "Varnel"

#define KEY_LEFT "Left"
#define KEY_TOP "Top"
#define KEY_WIDTH "Width"
#define KEY_HEIGHT "Height"
#define KEY_COLUMN1 "Column1"
#define KEY_COLUMN2 "Column2"
#define KEY_COLUMN3 "Column3"
#define KEY_DRIVE "Drive"

#define DEFAULT_LEFT 200
#define DEFAULT_TOP 160
#define DEFAULT_WIDTH 400
#define DEFAULT_HEIGHT 400
#define DEFAULT_COLUMN1 85
#define DEFAULT_COLUMN2 245
#define DEFAULT_COLUMN3 80

/* Joins two texts into a buffer of `size` bytes, cutting what does not fit. */
void joinText(char* out, size_t size, const char* first, const char* second);
/* Chooses the folder that keeps the settings file and CD Track Lists for this
 * run (the Windows directory where it can be written, else the user's own
 * application data folder) and makes sure CD Track Lists exists in it. First
 * step of window creation. */
void chooseDataFolder(void);
/* A file in the data folder: `relative` starts with a backslash. Where the data
 * folder is the user's own and the file is not there yet, one that an earlier
 * build kept in the Windows directory (or its VirtualStore copy) is copied in
 * first. */
void dataPath(const char* relative, char* path, size_t size);

/* Builds settingsPath in the data folder, right after it is chosen. */
void buildSettingsPath(void);
int readSettingInt(const char* key, int defaultValue);
void writeSettingInt(const char* key, int value);
/* The Drive value, at most size - 1 characters; empty when absent. */
void readDriveSetting(char* buffer, DWORD size);
void writeDriveSetting(const char* drive);

#endif
