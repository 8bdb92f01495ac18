#include "test_support.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

ScratchHome::ScratchHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadConfig_ = true;
        oldConfig_ = old;
    }
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
}

ScratchHome::~ScratchHome() {
    if (hadConfig_)
        setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {
bool g_deadline = false;
void CALLBACK deadline(HWND, UINT, UINT_PTR, DWORD) { g_deadline = true; }
}  // namespace

void pumpFor(unsigned ms) {
    g_deadline = false;
    UINT_PTR id = SetTimer(nullptr, 0, ms, deadline);
    MSG msg;
    while (!g_deadline && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    KillTimer(nullptr, id);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
}  // namespace testsupport
