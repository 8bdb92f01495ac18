// The track list file reader against a model of the format written out here on
// its own (the text ends at 0x1A; CR LF reads as LF; a line is at most 255
// characters with its line feed; a NUL ends a line's text), and the writer:
// fields written are the fields read back.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tracklist.h"

namespace {
std::vector<std::string> modelLines(std::string_view bytes) {
    const std::string_view text = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') c = text[++i];
        line += c;
        if (c == '\n' || line.size() == LINE_SIZE - 1) {
            lines.push_back(line.c_str());
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line.c_str());
    return lines;
}

std::vector<std::string> readLines(const std::string& path, bool trim) {
    TrackListFile file;
    std::vector<std::string> lines;
    if (!openTrackList(path.c_str(), &file)) fuzz::fail("the file cannot be opened");
    char line[LINE_SIZE];
    while (readTrackListLine(&file, line)) {
        if (trim) trimLine(line);
        lines.push_back(line);
    }
    closeTrackList(&file);
    return lines;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (readLines(fuzz::writeScratch("read.txt", bytes), false) != modelLines(bytes))
        fuzz::fail("the reader departs from the model");

    // The input's lines as typed fields: no line breaks, NULs or end marks in them.
    std::vector<std::string> fields(1);
    for (char c : bytes) {
        if (c == '\n')
            fields.emplace_back();
        else if (c != '\r' && c != '\0' && c != '\x1a')
            fields.back() += c;
    }
    const std::string path = fuzz::scratch() + "/written.txt";
    TrackListWriter writer;
    if (!beginTrackList(path.c_str(), &writer)) fuzz::fail("the list cannot be written");
    for (const std::string& field : fields) writeTrackListLine(&writer, field.c_str());
    if (!endTrackList(&writer)) fuzz::fail("the list was not saved");
    std::vector<std::string> expected;
    for (const std::string& field : fields) expected.push_back(field.substr(0, MAX_FIELD));
    if (readLines(path, true) != expected) fuzz::fail("fields do not read back as written");
    return 0;
}
