// GetDriveTypeA and the drive table behind it.
#include "kernel32/drives.h"

#include <windows.h>

#include <map>

namespace winshim {

namespace {

DriveSource* g_source = nullptr;

std::map<char, std::string> readTable() {
    std::map<char, std::string> table;
    if (!g_source) return table;
    g_source->addDrives(table);
    g_source->addEntries(table);
    if (table.empty()) table['d'] = g_source->demoDisc();
    return table;
}

}  // namespace

bool DRIVES_IsTableLetter(char c) {
    return c >= 'd' && c <= 'z';
}

void DRIVES_SetSource(DriveSource* source) {
    g_source = source;
}

std::vector<DriveEntry> DRIVES_Table() {
    std::vector<DriveEntry> entries;
    for (const auto& [letter, source] : readTable()) entries.push_back({letter, source});
    return entries;
}

std::optional<DriveEntry> DRIVES_Lookup(char letter) {
    letter = char(letter | 0x20);
    if (!DRIVES_IsTableLetter(letter)) return std::nullopt;
    const std::map<char, std::string> table = readTable();
    const auto it = table.find(letter);
    if (it == table.end()) return std::nullopt;
    return DriveEntry{letter, it->second};
}

bool DRIVES_IsCdLetter(char lowerLetter) {
    return DRIVES_Lookup(lowerLetter).has_value();
}

}  // namespace winshim

namespace {
bool isSeparator(char c) {
    return c == '\\' || c == '/';
}
}  // namespace

extern "C" UINT WINAPI GetDriveTypeA(LPCSTR rootPath) {
    // No root means the current directory's drive, and the root of the
    // current drive is the same: both are c:, the fixed host root.
    if (!rootPath || (isSeparator(rootPath[0]) && rootPath[1] == '\0')) return DRIVE_FIXED;
    const char lower = char(rootPath[0] | 0x20);
    if (lower < 'a' || lower > 'z' || rootPath[1] != ':') return DRIVE_NO_ROOT_DIR;
    if (rootPath[2] != '\0' && !(isSeparator(rootPath[2]) && rootPath[3] == '\0')) return DRIVE_NO_ROOT_DIR;
    if (lower == 'c') return DRIVE_FIXED;
    return winshim::DRIVES_IsCdLetter(lower) ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
}
