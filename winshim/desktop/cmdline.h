// The process's command line, before the program starts: --help and --version are
// answered here, without a display; everything else is the program's.
#pragma once
#include <optional>
#include <ostream>
#include <string>

namespace winshim {
// The exit code when the arguments asked only for help or the version (the answer is
// written to `out`); nothing when the program is to start.
std::optional<int> DESKTOP_AnswerCommandLine(int argc, const char* const* argv, std::ostream& out);

// The arguments after the program's name as one Windows command line, quoted so that
// CommandLineToArgvW splits it back into the same arguments.
std::string DESKTOP_CommandLine(int argc, const char* const* argv);
}  // namespace winshim
