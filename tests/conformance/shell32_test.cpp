// SHELL32 SHGetFolderPathA: the user's roaming and local application data folders.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
std::string folderPath(int csidl, HRESULT* result = nullptr) {
    char buffer[MAX_PATH];
    std::memset(buffer, 'x', sizeof buffer);
    const HRESULT hr = SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
    if (result) *result = hr;
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

bool isAbsolute(const std::string& path) {
#ifdef _WIN32
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
#else
    return !path.empty() && path[0] == '/';
#endif
}

TEST(SHGetFolderPathA, UserFolders) {
    testsupport::ScratchHome home;
#ifndef _WIN32
    // Every Windows user has a local application data folder.
    fs::create_directory(home.path() + "/data");
#endif
    struct Case {
        const char* label;
        int csidl;
    };
    const Case cases[] = {
        {"roaming application data", CSIDL_APPDATA},
        {"roaming application data, created", CSIDL_APPDATA | CSIDL_FLAG_CREATE},
        {"local application data", CSIDL_LOCAL_APPDATA},
        {"local application data, created", CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HRESULT hr = E_FAIL;
        const std::string path = folderPath(c.csidl, &hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_TRUE(isAbsolute(path)) << path;
        EXPECT_TRUE(fs::is_directory(path)) << path;
        EXPECT_EQ(path, folderPath(c.csidl & ~CSIDL_FLAG_CREATE)) << "the same folder with or without creating it";
    }
    EXPECT_NE(folderPath(CSIDL_APPDATA), folderPath(CSIDL_LOCAL_APPDATA));
}

TEST(SHGetFolderPathA, RefusedRequestsLeaveTheBufferEmpty) {
    struct Case {
        const char* label;
        int csidl;
        DWORD flags;
    };
    const Case cases[] = {
        {"no such folder", 0x00ff, SHGFP_TYPE_CURRENT},
        {"no such flag", CSIDL_APPDATA, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char buffer[MAX_PATH] = "untouched";
        EXPECT_EQ(SHGetFolderPathA(nullptr, c.csidl, nullptr, c.flags, buffer), E_INVALIDARG);
        EXPECT_STREQ(buffer, "");
    }
}

#ifndef _WIN32
// winshim's own: roaming data is the XDG configuration home, which holds the
// Windows directory; local data is the XDG data home. Both follow the
// environment of each call and are made on request.
TEST(SHGetFolderPathA, WinshimFollowsTheBaseDirectories) {
    testsupport::ScratchHome home;
    const std::string data = home.path() + "/data";
    struct Case {
        int csidl;
        std::string folder;
    };
    const Case cases[] = {
        {CSIDL_APPDATA, home.path()},
        {CSIDL_LOCAL_APPDATA, data},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        fs::remove_all(c.folder);
        HRESULT hr = S_OK;
        EXPECT_EQ(folderPath(c.csidl, &hr), "");
        EXPECT_TRUE(FAILED(hr)) << "a missing folder is not made unasked";
        EXPECT_FALSE(fs::exists(c.folder));
        EXPECT_EQ(folderPath(c.csidl | CSIDL_FLAG_CREATE, &hr), c.folder);
        EXPECT_EQ(hr, S_OK);
        EXPECT_TRUE(fs::is_directory(c.folder));
    }
    EXPECT_EQ(fs::path(home.windowsDir()).parent_path(), fs::path(folderPath(CSIDL_APPDATA)));
}
#endif
}  // namespace
