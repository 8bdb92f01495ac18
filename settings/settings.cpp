#include "settings.h"

#include "../app/varnel.h"

/* Built once, as the main window is created; every read and write names it. */
static char settingsPath[PATH_SIZE];

void joinText(char* out, size_t size, const char* first, const char* second) {
    snprintf(out, size, "%s%s", first, second);
}

void buildSettingsPath(void) {
    dataPath(SETTINGS_FILE_NAME, settingsPath, sizeof settingsPath);
}

int readSettingInt(const char* key, int defaultValue) {
    /* The profile reader hands back the signed value in an unsigned type. */
    return (int)GetPrivateProfileIntA(SETTINGS_SECTION, key, defaultValue, settingsPath);
}

void writeSettingInt(const char* key, int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(SETTINGS_SECTION, key, text, settingsPath);
}

void readDriveSetting(char* buffer, DWORD size) {
    GetPrivateProfileStringA(SETTINGS_SECTION, KEY_DRIVE, "", buffer, size, settingsPath);
}

void writeDriveSetting(const char* drive) {
    WritePrivateProfileStringA(SETTINGS_SECTION, KEY_DRIVE, drive, settingsPath);
}
