// The two kinds of disc mkdisc writes.
#pragma once
#include <string>
#include <vector>

namespace mkdisc {
// The bundled demo disc: demo.cue and demo.bin in `dir`.
bool writeDemoDisc(const std::string& dir);

const std::vector<std::string>& testImageNames();
// NAME.cue, NAME.bin (unless the image is about a missing one) and NAME.layout in `dir`.
bool writeTestImage(const std::string& name, const std::string& dir);
}  // namespace mkdisc
