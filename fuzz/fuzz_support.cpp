#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzz {
namespace {
void removeScratch() {
    std::error_code ec;
    std::filesystem::remove_all(scratch(), ec);
}
}  // namespace

const std::string& scratch() {
    // Never destroyed: removing the folder at exit still needs its name.
    static const std::string* dir = [] {
        auto* pattern = new std::string((std::filesystem::temp_directory_path() / "varnel-fuzz-XXXXXX").string());
        if (!mkdtemp(pattern->data())) fail("no scratch folder");
        setenv("XDG_CONFIG_HOME", pattern->c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("WINSHIM_AUDIO", "null", 1);
        std::atexit(removeScratch);
        return pattern;
    }();
    return *dir;
}

std::string writeScratch(const std::string& name, std::string_view bytes) {
    const std::string path = scratch() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

void fail(const std::string& what) {
    std::fprintf(stderr, "property broken: %s\n", what.c_str());
    std::abort();
}
}  // namespace fuzz
