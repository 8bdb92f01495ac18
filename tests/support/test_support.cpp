#include "test_support.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

#ifdef _WIN32
void asUnprivileged(const std::string&, const std::function<void()>& body) {
    body();
}

namespace {
std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

ScratchHome::ScratchHome() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (unsigned n = GetTickCount();; ++n) {
        path_ = std::string(temp) + "varnel-test-" + std::to_string(n);
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
    }
    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, sizeof windir);
    windowsDir_ = windir;
    windowsDirBefore_ = entriesOf(windowsDir_);
}

ScratchHome::~ScratchHome() {
    std::error_code ec;
    for (const std::string& entry : entriesOf(windowsDir_))
        if (!std::binary_search(windowsDirBefore_.begin(), windowsDirBefore_.end(), entry)) fs::remove_all(entry, ec);
    fs::remove_all(path_, ec);
}

bool runningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#else
ScratchHome::ScratchHome() {
    std::string pattern = (fs::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    windowsDir_ = path_ + "/varnel";
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadConfig_ = true;
        oldConfig_ = old;
    }
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    // The local application data folder, made only when a test asks for it.
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        hadData_ = true;
        oldData_ = old;
    }
    setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
}

ScratchHome::~ScratchHome() {
    if (hadConfig_)
        setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (hadData_)
        setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    fs::remove_all(path_, ec);
}

bool runningOnWine() {
    return false;
}

void asUnprivileged(const std::string& scratch, const std::function<void()>& body) {
    if (geteuid() != 0) return body();
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr) << "no user nobody to drop to";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    ASSERT_EQ(lchown(scratch.c_str(), uid, gid), 0) << scratch;
    for (const auto& entry : fs::recursive_directory_iterator(scratch))
        ASSERT_EQ(lchown(entry.path().c_str(), uid, gid), 0) << entry.path();
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as nobody: status " << status;
}
#endif

bool wineDeparts(const char* reason) {
    if (!runningOnWine()) return false;
    std::printf("[ WINE     ] departs from Windows, case left out: %s\n", reason);
    return true;
}

namespace {
bool g_deadline = false;
void CALLBACK deadline(HWND, UINT, UINT_PTR, DWORD) {
    g_deadline = true;
}
}  // namespace

void pumpFor(unsigned ms) {
    g_deadline = false;
    UINT_PTR id = SetTimer(nullptr, 0, ms, deadline);
    MSG msg;
    while (!g_deadline && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    KillTimer(nullptr, id);
}

bool pumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pumpFor(10);
    }
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
}  // namespace testsupport
