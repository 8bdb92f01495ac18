// The lexical rules of MCI command strings: words, quoted strings, numbers.
#pragma once
#include <mmsystem.h>

#include <string>
#include <string_view>
#include <vector>

namespace winshim {
struct MciToken {
    std::string text;
    bool quoted = false;
};

// Splits a command into blank-separated words; "a quoted string" is one word
// without its quotes. MCIERR_NO_CLOSING_QUOTE, MCIERR_EXTRA_CHARACTERS (text
// stuck to a closing quote), or 0.
MCIERROR MCI_Tokenize(std::string_view command, std::vector<MciToken>& tokens);

// A number as MCI reads it: a plain 32-bit integer, or up to four fields below
// 256 separated by colons ("1:2:3" is 0x030201, the first field lowest).
// MCIERR_BAD_INTEGER when the text is anything else.
MCIERROR MCI_ParseDWord(std::string_view text, DWORD* value);

// Keywords and names compare without regard to case.
bool MCI_SameWord(std::string_view a, std::string_view b);
}  // namespace winshim
