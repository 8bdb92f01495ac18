// The scratch Windows directory the KERNEL32 file conformance tests share, with
// helpers that speak Windows paths.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
constexpr DWORD kAnyError = 0xFFFFFFFF;  // success whose last error Windows leaves open

// A scratch Windows directory with helpers that speak Windows paths.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char buffer[MAX_PATH];
        GetWindowsDirectoryA(buffer, sizeof buffer);
        dir_ = buffer;
    }
    void TearDown() override {
        for (HANDLE h : open_) CloseHandle(h);
        // Read-only files would stop the scratch folder's removal on Windows.
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    std::string path(const std::string& name) const { return dir_ + "\\" + name; }
    std::string host(const std::string& name) const { return dir_ + "/" + name; }
    void make(const std::string& name, const std::string& bytes) { testsupport::writeFile(host(name), bytes); }
    void makeReadOnly(const std::string& name) {
        fs::permissions(host(name), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    // Wine keeps the read-only attribute as the file's Unix permissions, which
    // do not bind root (as CI runs); Windows refuses the write whoever asks.
    bool wineIgnoresReadOnly() {
        make("probe.ro", "");
        makeReadOnly("probe.ro");
        HANDLE h = open("probe.ro", GENERIC_WRITE, OPEN_EXISTING);
        if (h == INVALID_HANDLE_VALUE) return false;
        close(h);
        return testsupport::wineDeparts("a read-only file opens for writing when Wine runs as root");
    }
    std::string contents(const std::string& name) const { return testsupport::readFile(host(name)); }
    bool exists(const std::string& name) const { return fs::exists(host(name)); }
    HANDLE open(const std::string& name, DWORD access, DWORD disposition) {
        HANDLE h = CreateFileA(path(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) open_.push_back(h);
        return h;
    }
    void close(HANDLE h) {
        std::erase(open_, h);
        EXPECT_TRUE(CloseHandle(h));
    }
    // Everything the handle reads, in small pieces to cross read boundaries.
    static std::string readAll(HANDLE h) {
        std::string all;
        char chunk[7];
        DWORD got = 0;
        while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) all.append(chunk, got);
        return all;
    }

    testsupport::ScratchHome home_;
    std::string dir_;
    std::vector<HANDLE> open_;
};
}  // namespace
