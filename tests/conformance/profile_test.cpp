// Private-profile conformance: GetPrivateProfileIntA, GetPrivateProfileStringA
// and WritePrivateProfileStringA against the behaviour of Windows.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {
// The same text with each "\n" replaced by the given line end.
std::string withEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += end;
        else
            out += c;
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        out.push_back(text.substr(at, end - at));
    }
    return out;
}

// Checks a write to a file whose lines end in mixed ways: `base` (lines ending in
// "\n") was written with line i ending in ends[i % 3], and the edit should give
// `expected`. Lines that `expected` shares with the start or the end of `base` keep
// their bytes, line ends included; the written lines between them may end in any way.
void expectMixedEdit(const std::string& actual, const std::string& base, const std::string& expected,
                     const std::vector<std::string>& ends) {
    const std::vector<std::string> b = lines(base), e = lines(expected);
    std::size_t head = 0, tail = 0;
    while (head < e.size() && head < b.size() && e[head] == b[head]) ++head;
    while (tail < e.size() - head && tail < b.size() - head && e[e.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    std::string prefix, suffix;
    for (std::size_t i = 0; i < head; ++i) prefix += b[i] + ends[i % 3];
    for (std::size_t i = b.size() - tail; i < b.size(); ++i) suffix += b[i] + ends[i % 3];
    ASSERT_GE(actual.size(), prefix.size() + suffix.size()) << actual;
    EXPECT_EQ(actual.substr(0, prefix.size()), prefix);
    EXPECT_EQ(actual.substr(actual.size() - suffix.size()), suffix);
    std::string written = actual.substr(prefix.size(), actual.size() - prefix.size() - suffix.size());
    for (std::size_t i = head; i < e.size() - tail; ++i) {
        SCOPED_TRACE(e[i]);
        ASSERT_EQ(written.compare(0, e[i].size(), e[i]), 0) << written;
        written.erase(0, e[i].size());
        const std::size_t end = written.compare(0, 2, "\r\n") == 0 ? 2 : 1;
        ASSERT_TRUE(!written.empty() && (written[0] == '\n' || written[0] == '\r')) << "no line end";
        written.erase(0, end);
    }
    // A lone CR that would come to stand before a blank LF line gains an LF, or the
    // two would read back as one CR LF and the blank line would be lost.
    const std::string before = actual.substr(0, actual.size() - suffix.size() - written.size());
    if (written == "\n" && !before.empty() && before.back() == '\r' && suffix.compare(0, 1, "\n") == 0) written.clear();
    EXPECT_EQ(written, "") << "bytes beyond the written lines";
}

class Profile : public ::testing::Test {
protected:
    // Host path of a file in the scratch folder, and the Windows spelling
    // the program would use for it.
    std::string host(const std::string& name) const { return home.path() + "/" + name; }
    std::string win(const std::string& name) const { return home.path() + "\\" + name; }

    std::vector<std::string> folderEntries(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::ScratchHome home;
};

const char kReadFile[] =
    "; settings\n"
    "[Varnel]\n"
    "Left=120\n"
    "  Top  =  -4  \n"
    "Quoted=\"  a b  \"\n"
    "Single='x'\n"
    "Lonely=\"\n"
    "Empty=\n"
    "Blanks=   \n"
    "Bare\n"
    ";Hidden=1\n"
    "Long=abcdefghij\n"
    "\n"
    "[Other]\n"
    "Left=999\n"
    "[  Spaced  ]\n"
    "key=spaced\n";

TEST_F(Profile, StringReadsForEveryLineEnd) {
    struct Case {
        const char* section;
        const char* key;
        const char* fallback;
        DWORD size;
        const char* text;
        DWORD result;
    };
    const Case cases[] = {
        {"Varnel", "Left", "d", 64, "120", 3},
        {"VARNEL", "left", "d", 64, "120", 3},        // names ignore case
        {"  Varnel ", " Left  ", "d", 64, "120", 3},  // and surrounding blanks
        {"Varnel", "Top", "d", 64, "-4", 2},
        {"Varnel", "Quoted", "d", 64, "  a b  ", 7},  // quotes go, what they enclose stays
        {"Varnel", "Single", "d", 64, "x", 1},
        {"Varnel", "Lonely", "d", 64, "\"", 1},  // a lone quote is text
        {"Varnel", "Empty", "dflt", 64, "", 0},  // an empty value is still a value
        {"Varnel", "Blanks", "dflt", 64, "", 0},
        {"Varnel", "Bare", "dflt", 64, "dflt", 4},    // a line without '=' is no key
        {"Varnel", "Hidden", "dflt", 64, "dflt", 4},  // nor is a comment
        {"Varnel", "Missing", "dflt", 64, "dflt", 4},
        {"Nowhere", "Left", "dflt", 64, "dflt", 4},
        {"Varnel", "Missing", nullptr, 64, "", 0},
        {"Varnel", "Missing", "dflt  ", 64, "dflt", 4},  // trailing blanks of the default go
        {"Varnel", "Missing", "a b ", 64, "a b", 3},
        {"Varnel", "Long", "d", 11, "abcdefghij", 10},  // exactly fits
        {"Varnel", "Long", "d", 10, "abcdefghi", 9},    // cut to size - 1
        {"Varnel", "Long", "d", 5, "abcd", 4},
        {"Varnel", "Left", "d", 1, "", 0},
        {"Varnel", "Missing", "default", 4, "def", 3},  // the default is cut too
        {"Other", "Left", "d", 64, "999", 3},
        {"Spaced", "KEY", "d", 64, "spaced", 6},
    };
    for (const char* end : {"\r\n", "\n", "\r"}) {
        testsupport::writeFile(host("read.ini"), withEnds(kReadFile, end));
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string("line end ") +
                         (end[0] == '\n' ? "LF"
                          : end[1]       ? "CRLF"
                                         : "CR") +
                         ", [" + c.section + "] " + c.key + ", size " + std::to_string(c.size));
            std::string buffer(80, '#');
            EXPECT_EQ(
                GetPrivateProfileStringA(c.section, c.key, c.fallback, buffer.data(), c.size, win("read.ini").c_str()),
                c.result);
            EXPECT_EQ(std::string(buffer.c_str()), c.text);
        }
    }
}

TEST_F(Profile, StringOfAMissingFileIsTheDefault) {
    char buffer[64] = "garbage";
    EXPECT_EQ(GetPrivateProfileStringA("Varnel", "Drive", "", buffer, sizeof buffer, win("none.ini").c_str()), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetPrivateProfileStringA("Varnel", "Drive", "d:", buffer, sizeof buffer, win("none.ini").c_str()), 2u);
    EXPECT_STREQ(buffer, "d:");
}

TEST_F(Profile, StringWithoutRoomReturnsZeroAndLeavesTheBuffer) {
    testsupport::writeFile(host("read.ini"), withEnds(kReadFile, "\r\n"));
    char buffer[8] = "kumquat";
    EXPECT_EQ(GetPrivateProfileStringA("Varnel", "Left", "d", buffer, 0, win("read.ini").c_str()), 0u);
    EXPECT_STREQ(buffer, "kumquat");
}

TEST_F(Profile, NameLists) {
    testsupport::writeFile(host("list.ini"),
                           "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n");
    struct Case {
        const char* section;  // nullptr lists the sections, else the keys of this one
        DWORD size;
        std::string bytes;  // what the buffer holds, both terminators included
        DWORD result;
        // Microsoft: a list cut short ends with two NULs, and the default is
        // copied when lpKeyName cannot be found; Wine ends a cut list with one
        // NUL and lists the default for an empty section.
        bool wineDeparts = false;
    };
    const Case cases[] = {
        {nullptr, 100, std::string("section1\0section2\0\0", 19), 18},
        {nullptr, 20, std::string("section1\0section2\0\0", 19), 18},  // room for both terminators
        // Windows counts a list that only just fits as cut: size - 2.
        {nullptr, 19, std::string("section1\0section2\0\0", 19), 17, true},
        {nullptr, 16, std::string("section1\0secti\0\0", 16), 14, true},
        {"section1", 100, std::string("name1\0name2\0name4\0\0", 19), 18},  // lines without '=' are no keys
        {"SECTION1", 16, std::string("name1\0name2\0na\0\0", 16), 14, true},
        {"section2", 100, std::string("\0", 1), 0, true},
    };
    const bool onWine = testsupport::runningOnWine();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "(sections)") + ", size " + std::to_string(c.size));
        if (onWine && c.wineDeparts) {
            testsupport::wineDeparts("a cut name list, or the keys of an empty section");
            continue;
        }
        std::string buffer(100, '#');
        EXPECT_EQ(
            GetPrivateProfileStringA(c.section, nullptr, "default", buffer.data(), c.size, win("list.ini").c_str()),
            c.result);
        EXPECT_EQ(buffer.substr(0, c.bytes.size()), c.bytes);
    }
    char buffer[8] = "kumquat";
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, win("none.ini").c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(Profile, IntReads) {
    struct Case {
        const char* value;  // nullptr: the key is absent
        INT fallback;
        int result;
    };
    const Case cases[] = {
        {"245", 85, 245},       {"-4", 200, -4},  // negative values come back in two's complement
        {"+1", 7, 1},           {"   42", 7, 42},       {"12abc", 7, 12},  // digits up to the first other character
        {"42A94967297", 7, 42}, {"B4294967297", 7, 0},                     // no digits at all
        {"abc", 7, 0},          {"\"17\"", 7, 17},                         // quotes are removed first
        {"010", 7, 10},                                                    // a leading zero is still decimal
        {"0x10", 7, 16},                               // 0x reads hexadecimal, like the system's own conversion
        {"0x1f", 7, 31},        {"4294967296", 7, 0},  // wider values wrap to 32 bits
        {"4294967297", 7, 1},   {"-4294967297", 7, -1}, {"2147483648", 7, INT_MIN},
        {"", 160, 160},  // an empty value gives the default
        {"   ", 160, 160},      {nullptr, 400, 400},    {nullptr, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(absent)");
        std::string text = "[Varnel]\r\nOther=1\r\n";
        if (c.value) text += std::string("Key=") + c.value + "\r\n";
        testsupport::writeFile(host("int.ini"), text);
        EXPECT_EQ(int(GetPrivateProfileIntA("Varnel", "Key", c.fallback, win("int.ini").c_str())), c.result);
    }
}

TEST_F(Profile, IntOfAMissingFileOrSectionIsTheDefault) {
    EXPECT_EQ(int(GetPrivateProfileIntA("Varnel", "Left", 200, win("none.ini").c_str())), 200);
    testsupport::writeFile(host("int.ini"), "[Other]\r\nLeft=5\r\n");
    EXPECT_EQ(int(GetPrivateProfileIntA("Varnel", "Left", -7, win("int.ini").c_str())), -7);
    EXPECT_EQ(int(GetPrivateProfileIntA("other", "LEFT", -7, win("int.ini").c_str())), 5);
}

TEST_F(Profile, WriteCreatesFileAndSection) {
    EXPECT_TRUE(WritePrivateProfileStringA("Varnel", "Drive", "d:", win("new.ini").c_str()));
    EXPECT_EQ(testsupport::readFile(host("new.ini")), "[Varnel]\r\nDrive=d:\r\n");
    // The rewrite leaves nothing else behind in the folder.
    EXPECT_EQ(folderEntries(home.path()), std::vector<std::string>{"new.ini"});
}

TEST_F(Profile, FirstWritesKeepTheirOrder) {
    const char* keys[][2] = {{"Drive", "d:"},   {"Top", "160"},    {"Left", "200"},    {"Width", "400"},
                             {"Height", "400"}, {"Column1", "85"}, {"Column2", "245"}, {"Column3", "80"}};
    for (const auto& key : keys)
        EXPECT_TRUE(WritePrivateProfileStringA("Varnel", key[0], key[1], win("o.ini").c_str()));
    EXPECT_EQ(testsupport::readFile(host("o.ini")),
              "[Varnel]\r\nDrive=d:\r\nTop=160\r\nLeft=200\r\nWidth=400\r\nHeight=400\r\n"
              "Column1=85\r\nColumn2=245\r\nColumn3=80\r\n");
    char list[128];
    const DWORD n = GetPrivateProfileStringA("Varnel", nullptr, "", list, sizeof list, win("o.ini").c_str());
    EXPECT_EQ(std::string(list, n), std::string("Drive\0Top\0Left\0Width\0Height\0Column1\0Column2\0Column3\0", 52));
}

TEST_F(Profile, BareFileNameIsInTheWindowsDirectory) {
    EXPECT_TRUE(WritePrivateProfileStringA("Varnel", "Left", "-4", "bare.ini"));
    EXPECT_EQ(testsupport::readFile(home.windowsDir() + "/bare.ini"), "[Varnel]\r\nLeft=-4\r\n");
    EXPECT_EQ(int(GetPrivateProfileIntA("Varnel", "Left", 0, "bare.ini")), -4);
}

// Edits of a file with comments, blank lines, unknown lines and other
// sections: only the line concerned changes; every other byte stays.
TEST_F(Profile, WritesTouchOnlyTheirLine) {
    const std::string base =
        "; settings\n"
        "[First]\n"
        "a=1\n"
        "\n"
        "[Varnel]\n"
        "Left = 10\n"
        "; note\n"
        "junk line\n"
        "Top=20\n"
        "\n"
        "\n"
        "[Last]\n"
        "z=26\n";
    struct Case {
        const char* what;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = base;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const Case cases[] = {
        {"replace in place, key spelled as in the file", "varnel", "LEFT", "-4", replaced("Left = 10\n", "Left=-4\n")},
        {"new key after the section's last line", "Varnel", "Width", "400",
         replaced("Top=20\n", "Top=20\nWidth=400\n")},
        {"new key in the last section", "Last", "y", "25", base + "y=25\n"},
        {"new section at the end", "New", "k", "v", base + "[New]\nk=v\n"},
        {"empty value", "Varnel", "Top", "", replaced("Top=20\n", "Top=\n")},
        {"same value", "Varnel", "Top", "20", base},
        {"delete key", "Varnel", "Top", nullptr, replaced("Top=20\n", "")},
        {"delete missing key", "Varnel", "Nope", nullptr, base},
        {"delete section", "VARNEL", nullptr, nullptr,
         replaced("[Varnel]\nLeft = 10\n; note\njunk line\nTop=20\n\n\n", "")},
        {"delete missing section", "Nope", nullptr, nullptr, base},
    };
    // Wine's own tests record that Windows keeps the bytes it does not change
    // (even NULs before the first section); Wine writes the file anew.
    const bool wineRewrites = testsupport::wineDeparts("a write rewrites the whole file in Wine's own layout");
    for (const char* end : {"\r\n", "\n"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (end[1] ? " (CRLF)" : " (LF)"));
            testsupport::writeFile(host("edit.ini"), withEnds(base, end));
            SetLastError(0xdeadbeef);
            EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, win("edit.ini").c_str()))
                << GetLastError();
            if (wineRewrites && c.expected != base) continue;
            EXPECT_EQ(testsupport::readFile(host("edit.ini")), withEnds(c.expected, end));
        }
    }
    // Mixed line ends: a write keeps the end of every line it does not write.
    const std::vector<std::vector<std::string>> mixes = {{"\r\n", "\n", "\r"}, {"\n", "\r", "\r\n"}};
    for (const auto& ends : mixes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " (mixed, first line " + (ends[0][1] ? "CRLF)" : "LF)"));
            std::string mixed;
            const std::vector<std::string> baseLines = lines(base);
            for (std::size_t i = 0; i < baseLines.size(); ++i) mixed += baseLines[i] + ends[i % 3];
            testsupport::writeFile(host("edit.ini"), mixed);
            EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, win("edit.ini").c_str()));
            if (wineRewrites && c.expected != base) continue;
            expectMixedEdit(testsupport::readFile(host("edit.ini")), base, c.expected, ends);
        }
    }
}

TEST_F(Profile, AppendAfterALastLineWithoutLineEnd) {
    struct Case {
        const char* section;
        const char* key;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"Varnel", "Top", "[Varnel]\r\nLeft=1", "[Varnel]\r\nLeft=1\r\nTop=2\r\n"},
        {"Other", "Top", "[Varnel]\nLeft=1", "[Varnel]\nLeft=1\n[Other]\nTop=2\n"},
    };
    const bool wineRewrites = testsupport::wineDeparts("a write rewrites the whole file with CR LF line ends");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        testsupport::writeFile(host("tail.ini"), c.before);
        EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, "2", win("tail.ini").c_str()));
        if (wineRewrites && std::string(c.before).find('\r') == std::string::npos) continue;
        EXPECT_EQ(testsupport::readFile(host("tail.ini")), c.after);
    }
}

// A line ending in a lone CR in front of a blank line ending in LF would read back
// as one CRLF line: the blank line would be lost.
TEST_F(Profile, LoneCarriageReturnsKeepBlankLinesApart) {
    struct Case {
        const char* key;
        const char* value;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"Key", "v1-x", "[S]\rx=1\n\n[B]\ny=2\n", "[S]\rx=1\nKey=v1-x\r\n\n[B]\ny=2\n"},
        {"k", nullptr, "[S]\rx=1\rk=v\n\n[B]\n", "[S]\rx=1\r\n\n[B]\n"},
    };
    const bool wineRewrites = testsupport::wineDeparts("a write rewrites the whole file with CR LF line ends");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        testsupport::writeFile(host("cr.ini"), c.before);
        EXPECT_TRUE(WritePrivateProfileStringA("S", c.key, c.value, win("cr.ini").c_str()));
        if (wineRewrites) continue;
        EXPECT_EQ(testsupport::readFile(host("cr.ini")), c.after);
    }
}

TEST_F(Profile, ByteOrderMarkIsNotPartOfTheFirstSection) {
    testsupport::writeFile(host("bom.ini"), "\xEF\xBB\xBF[Varnel]\r\nLeft=3\r\n");
    EXPECT_EQ(int(GetPrivateProfileIntA("Varnel", "Left", 0, win("bom.ini").c_str())), 3);
    EXPECT_TRUE(WritePrivateProfileStringA("Varnel", "Top", "4", win("bom.ini").c_str()));
    EXPECT_EQ(testsupport::readFile(host("bom.ini")), "\xEF\xBB\xBF[Varnel]\r\nLeft=3\r\nTop=4\r\n");
}

TEST_F(Profile, WrittenValuesReadBack) {
    const std::string file = win("round.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("Varnel", "Left", "-4", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Varnel", "Drive", "e:", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Varnel", "LEFT", "-8", file.c_str()));
    EXPECT_EQ(int(GetPrivateProfileIntA("varnel", "left", 200, file.c_str())), -8);
    char drive[64];
    EXPECT_EQ(GetPrivateProfileStringA("Varnel", "Drive", "", drive, sizeof drive, file.c_str()), 2u);
    EXPECT_STREQ(drive, "e:");
    EXPECT_EQ(testsupport::readFile(host("round.ini")), "[Varnel]\r\nLeft=-8\r\nDrive=e:\r\n");
}

TEST_F(Profile, FailedWritesReturnFalseAndChangeNothing) {
    // A regular file where the folder should be: nothing can be created there,
    // whoever runs the test.
    testsupport::writeFile(host("blocker"), "keep me");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("Varnel", "Left", "1", win("blocker\\x.ini").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(testsupport::readFile(host("blocker")), "keep me");

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("Varnel", "Left", "1", win("missing\\x.ini").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fs::exists(host("missing")));

    // A folder in place of the file can be neither read nor replaced.
    fs::create_directory(host("dir.ini"));
    EXPECT_FALSE(WritePrivateProfileStringA("Varnel", "Left", "1", win("dir.ini").c_str()));
    EXPECT_TRUE(fs::is_directory(host("dir.ini")));
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("Varnel", "Left", "dflt", buffer, sizeof buffer, win("dir.ini").c_str()), 4u);
    EXPECT_STREQ(buffer, "dflt");

    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "Left", "1", win("none.ini").c_str()));
    EXPECT_FALSE(fs::exists(host("none.ini")));
}

TEST_F(Profile, FailedWriteInAReadOnlyFolderKeepsTheOldFile) {
    const std::string folder = host("ro");
    const std::string old = "[Varnel]\r\nLeft=1\r\n";
    testsupport::writeFile(folder + "/s.ini", old);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    testsupport::asUnprivileged(home.path(), [&] {
        std::error_code probeError;
        // Windows' own folders keep their writers out by access lists, which a test cannot set up.
        if (fs::create_directory(folder + "/probe", probeError)) {
            GTEST_SKIP() << "a read-only folder takes new entries on this system";
        }
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(WritePrivateProfileStringA("Varnel", "Left", "2", win("ro\\s.ini").c_str()));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(testsupport::readFile(folder + "/s.ini"), old);
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"s.ini"});
    });
    fs::permissions(folder, fs::perms::owner_all);
}
}  // namespace
