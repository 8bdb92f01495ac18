#include "winmm/parse.h"

#include <cctype>

namespace winshim {
namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

MCIERROR MCI_Tokenize(std::string_view command, std::vector<MciToken>& tokens) {
    tokens.clear();
    size_t i = 0;
    while (i < command.size()) {
        if (isBlank(command[i])) {
            ++i;
            continue;
        }
        MciToken token;
        if (command[i] == '"') {
            const size_t close = command.find('"', i + 1);
            if (close == std::string_view::npos) return MCIERR_NO_CLOSING_QUOTE;
            token.text.assign(command.substr(i + 1, close - i - 1));
            token.quoted = true;
            i = close + 1;
            if (i < command.size() && !isBlank(command[i])) return MCIERR_EXTRA_CHARACTERS;
        } else {
            const size_t start = i;
            while (i < command.size() && !isBlank(command[i])) ++i;
            token.text.assign(command.substr(start, i - start));
        }
        tokens.push_back(std::move(token));
    }
    return 0;
}

MCIERROR MCI_ParseDWord(std::string_view text, DWORD* value) {
    unsigned long long fields[4] = {};
    int count = 0;
    size_t i = 0;
    for (;;) {
        if (count == 4 || i >= text.size() || !isDigit(text[i])) return MCIERR_BAD_INTEGER;
        unsigned long long field = 0;
        while (i < text.size() && isDigit(text[i])) {
            field = field * 10 + unsigned(text[i] - '0');
            if (field > 0xFFFFFFFFull) return MCIERR_BAD_INTEGER;
            ++i;
        }
        fields[count++] = field;
        if (i == text.size()) break;
        if (text[i] != ':') return MCIERR_BAD_INTEGER;
        ++i;
    }
    if (count == 1) {
        *value = DWORD(fields[0]);
        return 0;
    }
    DWORD packed = 0;
    for (int f = 0; f < count; ++f) {
        if (fields[f] > 255) return MCIERR_BAD_INTEGER;
        packed |= DWORD(fields[f]) << (8 * f);
    }
    *value = packed;
    return 0;
}

bool MCI_SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
}  // namespace winshim
