// The single-instance line protocol: any line parses without harm, names survive
// encoding, and what the client side writes parses back as what it meant.
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "user32/link_proto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const winshim::LinkRequest parsed = winshim::LINK_ParseRequest(bytes);
    if (parsed.kind != winshim::LinkRequest::Malformed && bytes.size() > winshim::kLinkMaxLine)
        fuzz::fail("an over-long line was taken");
    if (winshim::LINK_Decode(winshim::LINK_Encode(bytes)) != bytes) fuzz::fail("encoding does not round-trip");
    // The input as a class name and a title (NUL between), asked for as FindWindowA asks.
    const size_t half = bytes.find('\0');
    const std::string className = bytes.substr(0, half);
    const std::string title = half == std::string::npos ? std::string() : std::string(bytes.c_str() + half + 1);
    const char* cls = className.empty() ? nullptr : className.c_str();
    const char* ttl = title.empty() ? nullptr : title.c_str();
    const std::string line = winshim::LINK_FindLine(cls, ttl);
    if (line.empty()) return 0;
    const winshim::LinkRequest find = winshim::LINK_ParseRequest(line);
    if (find.kind != winshim::LinkRequest::Find || find.className != (cls ? std::optional(className) : std::nullopt) ||
        find.title != (ttl ? std::optional(title) : std::nullopt))
        fuzz::fail("a FIND line does not parse back: " + line);
    return 0;
}
