// Registration of a module's compiled resources (.res bytes). The build embeds the
// program's resource script and registers it here before main runs.
#pragma once
#include <cstddef>

namespace winshim {
// Registers the .res image as the resources of the program's module. The bytes
// must outlive the process (they are a static array). Returns true.
bool RES_RegisterModule(const unsigned char* data, std::size_t size);
}  // namespace winshim
