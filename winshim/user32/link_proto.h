// The line protocol of the cross-process window link. One request line, one reply
// line, printable ASCII only; names and titles travel percent-encoded, so a line
// never holds a space or a control character of the caller's.
//
//   FIND <class>|* [=<title>]   ->  WINDOW <id>  |  NONE
//   RESTORE <id>                ->  DONE <previous visibility 0|1>  |  FAIL
//   FOREGROUND <id> [activation=<token>] [startup=<id>]
//                               ->  DONE <result 0|1>  |  FAIL
//   anything else well formed   ->  REFUSED
//
// <id> is the serving process's handle value in decimal. The words after a
// FOREGROUND's id carry the caller's launch tokens (XDG_ACTIVATION_TOKEN,
// DESKTOP_STARTUP_ID), with which the desktop lets the serving process raise
// its window when a launcher started the caller. A malformed or over-long
// line closes the connection.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace winshim {
inline constexpr size_t kLinkMaxLine = 1024;  // bytes, without the newline

struct LinkRequest {
    enum Kind { Find, Restore, Foreground, Other, Malformed };
    Kind kind = Malformed;
    std::optional<std::string> className;  // none: any class
    std::optional<std::string> title;      // none: any title
    std::uint64_t window = 0;
    std::string activationToken;  // Wayland's xdg-activation token
    std::string startupId;        // X11 startup notification's id
    std::string verb;             // as received, for the log of refused requests
};

// Parses one line (without its newline).
LinkRequest LINK_ParseRequest(std::string_view line);

// The request lines; empty when the line would be over-long.
std::string LINK_FindLine(const char* className, const char* title);
std::string LINK_WindowLine(const char* verb, std::uint64_t window);
std::string LINK_ForegroundLine(std::uint64_t window, const std::string& activationToken, const std::string& startupId);

// Percent-encoding of every byte outside [A-Za-z0-9._-].
std::string LINK_Encode(std::string_view bytes);
std::optional<std::string> LINK_Decode(std::string_view text);

// A decimal number of at most 20 digits that fits 64 bits.
std::optional<std::uint64_t> LINK_ParseNumber(std::string_view text);
}  // namespace winshim
