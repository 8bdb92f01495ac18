// The command line before the program starts: what winshim answers itself, and what
// reaches WinMain.
#include "desktop/cmdline.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Args {
    std::vector<const char*> argv;
    explicit Args(std::initializer_list<const char*> args) : argv(args) {}
    int argc() const { return int(argv.size()); }
};

TEST(CommandLine, HelpAndVersionAnswerAndEverythingElseStarts) {
    struct Case {
        Args args;
        bool answered;
        const char* output;  // what the answer begins with
    } cases[] = {
        {Args{"/usr/bin/varnel", "--version"}, true, WINSHIM_PRODUCT_NAME " " WINSHIM_PRODUCT_VERSION "\n"},
        {Args{"/usr/bin/varnel", "--help"}, true, "Usage: varnel [--help | --version]\n"},
        {Args{"varnel", "e:", "--help"}, true, "Usage: varnel"},
        {Args{"varnel"}, false, ""},
        {Args{"varnel", "--no-such-option"}, false, ""},
        {Args{"varnel", "-version", "--Help"}, false, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        auto code = winshim::DESKTOP_AnswerCommandLine(c.args.argc(), c.args.argv.data(), out);
        EXPECT_EQ(code.has_value(), c.answered) << c.args.argv.back();
        if (code) {
            EXPECT_EQ(*code, 0);
        }
        EXPECT_EQ(out.str().rfind(c.output, 0), 0u) << out.str();
    }
}

TEST(CommandLine, ReachesWinMainQuotedAsWindowsSplitsIt) {
    struct Case {
        Args args;
        const char* line;
    } cases[] = {
        {Args{"varnel"}, ""},
        {Args{"varnel", "--no-such-option", "e:"}, "--no-such-option e:"},
        {Args{"varnel", "My Discs/a.cue"}, "\"My Discs/a.cue\""},
        {Args{"varnel", ""}, "\"\""},
        {Args{"varnel", "say \"hi\""}, "\"say \\\"hi\\\"\""},
        {Args{"varnel", "C:\\dir\\"}, "C:\\dir\\"},
        {Args{"varnel", "C:\\my dir\\"}, "\"C:\\my dir\\\\\""},
        {Args{"varnel", "a\\\"b"}, "\"a\\\\\\\"b\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(winshim::DESKTOP_CommandLine(c.args.argc(), c.args.argv.data()), c.line) << c.args.argv.back();
}

}  // namespace
