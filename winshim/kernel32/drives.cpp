// GetDriveTypeA and the drive table behind it.
#include "kernel32/drives.h"

#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/log.h"
#include "core/product.h"
#include "kernel32/path.h"
#include "mcicda/disc_cdio.h"

namespace fs = std::filesystem;

namespace winshim {

namespace {

// Letters the table may hand out: a: and b: were floppies and c: is the fixed root.
bool isTableLetter(char c) {
    return c >= 'd' && c <= 'z';
}

void addDevices(std::map<char, std::string>& table) {
    DISC_InstallLogHandler();
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    std::vector<std::string> nodes;
    for (char** d = devices; d && *d; ++d) {
        // The same drive is often listed under an alias (/dev/cdrom) too.
        std::error_code ec;
        const fs::path real = fs::canonical(*d, ec);
        nodes.push_back(ec ? std::string(*d) : real.string());
    }
    cdio_free_device_list(devices);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    char letter = 'd';
    for (const std::string& node : nodes) {
        if (!isTableLetter(letter)) break;
        table[letter++] = node;
    }
}

// What an entry of the drives folder names: a symlink's target, or a file's first line.
// Relative names are taken from the drives folder.
std::optional<std::string> entrySource(const fs::directory_entry& entry) {
    std::error_code ec;
    fs::path target;
    if (entry.is_symlink(ec)) {
        // Resolved fully, so a cue sheet finds its .bin beside the real file.
        target = fs::canonical(entry.path(), ec);
        if (ec) target = fs::read_symlink(entry.path(), ec);
        if (ec) return std::nullopt;
    } else if (entry.is_regular_file(ec)) {
        std::ifstream in(entry.path());
        std::string line;
        std::getline(in, line);
        const size_t end = line.find_last_not_of(" \t\r");
        const size_t begin = line.find_first_not_of(" \t");
        if (end == std::string::npos) return std::nullopt;
        target = line.substr(begin, end - begin + 1);
    } else {
        return std::nullopt;
    }
    if (target.is_relative()) target = entry.path().parent_path() / target;
    return target.lexically_normal().string();
}

void addEntries(std::map<char, std::string>& table) {
    const fs::path dir = fs::path(PATH_WindowsDirectory()) / "drives";
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const char letter = name.size() == 2 ? char(name[0] | 0x20) : 0;
        if (!isTableLetter(letter) || name[1] != ':') continue;
        if (const std::optional<std::string> source = entrySource(*it)) {
            table[letter] = *source;
        } else {
            WS_LOG("file", "drives/%s names no disc", name.c_str());
        }
    }
}

// share/varnel/demo.cue (the product's folder) beside the program, in a folder up to three levels
// above it (a build tree), else where an install puts it.
std::string demoDisc() {
    std::error_code ec;
    const fs::path exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    const fs::path relative = fs::path("share") / PRODUCT_FOLDER.data() / "demo.cue";
    fs::path dir = exeDir;
    for (int up = 0; up <= 3; ++up, dir = dir.parent_path()) {
        if (fs::is_regular_file(dir / relative, ec)) return (dir / relative).string();
        if (!dir.has_relative_path()) break;
    }
    return (exeDir.parent_path() / relative).string();
}

std::map<char, std::string> readTable() {
    std::map<char, std::string> table;
    addDevices(table);
    addEntries(table);
    if (table.empty()) table['d'] = demoDisc();
    return table;
}

}  // namespace

std::vector<DriveEntry> DRIVES_Table() {
    std::vector<DriveEntry> entries;
    for (const auto& [letter, source] : readTable()) entries.push_back({letter, source});
    return entries;
}

std::optional<DriveEntry> DRIVES_Lookup(char letter) {
    letter = char(letter | 0x20);
    if (!isTableLetter(letter)) return std::nullopt;
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
