// KERNEL32 conformance: the Windows directory, CreateDirectoryA, drive types,
// MulDiv and the per-thread last error.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
TEST(GetWindowsDirectoryA, ReturnsLengthAndCreatesTheFolder) {
    testsupport::ScratchHome home;
#ifndef _WIN32
    // winshim's own: the folder is made on first use in a fresh home.
    ASSERT_FALSE(fs::exists(home.windowsDir()));
#endif
    char buffer[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), home.windowsDir());
    EXPECT_EQ(length, std::strlen(buffer));
    EXPECT_TRUE(fs::is_directory(home.windowsDir()));
}

#ifndef _WIN32
// winshim's own: the Windows directory lives in the user's configuration home.
TEST(GetWindowsDirectoryA, FollowsTheEnvironmentOfEachCall) {
    std::string first, second;
    char buffer[MAX_PATH];
    {
        testsupport::ScratchHome home;
        GetWindowsDirectoryA(buffer, sizeof buffer);
        first = buffer;
        EXPECT_EQ(first, home.windowsDir());
    }
    {
        testsupport::ScratchHome home;
        GetWindowsDirectoryA(buffer, sizeof buffer);
        second = buffer;
        EXPECT_EQ(second, home.windowsDir());
    }
    EXPECT_NE(first, second);
}
#endif

TEST(GetWindowsDirectoryA, BufferSizeRules) {
    testsupport::ScratchHome home;
    const UINT length = UINT(home.windowsDir().size());
    struct Case {
        UINT size;
        UINT result;
        bool filled;
    };
    const Case cases[] = {
        {length + 1, length, true},   // exactly room for the terminator
        {length + 50, length, true},  // plenty of room
        {length, length + 1, false},  // one short: size needed, terminator included
        {1, length + 1, false},      {0, length + 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        std::string buffer(length + 64, 'x');
        EXPECT_EQ(GetWindowsDirectoryA(buffer.data(), c.size), c.result);
        if (c.filled) {
            EXPECT_EQ(std::string(buffer.c_str()), home.windowsDir());
        } else {
            EXPECT_EQ(buffer, std::string(length + 64, 'x')) << "buffer touched";
        }
    }
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), length + 1);
}

TEST(CreateDirectoryA, ResultsAndErrors) {
    testsupport::ScratchHome home;
    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, sizeof windir);
    const std::string base = windir;
    testsupport::writeFile(base + "/plain.txt", "file");

    struct Case {
        std::string path;
        BOOL result;
        DWORD error;  // checked when the call fails
    };
    const Case cases[] = {
        {base + "\\CD Track Lists", TRUE, 0},
        {base + "\\CD Track Lists", FALSE, ERROR_ALREADY_EXISTS},
        {base + "\\plain.txt", FALSE, ERROR_ALREADY_EXISTS},
        {base + "\\missing\\child", FALSE, ERROR_PATH_NOT_FOUND},
        {base + "\\plain.txt\\child", FALSE, ERROR_PATH_NOT_FOUND},
        {"", FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateDirectoryA(c.path.c_str(), nullptr), c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    EXPECT_TRUE(fs::is_directory(base + "/CD Track Lists"));
    EXPECT_FALSE(fs::exists(base + "/missing"));
}

TEST(CreateDirectoryA, DeniedInAFolderThatCannotBeWritten) {
    testsupport::ScratchHome home;
    const std::string locked = home.path() + "/locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    testsupport::asUnprivileged(home.path(), [&] {
        std::error_code probeError;
        // Windows' own folders keep their writers out by access lists, which a test cannot set up.
        if (fs::create_directory(locked + "/probe", probeError)) {
            GTEST_SKIP() << "a read-only folder takes new entries on this system";
        }
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CreateDirectoryA((home.path() + "\\locked\\child").c_str(), nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    });
    fs::permissions(locked, fs::perms::owner_all);
}

TEST(GetDriveTypeA, Roots) {
    struct Case {
        const char* root;
        UINT type;
    };
    const Case cases[] = {
        {nullptr, DRIVE_FIXED},  // the current directory's drive
        {"c:", DRIVE_FIXED},       {"C:", DRIVE_FIXED},         {"c:\\", DRIVE_FIXED},      {"C:/", DRIVE_FIXED},
        {"e:", DRIVE_NO_ROOT_DIR}, {"y:\\", DRIVE_NO_ROOT_DIR}, {"A:/", DRIVE_NO_ROOT_DIR}, {"", DRIVE_NO_ROOT_DIR},
        {"cd", DRIVE_NO_ROOT_DIR}, {"1:", DRIVE_NO_ROOT_DIR},   {"c", DRIVE_NO_ROOT_DIR},   {":", DRIVE_NO_ROOT_DIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root ? c.root : "(null)");
        EXPECT_EQ(GetDriveTypeA(c.root), c.type);
    }
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndReportsOverflow) {
    struct Case {
        int number, numerator, denominator, result;
    };
    const Case cases[] = {
        {96, 72, 96, 72},     {3, 5, 2, 8},  // 7.5
        {-3, 5, 2, -8},       {3, -5, 2, -8},
        {3, 5, -2, -8},       {-3, -5, 2, 8},
        {-3, 5, -2, 8},       {1, 1, 3, 0},                          // 0.33
        {2, 1, 3, 1},                                                // 0.67
        {-2, 1, 3, -1},       {200, 96, 72, 267},                    // 266.67
        {0, -5, 2, 0},        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // the product needs 64 bits
        {1, 2, 0, -1},                                               // division by zero
        {INT_MAX, 2, 1, -1},                                         // overflow
        {-INT_MAX, 2, 1, -1}, {INT_MIN, -1, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " * " + std::to_string(c.numerator) + " / " +
                     std::to_string(c.denominator));
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result);
    }
}

TEST(LastError, BelongsToEachThread) {
    // The threads meet on an atomic only: starting or joining a thread may
    // itself set the last error.
    std::atomic<int> step{0};
    DWORD otherAtStart = 1, otherAtEnd = 0;
    std::thread other([&] {
        otherAtStart = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
        step = 1;
        while (step != 2) std::this_thread::yield();
        otherAtEnd = GetLastError();
    });
    SetLastError(ERROR_ALREADY_EXISTS);
    while (step != 1) std::this_thread::yield();
    const DWORD mine = GetLastError();
    step = 2;
    other.join();
    EXPECT_EQ(otherAtStart, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(otherAtEnd, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(mine, DWORD(ERROR_ALREADY_EXISTS));
}
}  // namespace
