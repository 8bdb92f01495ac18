// libcdio finds the files an image's sheet names in ways of its own: for a cue
// sheet it reads the .bin named like the sheet, whatever its FILE line says;
// for a cdrdao sheet it takes relative FILE names from the current folder.
// Where that would miss, a private folder holds a sheet it reads right.
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/log.h"
#include "core/product.h"
#include "mcicda/disc_cdio.h"

namespace fs = std::filesystem;

namespace winshim {

namespace {
// Where the line names a file after `keyword` in quotes (or, in a cue sheet,
// bare): the name's first character and its length.
bool fileName(const std::string& line, const char* keyword, size_t* at, size_t* length) {
    const size_t key = line.find_first_not_of(" \t");
    const size_t n = std::strlen(keyword);
    if (key == std::string::npos || strncasecmp(line.c_str() + key, keyword, n) != 0) return false;
    if (line.size() <= key + n || (line[key + n] != ' ' && line[key + n] != '\t')) return false;
    const size_t name = line.find_first_not_of(" \t", key + n);
    if (name == std::string::npos) return false;
    if (line[name] == '"') {
        const size_t end = line.find('"', name + 1);
        if (end == std::string::npos) return false;
        *at = name + 1;
        *length = end - name - 1;
    } else {
        *at = name;
        *length = line.find_first_of(" \t\r", name) - name;
    }
    return *length > 0;
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

ImageSheet::ImageSheet(const std::string& sheet, driver_id_t driver) : path_(sheet) {
    std::error_code ec;
    const fs::path sheetPath = fs::absolute(sheet, ec);
    const fs::path folder = sheetPath.parent_path();
    if (driver == DRIVER_BINCUE) {
        std::istringstream lines(readText(sheet));
        std::string line;
        size_t at = 0, length = 0;
        while (std::getline(lines, line) && !fileName(line, "FILE", &at, &length)) {
        }
        if (!length) return;
        fs::path bin = line.substr(at, length);
        if (bin.is_relative()) bin = folder / bin;
        if (bin == fs::path(sheetPath).replace_extension(".bin") || !fs::exists(bin, ec)) return;
        if (!makeFolder()) return;
        fs::create_symlink(sheetPath, fs::path(dir_) / "disc.cue", ec);
        if (!ec) fs::create_symlink(bin, fs::path(dir_) / "disc.bin", ec);
        if (ec) return;
        path_ = dir_ + "/disc.cue";
    } else if (driver == DRIVER_CDRDAO) {
        std::istringstream lines(readText(sheet));
        std::string line, copy;
        bool changed = false;
        while (std::getline(lines, line)) {
            size_t at = 0, length = 0;
            for (const char* keyword : {"FILE", "AUDIOFILE", "DATAFILE"}) {
                if (!fileName(line, keyword, &at, &length) || line[at - 1] != '"' || line[at] == '/') continue;
                const std::string absolute = (folder / line.substr(at, length)).string();
                if (absolute.find_first_of("\"\\") != std::string::npos) continue;
                line.replace(at, length, absolute);
                changed = true;
                break;
            }
            copy += line + "\n";
        }
        if (!changed || !makeFolder()) return;
        std::ofstream out(dir_ + "/disc.toc");
        out << copy;
        out.close();
        if (out) path_ = dir_ + "/disc.toc";
    }
}

bool ImageSheet::makeFolder() {
    std::error_code ec;
    std::string pattern =
        (fs::temp_directory_path(ec) / (std::string(PRODUCT_FOLDER.data()) + "-sheet-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        WS_LOG("cdio", "no private folder for %s", path_.c_str());
        return false;
    }
    dir_ = pattern;
    return true;
}

ImageSheet::~ImageSheet() {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

}  // namespace winshim
