// KERNEL32 file functions: CreateFileA's dispositions and access, ReadFile,
// WriteFile, FlushFileBuffers, CloseHandle, GetFileAttributesA, DeleteFileA,
// MoveFileExA and GetTempFileNameA, on paths written with backslashes too.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "test_support.h"

namespace {
TEST_F(FileTest, DispositionsOnExistingAndMissingFiles) {
    struct Case {
        DWORD disposition;
        bool existing;
        bool opens;
        DWORD error;
        const char* after;  // nullptr: no file
    };
    const Case cases[] = {
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_NEW, false, true, kAnyError, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, true, true, kAnyError, "old"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, true, true, kAnyError, ""},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(n++) + ".lst";
        SCOPED_TRACE("disposition " + std::to_string(c.disposition) + (c.existing ? " existing" : " missing"));
        if (c.existing) make(name, "old");
        SetLastError(0xDEAD);
        HANDLE h = open(name, GENERIC_READ | GENERIC_WRITE, c.disposition);
        const DWORD error = GetLastError();
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_NE(h, nullptr);
        if (c.error != kAnyError) {
            EXPECT_EQ(error, c.error);
        }
        if (h != INVALID_HANDLE_VALUE) close(h);
        EXPECT_EQ(exists(name), c.after != nullptr);
        if (c.after) {
            EXPECT_EQ(contents(name), c.after);
        }
    }
}

TEST_F(FileTest, PathsThatCannotBeOpened) {
    fs::create_directory(host("folder"));
    struct Case {
        std::string name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    };
    const Case cases[] = {
        {"missing\\a.lst", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"missing\\a.lst", GENERIC_WRITE, CREATE_NEW, ERROR_PATH_NOT_FOUND},
        {"missing\\a.lst", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"missing\\a.lst", GENERIC_WRITE, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"missing\\a.lst", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_PATH_NOT_FOUND},
        {"folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"folder", GENERIC_READ, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {"folder", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"folder", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {"a.lst", GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {"a.lst", GENERIC_READ, TRUNCATE_EXISTING + 1, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " disposition " + std::to_string(c.disposition));
        SetLastError(0xDEAD);
        EXPECT_EQ(open(c.name, c.access, c.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(fs::is_directory(host("folder")));
    EXPECT_FALSE(exists("a.lst"));

    SetLastError(0xDEAD);
    EXPECT_EQ(CreateFileA("", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

// The read-only attribute: readers still get the titles, writers are refused
// and the file stays as it was.
TEST_F(FileTest, ReadOnlyFileOpensForReadingOnly) {
    struct Case {
        DWORD access;
        DWORD disposition;
        bool opens;
    };
    const Case cases[] = {
        {GENERIC_READ, OPEN_EXISTING, true},       {GENERIC_READ, OPEN_ALWAYS, true},
        {GENERIC_WRITE, OPEN_EXISTING, false},     {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, false},
        {GENERIC_WRITE, OPEN_ALWAYS, false},       {GENERIC_WRITE, CREATE_ALWAYS, false},
        {GENERIC_WRITE, TRUNCATE_EXISTING, false},
    };
    if (wineIgnoresReadOnly()) GTEST_SKIP();
    make("ro.lst", "titles\r\n");
    makeReadOnly("ro.lst");
    for (const Case& c : cases) {
        SCOPED_TRACE("access " + std::to_string(c.access) + " disposition " + std::to_string(c.disposition));
        SetLastError(0xDEAD);
        HANDLE h = open("ro.lst", c.access, c.disposition);
        if (c.opens) {
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(readAll(h), "titles\r\n");
            close(h);
        } else {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        }
        EXPECT_EQ(contents("ro.lst"), "titles\r\n");
    }
}

TEST_F(FileTest, ReadAtEndOfFileSucceedsWithNothing) {
    make("three.lst", "abc");
    make("empty.lst", "");
    HANDLE h = open("three.lst", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buffer[16];
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    for (int again = 0; again < 2; ++again) {
        got = 99;
        EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
        EXPECT_EQ(got, 0u);
    }
    close(h);

    h = open("empty.lst", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    got = 99;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    got = 99;
    EXPECT_TRUE(ReadFile(h, buffer, 0, &got, nullptr));
    EXPECT_EQ(got, 0u);
}

TEST_F(FileTest, WrittenBytesReadBackExactly) {
    // Line ends, the old end-of-file mark, NULs and high bytes are data here.
    std::string bytes("Title\r\nSecond\n\r\x1a\0tail\xff\xfe", 23);
    for (int i = 0; i < 70000; ++i) bytes += char(i * 7 + i / 251);
    HANDLE h = open("binary.lst", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    EXPECT_TRUE(WriteFile(h, bytes.data() + 10, DWORD(bytes.size() - 10), &written, nullptr));
    EXPECT_EQ(written, bytes.size() - 10);
    EXPECT_TRUE(WriteFile(h, bytes.data(), 0, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(FlushFileBuffers(h));
    close(h);
    EXPECT_EQ(contents("binary.lst"), bytes);

    h = open("binary.lst", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(h), bytes);
}

TEST_F(FileTest, HandlesDoOnlyWhatTheyWereOpenedFor) {
    make("both.lst", "data");
    HANDLE reader = open("both.lst", GENERIC_READ, OPEN_EXISTING);
    HANDLE writer = open("both.lst", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_NE(reader, writer);
    char buffer[8];
    DWORD count = 99;
    SetLastError(0xDEAD);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, 0u);
    SetLastError(0xDEAD);
    EXPECT_FALSE(FlushFileBuffers(reader));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    count = 99;
    SetLastError(0xDEAD);
    EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, 0u);
    // Closing one handle leaves the other working.
    close(writer);
    EXPECT_EQ(readAll(reader), "data");
}

TEST_F(FileTest, InvalidHandlesAreRefused) {
    make("closed.lst", "x");
    HANDLE closed = open("closed.lst", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(closed, INVALID_HANDLE_VALUE);
    close(closed);
    const HANDLE handles[] = {nullptr, INVALID_HANDLE_VALUE, closed};
    for (HANDLE h : handles) {
        SCOPED_TRACE(testing::Message() << "handle " << h);
        char buffer[4];
        DWORD count = 99;
        SetLastError(0xDEAD);
        EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &count, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(count, 0u);
        SetLastError(0xDEAD);
        EXPECT_FALSE(WriteFile(h, "x", 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0xDEAD);
        EXPECT_FALSE(FlushFileBuffers(h));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
    // INVALID_HANDLE_VALUE is also the current process, which closes fine.
    for (HANDLE h : {HANDLE(nullptr), closed}) {
        SetLastError(0xDEAD);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
}

#ifndef _WIN32
// winshim's own promises, which Windows does not make.
TEST_F(FileTest, WinshimHandleValuesAreNeverReused) {
    make("reuse.lst", "x");
    HANDLE first = open("reuse.lst", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    close(first);
    for (int i = 0; i < 8; ++i) {
        HANDLE again = open("reuse.lst", GENERIC_READ, OPEN_EXISTING);
        EXPECT_NE(again, first);
        close(again);
    }
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(first, &count, 1, &count, nullptr));
}

TEST_F(FileTest, WinshimRefusesOverlappedIo) {
    make("ov.lst", "abc");
    HANDLE h = open("ov.lst", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped{};
    char buffer[4];
    SetLastError(0xDEAD);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0xDEAD);
    EXPECT_FALSE(WriteFile(h, "x", 1, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(contents("ov.lst"), "abc");
}

TEST_F(FileTest, NewFilesAreNotExecutableNorWritableByOthers) {
    HANDLE h = open("perm.lst", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    close(h);
    const fs::perms p = fs::status(host("perm.lst")).permissions();
    EXPECT_NE(p & fs::perms::owner_read, fs::perms::none);
    EXPECT_NE(p & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(p & (fs::perms::owner_exec | fs::perms::group_write | fs::perms::others_write), fs::perms::none);
}

TEST_F(FileTest, UnreadableFileIsAccessDenied) {
    make("secret.lst", "x");
    fs::permissions(host("secret.lst"), fs::perms::none);
    testsupport::asUnprivileged(home_.path(), [&] {
        SetLastError(0xDEAD);
        EXPECT_EQ(open("secret.lst", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    });
}
#endif

TEST_F(FileTest, FileAttributes) {
    make("plain.lst", "x");
    make("ro.lst", "x");
    makeReadOnly("ro.lst");
    fs::create_directory(host("folder"));
    struct Case {
        std::string name;
        DWORD attributes;  // of READONLY and DIRECTORY; INVALID_FILE_ATTRIBUTES on failure
        DWORD error;
    };
    const Case cases[] = {
        {"plain.lst", 0, 0},
        {"ro.lst", FILE_ATTRIBUTE_READONLY, 0},
        {"folder", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"folder\\", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"missing.lst", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"missing\\a.lst", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0xDEAD);
        const DWORD attributes = GetFileAttributesA(path(c.name).c_str());
        if (c.attributes == INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(GetLastError(), c.error);
        } else {
            ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY), c.attributes);
        }
    }
#ifndef _WIN32
    // Windows adds the archive bit to new files; here nothing else is set.
    EXPECT_EQ(GetFileAttributesA(path("plain.lst").c_str()), DWORD(FILE_ATTRIBUTE_NORMAL));
#endif
}

TEST_F(FileTest, DeleteFile) {
    make("doomed.lst", "x");
    make("ro.lst", "x");
    makeReadOnly("ro.lst");
    fs::create_directory(host("folder"));
    struct Case {
        std::string name;
        bool deletes;
        DWORD error;
        bool remains;
    };
    const Case cases[] = {
        {"doomed.lst", true, 0, false},
        {"doomed.lst", false, ERROR_FILE_NOT_FOUND, false},
        {"missing\\a.lst", false, ERROR_PATH_NOT_FOUND, false},
        {"ro.lst", false, ERROR_ACCESS_DENIED, true},
        {"folder", false, ERROR_ACCESS_DENIED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0xDEAD);
        EXPECT_EQ(DeleteFileA(path(c.name).c_str()), c.deletes ? TRUE : FALSE);
        if (!c.deletes) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(exists(c.name), c.remains);
    }
}

TEST_F(FileTest, MoveFileEx) {
    struct Case {
        const char* label;
        const char* target;  // nullptr: no target file
        std::string to;      // the new name
        DWORD flags;
        bool moves;
        DWORD error;
        bool readOnlyTarget = false;
    };
    const Case cases[] = {
        {"replace", "old", "t.lst", MOVEFILE_REPLACE_EXISTING, true, 0},
        {"replace, write through", "old", "t.lst", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, true, 0},
        {"replace, no target", nullptr, "t.lst", MOVEFILE_REPLACE_EXISTING, true, 0},
        {"plain, no target", nullptr, "t.lst", 0, true, 0},
        {"plain, write through", nullptr, "t.lst", MOVEFILE_WRITE_THROUGH, true, 0},
        {"plain onto a file", "old", "t.lst", 0, false, ERROR_ALREADY_EXISTS},
        {"replace a read-only file", "old", "t.lst", MOVEFILE_REPLACE_EXISTING, false, ERROR_ACCESS_DENIED, true},
        {"into a missing folder", nullptr, "missing\\t.lst", MOVEFILE_REPLACE_EXISTING, false, ERROR_PATH_NOT_FOUND},
    };
    const bool readOnlyIgnored = wineIgnoresReadOnly();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.readOnlyTarget && readOnlyIgnored) continue;
        std::error_code ec;
        fs::permissions(host("t.lst"), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(host("t.lst"), ec);
        make("s.tmp", "new\r\n");
        if (c.target) make("t.lst", c.target);
        if (c.readOnlyTarget) makeReadOnly("t.lst");
        SetLastError(0xDEAD);
        EXPECT_EQ(MoveFileExA(path("s.tmp").c_str(), path(c.to).c_str(), c.flags), c.moves ? TRUE : FALSE);
        if (c.moves) {
            EXPECT_FALSE(exists("s.tmp"));
            EXPECT_EQ(contents("t.lst"), "new\r\n");
        } else {
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(contents("s.tmp"), "new\r\n");
            EXPECT_EQ(exists("t.lst"), c.target != nullptr);
            if (c.target) {
                EXPECT_EQ(contents("t.lst"), c.target);
            }
        }
    }

    SetLastError(0xDEAD);
    EXPECT_FALSE(MoveFileExA(path("gone.tmp").c_str(), path("t.lst").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    fs::create_directory(host("folder"));
    SetLastError(0xDEAD);
    EXPECT_FALSE(MoveFileExA(path("s.tmp").c_str(), path("folder").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(exists("s.tmp"));
}

// The save: a temporary beside the target, written, flushed, closed and
// renamed over the old file.
TEST_F(FileTest, SaveThroughTemporaryAndRename) {
    fs::create_directory(host("lists"));
    make("lists/disc.lst", "old titles\r\n");
    char temp[MAX_PATH];
    const UINT number = GetTempFileNameA(path("lists").c_str(), "var", 0, temp);
    ASSERT_NE(number, 0u);
    EXPECT_EQ(GetFileAttributesA(temp) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));  // GetTempFileNameA made it
    const std::string bytes = "new titles\r\nsecond\r\n";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(contents("lists/disc.lst"), "old titles\r\n");
    EXPECT_TRUE(MoveFileExA(temp, path("lists\\disc.lst").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(contents("lists/disc.lst"), bytes);
    EXPECT_EQ(GetFileAttributesA(temp), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::distance(fs::directory_iterator(host("lists")), fs::directory_iterator()), 1);
}

TEST_F(FileTest, TempFileNames) {
    char first[MAX_PATH], second[MAX_PATH], named[MAX_PATH];
    const UINT a = GetTempFileNameA(dir_.c_str(), "varnel", 0, first);
    const UINT b = GetTempFileNameA(dir_.c_str(), "varnel", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(std::string(first), std::string(second));
    for (const char* name : {first, second}) {
        SCOPED_TRACE(name);
        const std::string s = name;
        // <dir><separator>var<hex>.tmp, created empty.
        ASSERT_GT(s.size(), dir_.size() + 1 + 3 + 4);
        EXPECT_EQ(s.substr(0, dir_.size()), dir_);
        EXPECT_TRUE(s[dir_.size()] == '\\' || s[dir_.size()] == '/');
        EXPECT_EQ(s.substr(dir_.size() + 1, 3), "var");
        EXPECT_TRUE(s.ends_with(".tmp") || s.ends_with(".TMP"));
        EXPECT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
        HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(readAll(h), "");
        CloseHandle(h);
        EXPECT_TRUE(DeleteFileA(name));
    }

    // A number of one's own: only the name is made.
    EXPECT_EQ(GetTempFileNameA(dir_.c_str(), "v", 0xBEEF, named), 0xBEEFu);
    std::string s = named;
    EXPECT_TRUE(s.ends_with("vBEEF.tmp") || s.ends_with("vBEEF.TMP") || s.ends_with("vbeef.tmp")) << s;
    EXPECT_EQ(GetFileAttributesA(named), INVALID_FILE_ATTRIBUTES);

    SetLastError(0xDEAD);
    EXPECT_EQ(GetTempFileNameA(path("missing").c_str(), "var", 0, named), 0u);
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST_F(FileTest, BackslashPathsReachFilesInFolders) {
    ASSERT_TRUE(CreateDirectoryA(path("a").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(path("a\\b").c_str(), nullptr));
    HANDLE h = open("a\\b\\c.lst", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "deep", 4, &written, nullptr));
    close(h);
    EXPECT_EQ(contents("a/b/c.lst"), "deep");
    EXPECT_EQ(GetFileAttributesA(path("a\\b").c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(MoveFileExA(path("a\\b\\c.lst").c_str(), path("a\\d.lst").c_str(), 0));
    EXPECT_EQ(contents("a/d.lst"), "deep");
    EXPECT_TRUE(DeleteFileA(path("a\\d.lst").c_str()));
    EXPECT_FALSE(exists("a/d.lst"));
}
}  // namespace
