// What the fuzz targets share: a private scratch folder that is also the
// Windows directory, headless Qt and silent audio, set up before the first input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {
// The scratch folder (created on the first call, removed at exit).
const std::string& scratch();
// Writes bytes to a file of the scratch folder and answers its path.
std::string writeScratch(const std::string& name, std::string_view bytes);
// Aborts with the message, so that libFuzzer reports the input that broke a property.
[[noreturn]] void fail(const std::string& what);
}  // namespace fuzz
