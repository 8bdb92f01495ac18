#include "kernel32/profile.h"

#include <algorithm>
#include <cstdint>

namespace winshim {
namespace {
constexpr std::string_view kBlanks = " \t\v\f";

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimLeft(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string stripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}
}  // namespace

std::string_view PROFILE_Trim(std::string_view text) {
    text = trimLeft(text);
    const size_t last = text.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

unsigned PROFILE_ParseInt(std::string_view text) {
    // The system's string-to-integer conversion with base detection: blanks,
    // a sign, an optional 0x/0o/0b prefix, then digits up to the first other
    // character, accumulated modulo 2^32.
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char mark = text[i + 1];
        base = mark == 'x' ? 16 : mark == 'o' ? 8 : mark == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    uint32_t total = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit >= int(base)) break;
        total = total * base + uint32_t(digit);
    }
    return negative ? 0u - total : total;
}

ProfileText::ProfileText(std::string_view bytes) {
    // A UTF-8 byte order mark (editors add one) stays in front of the text
    // without hiding the first line from the parser.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        prefix_ = kByteOrderMark;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines_.push_back(parse(std::string(bytes.substr(start)), ""));
            break;
        }
        const size_t endLength = (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') ? 2 : 1;
        std::string end(bytes.substr(stop, endLength));
        if (newline_.empty()) newline_ = end;
        lines_.push_back(parse(std::string(bytes.substr(start, stop - start)), std::move(end)));
        start = stop + endLength;
    }
    // A new file gets the line end that Windows writes.
    if (newline_.empty()) newline_ = "\r\n";
}

ProfileText::Line ProfileText::parse(std::string text, std::string end) {
    Line line;
    const std::string_view body = PROFILE_Trim(text);
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == ';') {
        line.kind = Kind::Comment;
    } else if (const size_t close = body.rfind(']'); body.front() == '[' && close != std::string_view::npos) {
        line.kind = Kind::Section;
        line.name = PROFILE_Trim(body.substr(1, close - 1));
    } else if (const size_t equals = body.find('='); equals != std::string_view::npos) {
        line.kind = Kind::Entry;
        line.name = PROFILE_Trim(body.substr(0, equals));
        line.value = PROFILE_Trim(body.substr(equals + 1));
    }
    line.text = std::move(text);
    line.end = std::move(end);
    return line;
}

std::string ProfileText::bytes() const {
    std::string out = prefix_;
    for (const Line& line : lines_) out += line.text + line.end;
    return out;
}

std::optional<ProfileText::Range> ProfileText::findSection(std::string_view name) const {
    name = PROFILE_Trim(name);
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Section || !sameName(lines_[i].name, name)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> ProfileText::findKey(const Range& range, std::string_view key) const {
    key = PROFILE_Trim(key);
    for (size_t i = range.header + 1; i < range.end; ++i)
        if (lines_[i].kind == Kind::Entry && sameName(lines_[i].name, key)) return i;
    return std::nullopt;
}

std::optional<std::string> ProfileText::value(std::string_view section, std::string_view key) const {
    const auto range = findSection(section);
    if (!range) return std::nullopt;
    const auto at = findKey(*range, key);
    if (!at) return std::nullopt;
    return stripQuotes(lines_[*at].value);
}

std::vector<std::string> ProfileText::sectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_)
        if (line.kind == Kind::Section && !line.name.empty()) names.push_back(line.name);
    return names;
}

std::optional<std::vector<std::string>> ProfileText::keyNames(std::string_view section) const {
    const auto range = findSection(section);
    if (!range) return std::nullopt;
    std::vector<std::string> names;
    for (size_t i = range->header + 1; i < range->end; ++i)
        if (lines_[i].kind == Kind::Entry && !lines_[i].name.empty()) names.push_back(lines_[i].name);
    return names;
}

void ProfileText::insertLine(size_t at, std::string text) {
    // Only the last line can lack a line end; it needs one before a line follows.
    if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = newline_;
    lines_.insert(lines_.begin() + std::ptrdiff_t(at), parse(std::move(text), newline_));
    keepApart(at + 1);
}

void ProfileText::keepApart(size_t at) {
    // A line ending in a lone CR followed by a blank line ending in LF would read
    // back as one line ending in CRLF: the blank line would be gone.
    if (at == 0 || at >= lines_.size()) return;
    Line& before = lines_[at - 1];
    if (before.end == "\r" && lines_[at].text.empty() && lines_[at].end == "\n") before.end = "\r\n";
}

bool ProfileText::setValue(std::string_view section, std::string_view key, std::string_view value) {
    section = PROFILE_Trim(section);
    key = PROFILE_Trim(key);
    value = trimLeft(value);
    const auto range = findSection(section);
    if (!range) {
        insertLine(lines_.size(), "[" + std::string(section) + "]");
        insertLine(lines_.size(), std::string(key) + "=" + std::string(value));
        return true;
    }
    if (const auto at = findKey(*range, key)) {
        Line& line = lines_[*at];
        if (line.value == value) return false;
        // The line keeps its place, its line end and the key name as the file spells it.
        line = parse(line.name + "=" + std::string(value), line.end);
        return true;
    }
    // After the section's last non-blank line, before the blank lines that
    // set it apart from the next section.
    size_t at = range->end;
    while (at > range->header + 1 && lines_[at - 1].kind == Kind::Blank) --at;
    insertLine(at, std::string(key) + "=" + std::string(value));
    return true;
}

bool ProfileText::removeKey(std::string_view section, std::string_view key) {
    const auto range = findSection(section);
    if (!range) return false;
    const auto at = findKey(*range, key);
    if (!at) return false;
    lines_.erase(lines_.begin() + std::ptrdiff_t(*at));
    keepApart(*at);
    return true;
}

bool ProfileText::removeSection(std::string_view section) {
    const auto range = findSection(section);
    if (!range) return false;
    lines_.erase(lines_.begin() + std::ptrdiff_t(range->header), lines_.begin() + std::ptrdiff_t(range->end));
    keepApart(range->header);
    return true;
}
}  // namespace winshim
