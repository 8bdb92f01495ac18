// libcdio reads a cue sheet's sectors from the .bin named like the cue sheet,
// whatever its FILE line says, so "Album.cue" naming "Album (1).bin" would not
// open. Where the names differ, a private folder holds links under names that agree.
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/log.h"
#include "mcicda/disc_cdio.h"

namespace fs = std::filesystem;

namespace winshim {

namespace {
// The file named by the sheet's first FILE line, or empty.
std::string firstFile(const std::string& cue) {
    std::ifstream in(cue);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.size() < at + 5 || strncasecmp(line.c_str() + at, "FILE", 4) != 0 ||
            (line[at + 4] != ' ' && line[at + 4] != '\t'))
            continue;
        const size_t name = line.find_first_not_of(" \t", at + 4);
        if (name == std::string::npos) return {};
        if (line[name] == '"') {
            const size_t end = line.find('"', name + 1);
            return end == std::string::npos ? std::string() : line.substr(name + 1, end - name - 1);
        }
        return line.substr(name, line.find_first_of(" \t\r", name) - name);
    }
    return {};
}
}  // namespace

CueLinks::CueLinks(const std::string& cue) : path_(cue) {
    const std::string file = firstFile(cue);
    if (file.empty()) return;
    std::error_code ec;
    const fs::path cuePath = fs::absolute(cue, ec);
    fs::path bin = file;
    if (bin.is_relative()) bin = cuePath.parent_path() / bin;
    if (bin == fs::path(cuePath).replace_extension(".bin") || !fs::exists(bin, ec)) return;
    std::string pattern = (fs::temp_directory_path(ec) / "varnel-cue-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    dir_ = pattern;
    fs::create_symlink(cuePath, fs::path(dir_) / "disc.cue", ec);
    if (!ec) fs::create_symlink(fs::absolute(bin, ec), fs::path(dir_) / "disc.bin", ec);
    if (ec) {
        WS_LOG("cdio", "%s: cannot link %s: %s", cue.c_str(), bin.c_str(), ec.message().c_str());
        return;
    }
    path_ = dir_ + "/disc.cue";
}

CueLinks::~CueLinks() {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

}  // namespace winshim
