// The track list reader byte by byte, and the reply reading rules every
// handler uses.
#include <sys/stat.h>

#include <climits>

#include "device.h"
#include "program_fixture.h"
#include "tracklist.h"
#include "varnel.h"

namespace {

using ReaderTest = ProgramTest;

std::vector<std::string> ReadAll(const std::string& path) {
    std::vector<std::string> lines;
    TrackListFile file;
    if (!openTrackList(path.c_str(), &file)) return {"<absent>"};
    char line[LINE_SIZE];
    // Poison, so a missing terminator shows.
    memset(line, '#', sizeof line);
    while (readTrackListLine(&file, line)) {
        lines.push_back(line);
        memset(line, '#', sizeof line);
    }
    closeTrackList(&file);
    return lines;
}

TEST_F(ReaderTest, LinesAsRead) {
    const std::string s254(254, 'a'), s255(255, 'b'), s300(300, 'c'), s511(511, 'd');
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "one\r\ntwo\r\n", {"one\n", "two\n"}},
        {"LF only", "one\ntwo\n", {"one\n", "two\n"}},
        {"CR only is one line", "one\rtwo\r", {"one\rtwo\r"}},
        {"CR before CR LF", "a\r\r\nb", {"a\r\n", "b"}},
        {"CR at the very end", "a\r", {"a\r"}},
        {"0x1A ends the text", "one\r\ntw\x1Ao\r\nthree\r\n", {"one\n", "tw"}},
        {"0x1A first",
         "\x1A"
         "one\r\n",
         {}},
        {"CR then 0x1A", "a\r\x1A", {"a\r"}},
        {"NUL ends the text of its line", std::string("ab\0cd\r\nx\r\n", 10), {"ab", "x\n"}},
        {"NUL first", std::string("\0cd\r\nx\r\n", 8), {"", "x\n"}},
        {"254 characters", s254 + "\r\nnext\r\n", {s254 + "\n", "next\n"}},
        {"255 characters", s255 + "\r\nnext\r\n", {s255, "\n", "next\n"}},
        {"300 characters, no line end", s300, {s300.substr(0, 255), s300.substr(255)}},
        {"last line without line end", "x\r\nCoda", {"x\n", "Coda"}},
        {"empty lines", "\r\n\n\r\n", {"\n", "\n", "\n"}},
        {"empty file", "", {}},
        // CR and LF fall on either side of the reader's buffer boundary.
        {"CR LF across the buffer", s511 + "\r\ne", {s511.substr(0, 255), s511.substr(255, 255), "d\n", "e"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(ListPath("AB"), c.bytes);
        EXPECT_EQ(ReadAll(ListPath("AB")), c.lines);
    }
    EXPECT_EQ(ReadAll(ListPath("CD")), (std::vector<std::string>{"<absent>"}));
}

TEST_F(ReaderTest, TrimmedForm) {
    struct Case {
        const char* line;
        const char* trimmed;
    } cases[] = {{"Title\n", "Title"}, {"Coda", "Cod"}, {"\n", ""}, {"", ""}};
    for (const Case& c : cases) {
        char line[LINE_SIZE];
        snprintf(line, sizeof line, "%s", c.line);
        trimLine(line);
        EXPECT_STREQ(line, c.trimmed) << c.line;
    }
}

TEST_F(ReaderTest, SavingWritesEveryFieldWholeAndReplacesTheOldFile) {
    const std::string path = ListPath("1A2B");
    testsupport::writeFile(path, "old\r\n");
    const std::string long255(255, 'y');
    TrackListWriter writer;
    ASSERT_TRUE(beginTrackList(path.c_str(), &writer));
    for (const std::string& field :
         {std::string("Comp"), std::string(""), std::string("One"), long255, std::string("Three")})
        writeTrackListLine(&writer, field.c_str());
    EXPECT_EQ(testsupport::readFile(path), "old\r\n") << "the old file stays until the new one is complete";
    ASSERT_TRUE(endTrackList(&writer));
    EXPECT_EQ(testsupport::readFile(path), "Comp\r\n\r\nOne\r\n" + long255.substr(0, 254) + "\r\nThree\r\n");
    // Each title comes back on its own track.
    EXPECT_EQ(ReadAll(path),
              (std::vector<std::string>{"Comp\n", "\n", "One\n", long255.substr(0, 254) + "\n", "Three\n"}));
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing left beside it";
}

TEST_F(ReaderTest, SavingWhereItCannotWriteChangesNothing) {
    struct Case {
        const char* name;
        std::string path;
        mode_t mode;  // 0: the file does not exist
    } cases[] = {
        {"read-only file", ListPath("AAAA"), 0444},
        {"missing folder", home.windowsDir() + "/missing/AAAA", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode) {
            testsupport::writeFile(c.path, "kept\r\n");
            chmod(c.path.c_str(), c.mode);
        }
        TrackListWriter writer;
        EXPECT_FALSE(beginTrackList(c.path.c_str(), &writer));
        EXPECT_FALSE(endTrackList(&writer));
        if (c.mode) {
            EXPECT_EQ(testsupport::readFile(c.path), "kept\r\n");
        }
        EXPECT_EQ(GetFileAttributesA((c.path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // The readers still read the read-only file.
    EXPECT_EQ(ReadAll(ListPath("AAAA")), (std::vector<std::string>{"kept\n"}));
}

TEST(ReplyRules, DecimalReading) {
    struct Case {
        const char* reply;
        int value;
    } cases[] = {
        {"", 0},
        {"   42", 42},
        {"\t\n\v\f\r 9", 9},
        {"-5", -5},
        {"+7", 7},
        {"02:13:45", 2},
        {"12abc", 12},
        {"--5", 0},
        {"abc", 0},
        {"- 5", 0},
        {"4294967295", -1},
        {"2147483648", INT_MIN},
        {"4294967297", 1},
        {"-2147483648", INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(readDecimal(c.reply), c.value) << '"' << c.reply << '"';
}

TEST(ReplyRules, Matches) {
    struct Case {
        const char* reply;
        const char* word;
        bool exact, four;
    } cases[] = {
        {"true", "true", true, true},     {"", "true", false, false},      {"tru", "true", false, false},
        {"trueish", "true", false, true}, {"True", "true", false, false},  {"", "", true, true},
        {"open", "open", true, true},     {"opened", "open", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bool(exactMatch(c.reply, c.word)), c.exact) << c.reply << " / " << c.word;
        EXPECT_EQ(bool(fourCharMatch(c.reply, c.word)), c.four) << c.reply << " / " << c.word;
    }
}

TEST(ReplyRules, TrackListName) {
    struct Case {
        const char* reply;
        const char* name;
    } cases[] = {{"255", "FF"}, {"4294967297", "1"}, {"-1", "FFFFFFFF"},        {"", "0"},
                 {"abc", "0"},  {"  42", "2A"},      {"3735928559", "DEADBEEF"}};
    for (const Case& c : cases) {
        char name[NAME_SIZE];
        trackListName(c.reply, name, sizeof name);
        EXPECT_STREQ(name, c.name) << c.reply;
    }
}

}  // namespace
