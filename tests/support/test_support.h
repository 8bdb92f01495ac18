// Helpers shared by the tests.
#pragma once
#include <string>

namespace testsupport {
// A fresh private folder, removed with the object; the Windows directory of the
// process is pointed into it (XDG_CONFIG_HOME) for as long as it lives.
class ScratchHome {
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;
    const std::string& path() const { return path_; }
    // The Windows directory winshim reports for this home.
    std::string windowsDir() const { return path_ + "/varnel"; }

private:
    std::string path_;
    std::string oldConfig_;
    bool hadConfig_ = false;
};

// Runs the message loop (GetMessageA/DispatchMessageA) for `ms` milliseconds.
void pumpFor(unsigned ms);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
}  // namespace testsupport
