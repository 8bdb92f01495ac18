// KERNEL32 CopyFileA: what it copies, when it refuses, and what it leaves of
// the file it would replace.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "test_support.h"

namespace {
TEST_F(FileTest, CopyFile) {
    struct Case {
        const char* label;
        std::string from;
        const char* source;  // nullptr: no source file
        const char* target;  // nullptr: no target file
        std::string to;
        BOOL failIfExists;
        bool copies;
        DWORD error;
        bool readOnlyTarget = false;
    };
    const Case cases[] = {
        {"to a new name", "s.lst", "titles\r\n", nullptr, "t.lst", TRUE, true, 0},
        {"to a new name, replacing allowed", "s.lst", "titles\r\n", nullptr, "t.lst", FALSE, true, 0},
        {"empty file", "s.lst", "", nullptr, "t.lst", TRUE, true, 0},
        {"over a file, replacing allowed", "s.lst", "titles\r\n", "old", "t.lst", FALSE, true, 0},
        {"over a file, refused", "s.lst", "titles\r\n", "old", "t.lst", TRUE, false, ERROR_FILE_EXISTS},
        {"over a read-only file", "s.lst", "titles\r\n", "old", "t.lst", FALSE, false, ERROR_ACCESS_DENIED, true},
        {"missing source", "s.lst", nullptr, nullptr, "t.lst", TRUE, false, ERROR_FILE_NOT_FOUND},
        {"missing source folder", "missing\\s.lst", nullptr, nullptr, "t.lst", TRUE, false, ERROR_PATH_NOT_FOUND},
        {"into a missing folder", "s.lst", "titles\r\n", nullptr, "missing\\t.lst", TRUE, false, ERROR_PATH_NOT_FOUND},
    };
    const bool readOnlyIgnored = wineIgnoresReadOnly();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.readOnlyTarget && readOnlyIgnored) continue;
        std::error_code ec;
        fs::permissions(host("t.lst"), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(host("t.lst"), ec);
        fs::remove(host("s.lst"), ec);
        if (c.source) make("s.lst", c.source);
        if (c.target) make("t.lst", c.target);
        if (c.readOnlyTarget) makeReadOnly("t.lst");
        SetLastError(0xDEAD);
        EXPECT_EQ(CopyFileA(path(c.from).c_str(), path(c.to).c_str(), c.failIfExists), c.copies ? TRUE : FALSE);
        if (c.copies) {
            EXPECT_EQ(contents("t.lst"), c.source);
        } else {
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(exists("t.lst"), c.target != nullptr);
            if (c.target) {
                EXPECT_EQ(contents("t.lst"), c.target);
            }
        }
        if (c.source) {
            EXPECT_EQ(contents("s.lst"), c.source) << "the source is left as it was";
        }
    }
}

TEST_F(FileTest, CopyFileCarriesTheReadOnlyAttributeAndRefusesFolders) {
    make("ro.lst", "kept\r\n");
    makeReadOnly("ro.lst");
    ASSERT_TRUE(CopyFileA(path("ro.lst").c_str(), path("copy.lst").c_str(), TRUE));
    EXPECT_EQ(contents("copy.lst"), "kept\r\n");
    EXPECT_NE(GetFileAttributesA(path("copy.lst").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    fs::create_directory(host("folder"));
    SetLastError(0xDEAD);
    EXPECT_FALSE(CopyFileA(path("folder").c_str(), path("f.lst").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(exists("f.lst"));
}

// A copy that is refused leaves no half-written file or temporary beside it.
TEST_F(FileTest, CopyFileLeavesNothingBesideTheTarget) {
    fs::create_directory(host("copies"));
    make("copies/s.lst", "titles\r\n");
    make("copies/t.lst", "old");
    EXPECT_FALSE(CopyFileA(path("copies\\s.lst").c_str(), path("copies\\t.lst").c_str(), TRUE));
    EXPECT_TRUE(CopyFileA(path("copies\\s.lst").c_str(), path("copies\\u.lst").c_str(), TRUE));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(host("copies"))) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"s.lst", "t.lst", "u.lst"}));
}
}  // namespace
