#include "desktop/cmdline.h"

#include <string_view>

namespace winshim {
namespace {

constexpr std::string_view kHelp =
    "Options:\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "Any other argument is passed to the program unchanged.\n"
    "\n"
    "Environment:\n"
    "  WINSHIM_AUDIO=null           play silently\n"
    "  WINSHIM_AUDIO=capture:FILE   play into the WAV file FILE\n"
    "  WINSHIM_DEBUG=CHANNEL,...    print diagnostics of those channels (mci, audio, cdio, file, ...)\n"
    "  XDG_CONFIG_HOME              the folder that holds varnel/ (default ~/.config)\n"
    "\n"
    "Files:\n"
    "  ~/.config/varnel/            settings and song lists\n"
    "  ~/.config/varnel/drives/e:   names a disc image (.cue, .toc, .nrg) or a device as drive e:\n";

std::string_view baseName(const char* path) {
    std::string_view name = path && *path ? path : "varnel";
    if (auto slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    return name;
}

// The rules by which CommandLineToArgvW splits: white space separates unless quoted;
// backslashes are literal except before a quote, where each pair gives one.
void appendQuoted(std::string& line, std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        line += arg;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

}  // namespace

std::optional<int> DESKTOP_AnswerCommandLine(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            out << WINSHIM_PRODUCT_NAME " " WINSHIM_PRODUCT_VERSION "\n";
            return 0;
        }
        if (arg == "--help") {
            out << "Usage: " << baseName(argv[0]) << " [--help | --version]\n\n"
                << WINSHIM_PRODUCT_NAME ": " WINSHIM_PRODUCT_SUMMARY ".\n\n"
                << kHelp << "\nSee " << baseName(argv[0]) << "(1).\n";
            return 0;
        }
    }
    return std::nullopt;
}

std::string DESKTOP_CommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        appendQuoted(line, argv[i]);
    }
    return line;
}

}  // namespace winshim
