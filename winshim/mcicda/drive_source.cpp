// The disc layer's side of the drive table (kernel32/drives.h): the optical
// drives libcdio finds, what the entries of the drives folder name, and the
// bundled demo disc.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/log.h"
#include "core/product.h"
#include "kernel32/drives.h"
#include "kernel32/path.h"
#include "mcicda/disc_cdio.h"

namespace fs = std::filesystem;

namespace winshim {
namespace {

void addDrives(std::map<char, std::string>& table) {
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
        if (!DRIVES_IsTableLetter(letter)) break;
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
        if (!DRIVES_IsTableLetter(letter) || name[1] != ':') continue;
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

class CdioDriveSource : public DriveSource {
public:
    CdioDriveSource() { DRIVES_SetSource(this); }
    void addDrives(std::map<char, std::string>& table) override { winshim::addDrives(table); }
    void addEntries(std::map<char, std::string>& table) override { winshim::addEntries(table); }
    std::string demoDisc() override { return winshim::demoDisc(); }
};

// Never destroyed: the table may be read until the process ends.
CdioDriveSource* const g_source = new CdioDriveSource;

}  // namespace
}  // namespace winshim

// Named to the linker by winshim's build (--undefined), so that this object, and
// with it the source's registration, is in every program that links winshim.
extern "C" const char winshim_mcicda_drive_source = 0;
