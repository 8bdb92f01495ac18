// Drives the program's real main window, created as the entry point creates it,
// against a scripted CD device: a cdaudio driver behind winmm's command-string
// parser and reply code that records every command and answers from a table.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"
#include "winmm/mcidriver.h"

// A key pressed and released where the keyboard focus is, as a user types it.
void PressKey(Qt::Key key);

// Presses OK on every message box that comes up while it lives, as a user would.
struct BoxWatcher {
    BoxWatcher();
    std::vector<std::string> seen;  // caption ": " text of each box pressed
    QTimer timer;
};

class ProgramTest : public ::testing::Test {
public:
    // The scripted device hears a command: it is recorded, and its answer (null
    // for none) comes from `answers`.
    const std::string* Hear(const std::string& command);

protected:
    void SetUp() override;
    void TearDown() override;

    // A disc of `tracks` tracks, each `length` long, in the drive.
    void InsertDisc(const std::string& identity, int tracks, const std::string& length = "04:13:25");
    // The main window, created as WinMain creates it.
    HWND Start();
    // TIMER_OPEN's expiry: the first opening of the device.
    void OpenNow();
    // Destroys the main window and lets the message loop see its WM_QUIT.
    void Exit();
    // The cdaudio driver of winshim answers from now on, instead of the scripted device.
    void UseRealDevice();

    std::string Text(int id);
    std::string ItemText(int row, int column);
    int Rows();
    std::string StatusText(int part);
    HWND TrackList();
    std::string IniPath() const { return home.windowsDir() + "/Ostrovane.ini"; }
    std::string ListPath(const std::string& name) const { return home.windowsDir() + "/CD Track Lists/" + name; }
    void WriteIni(const std::string& body) { testsupport::writeFile(IniPath(), body); }
    // Sends the menu command that opens the dialog captioned `caption`; `script` runs
    // against the dialog once it is up and has the focus, inside the command's modal
    // loop, and must end it.
    void RunDialog(UINT command, const char* caption, const std::function<void(HWND)>& script);
    // Keys of the settings file in the order they stand, each with its value.
    std::vector<std::pair<std::string, std::string>> IniKeys();
    // The commands sent since the last Clear(), or those that start with `prefix`.
    std::vector<std::string> Sent(const std::string& prefix = "") const;

    testsupport::ScratchHome home;
    std::map<std::string, std::string> answers;
    std::vector<std::string> commands;
    HWND main_ = nullptr;

private:
    std::string oldRuntime_;
    winshim::MciDriverFactory realDevice_;
};
