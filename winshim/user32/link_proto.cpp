#include "user32/link_proto.h"

#include <vector>

namespace winshim {
namespace {
bool plain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::vector<std::string_view> splitSpaces(std::string_view line) {
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}
}  // namespace

std::string LINK_Encode(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (plain(c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> LINK_Decode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (plain(text[i])) {
            out += text[i];
            continue;
        }
        if (text[i] != '%' || i + 2 >= text.size()) return std::nullopt;
        int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::optional<std::uint64_t> LINK_ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        std::uint64_t digit = std::uint64_t(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

LinkRequest LINK_ParseRequest(std::string_view line) {
    LinkRequest req;
    if (line.empty() || line.size() > kLinkMaxLine) return req;
    for (unsigned char c : line)
        if (c < 0x20 || c > 0x7e) return req;
    auto words = splitSpaces(line);
    if (words[0].empty()) return req;
    for (char c : words[0])
        if (c < 'A' || c > 'Z') return req;
    req.verb = std::string(words[0]);

    if (req.verb == "FIND") {
        if (words.size() < 2 || words.size() > 3) return req;
        if (words[1] != "*") {
            auto cls = LINK_Decode(words[1]);
            if (!cls || cls->empty()) return req;
            req.className = std::move(cls);
        }
        if (words.size() == 3) {
            if (words[2].empty() || words[2][0] != '=') return req;
            auto title = LINK_Decode(words[2].substr(1));
            if (!title) return req;
            req.title = std::move(title);
        }
        req.kind = LinkRequest::Find;
        return req;
    }
    if (req.verb == "RESTORE" || req.verb == "FOREGROUND") {
        const size_t most = req.verb == "RESTORE" ? 2 : 4;
        if (words.size() < 2 || words.size() > most) return req;
        auto id = LINK_ParseNumber(words[1]);
        if (!id) return req;
        req.window = *id;
        for (size_t i = 2; i < words.size(); ++i) {
            const size_t equals = words[i].find('=');
            if (equals == std::string_view::npos) return req;
            auto value = LINK_Decode(words[i].substr(equals + 1));
            if (!value || value->empty()) return req;
            const std::string_view key = words[i].substr(0, equals);
            std::string& slot = key == "activation" ? req.activationToken : req.startupId;
            if ((key != "activation" && key != "startup") || !slot.empty()) return req;
            slot = std::move(*value);
        }
        req.kind = req.verb == "RESTORE" ? LinkRequest::Restore : LinkRequest::Foreground;
        return req;
    }
    req.kind = LinkRequest::Other;
    return req;
}

std::string LINK_FindLine(const char* className, const char* title) {
    std::string line = "FIND ";
    line += className ? LINK_Encode(className) : std::string("*");
    if (title) line += " =" + LINK_Encode(title);
    return line.size() <= kLinkMaxLine ? line : std::string();
}

std::string LINK_WindowLine(const char* verb, std::uint64_t window) {
    return std::string(verb) + " " + std::to_string(window);
}

std::string LINK_ForegroundLine(std::uint64_t window, const std::string& activationToken,
                                const std::string& startupId) {
    std::string line = LINK_WindowLine("FOREGROUND", window);
    if (!activationToken.empty()) line += " activation=" + LINK_Encode(activationToken);
    if (!startupId.empty()) line += " startup=" + LINK_Encode(startupId);
    // A token too long to travel is left behind: the request still goes.
    return line.size() <= kLinkMaxLine ? line : LINK_WindowLine("FOREGROUND", window);
}
}  // namespace winshim
