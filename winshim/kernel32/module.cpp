// The program has one module, its executable; the resources embedded in it belong
// to that module's handle.
#include <unistd.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>

#include "core/resources.h"

namespace {

// The name of the running executable as the file system has it.
std::string executableName() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
}  // namespace

// Windows also answers for the executable's own name, with or without ".exe" and
// with or without a path; any other module is not loaded in this process.
extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return winshim::kModule;
    std::string name = moduleName;
    std::size_t sep = name.find_last_of("\\/");
    if (sep != std::string::npos) name.erase(0, sep + 1);
    std::string self = executableName();
    if (!self.empty() && (equalsNoCase(name, self) || equalsNoCase(name, self + ".exe"))) return winshim::kModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}
