// Helpers shared by the tests.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace testsupport {
// A fresh private folder, removed with the object. Under winshim the Windows
// directory of the process is pointed into it (XDG_CONFIG_HOME), and so is the
// local application data folder (XDG_DATA_HOME, its "data", not made), for as long as
// it lives; on Windows the Windows directory is the system's, and whatever the
// object's lifetime added to it is removed with the object.
class ScratchHome {
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;
    const std::string& path() const { return path_; }
    // The Windows directory GetWindowsDirectoryA reports while this home lives.
    const std::string& windowsDir() const { return windowsDir_; }

private:
    std::string path_;
    std::string windowsDir_;
#ifdef _WIN32
    std::vector<std::string> windowsDirBefore_;
#else
    std::string oldConfig_;
    bool hadConfig_ = false;
    std::string oldData_;
    bool hadData_ = false;
#endif
};

// Runs the message loop (GetMessageA/DispatchMessageA) for `ms` milliseconds.
void pumpFor(unsigned ms);
// Runs the message loop until `done` holds; false when it still does not after a
// deadline generous enough for a loaded machine.
bool pumpUntil(const std::function<bool()>& done);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Runs `body` as a user whom file permissions bind. Run as root (as CI runs), it
// runs in a child process that becomes the user nobody once `scratch`, prepared
// beforehand, is handed over to it; a failure there fails the calling test.
// Otherwise it runs here.
void asUnprivileged(const std::string& scratch, const std::function<void()>& body);

// True when the Windows interfaces are Wine's. A case where Wine departs from
// Windows (as Microsoft documents it) asks wineDeparts(reason) and is left out
// there; the reason is printed so that the departure stays visible.
bool runningOnWine();
bool wineDeparts(const char* reason);
}  // namespace testsupport
