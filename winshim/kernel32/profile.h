// The text of a private-profile (INI) file, kept line by line with each
// line's own bytes and line end, so an edit rewrites only the lines it
// touches and every other byte of the file stays as it was.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winshim {
class ProfileText {
public:
    explicit ProfileText(std::string_view bytes = {});

    std::string bytes() const;

    // The value of a key, trimmed and with one pair of enclosing quotes
    // removed; nothing when the section or the key is missing. Names compare
    // without regard to case or surrounding blanks.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::vector<std::string> sectionNames() const;
    // The names of the keys of a section, in file order; nothing when the
    // section is missing.
    std::optional<std::vector<std::string>> keyNames(std::string_view section) const;

    // Edits; each returns whether the text changed.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

private:
    enum class Kind { Blank, Comment, Section, Entry, Other };
    struct Line {
        std::string text;  // without the line end
        std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;   // section or key name, trimmed
        std::string value;  // an entry's value, trimmed, quotes kept
    };
    struct Range {  // lines [header, end) of a section
        size_t header;
        size_t end;
    };

    static Line parse(std::string text, std::string end);
    std::optional<Range> findSection(std::string_view name) const;
    std::optional<size_t> findKey(const Range& range, std::string_view key) const;
    void insertLine(size_t at, std::string text);
    // Keeps the line at `at` apart from the one before it where their line ends would merge.
    void keepApart(size_t at);

    std::string prefix_;  // a byte order mark, kept as it was
    std::vector<Line> lines_;
    std::string newline_;  // the line end for lines this object writes
};

// Trims the blanks that surround names and values in profile files.
std::string_view PROFILE_Trim(std::string_view text);
// A value as GetPrivateProfileIntA reads it (see profile_api.cpp).
unsigned PROFILE_ParseInt(std::string_view text);
}  // namespace winshim
