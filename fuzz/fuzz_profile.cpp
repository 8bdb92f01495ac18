// The private-profile text: any bytes parse; reading changes nothing; a write
// of a key changes only that key's line (or adds it, with its section when
// missing), and the value reads back; a removal takes out only that line.
// The input is a file, then three NUL-separated fields: section, key, value.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "kernel32/profile.h"

namespace {
// The line texts as a reader of the file sees them, line ends left out; a
// byte order mark in front stays in front and is a line of its own here.
std::vector<std::string> lines(std::string_view bytes) {
    std::vector<std::string> out;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        out.emplace_back(bytes.substr(0, 3));
        bytes.remove_prefix(3);
    }
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            out.emplace_back(bytes.substr(start));
            break;
        }
        out.emplace_back(bytes.substr(start, stop - start));
        start = stop + (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n' ? 2 : 1);
    }
    return out;
}

// Whether `small` is `big` with `extra` lines taken out anywhere.
bool isSubsequence(const std::vector<std::string>& small, const std::vector<std::string>& big, size_t extra) {
    if (big.size() != small.size() + extra) return false;
    size_t i = 0;
    for (const std::string& line : big)
        if (i < small.size() && small[i] == line) ++i;
    return i == small.size();
}

// A name that a write can put on a line of its own and find again.
bool usableName(std::string_view name, const char* forbidden) {
    const std::string_view trimmed = winshim::PROFILE_Trim(name);
    return !trimmed.empty() && trimmed == name && name.find_first_of(forbidden) == std::string_view::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t a = input.find('\0');
    const std::string_view file = input.substr(0, a);
    const winshim::ProfileText text(file);
    if (text.bytes() != file) fuzz::fail("reading changed the bytes");
    for (const std::string& section : text.sectionNames()) text.keyNames(section);
    if (a == std::string_view::npos) return 0;
    const size_t b = input.find('\0', a + 1), c = b == std::string_view::npos ? b : input.find('\0', b + 1);
    if (c == std::string_view::npos) return 0;
    const std::string section(input.substr(a + 1, b - a - 1)), key(input.substr(b + 1, c - b - 1));
    const std::string value(input.substr(c + 1));
    if (!usableName(section, "\r\n]\x1a") || !usableName(key, "\r\n=[;\x1a") || section.front() == ';' ||
        value.find_first_of("\r\n") != std::string::npos)
        return 0;

    winshim::ProfileText written(file);
    const bool changed = written.setValue(section, key, value);
    const std::vector<std::string> before = lines(file), after = lines(written.bytes());
    const std::string_view wanted = winshim::PROFILE_Trim(value);
    // Quotes around a value are taken off as it is read.
    const std::string got = written.value(section, key).value_or("<none>");
    if (got != wanted && !(wanted.size() >= 2 && got == wanted.substr(1, wanted.size() - 2)))
        fuzz::fail("the written value does not read back");
    if (changed && after.size() == before.size()) {
        size_t differ = 0;
        for (size_t i = 0; i < before.size(); ++i) differ += before[i] != after[i];
        if (differ != 1) fuzz::fail("a replacement changed other lines");
    } else if (changed && !isSubsequence(before, after, 1) && !isSubsequence(before, after, 2)) {
        fuzz::fail("an added key changed other lines");
    } else if (!changed && written.bytes() != file) {
        fuzz::fail("an unchanged value rewrote the file");
    }

    winshim::ProfileText removed(written.bytes());
    if (!removed.removeKey(section, key)) fuzz::fail("the written key cannot be removed");
    if (!isSubsequence(lines(removed.bytes()), after, 1)) fuzz::fail("a removal changed other lines");
    return 0;
}
