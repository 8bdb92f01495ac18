// Drives the program's real main window, created as the entry point creates it,
// against a scripted CD device: every command string is recorded and answered
// from a table.
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

// A key pressed and released where the keyboard focus is, as a user types it.
void PressKey(Qt::Key key);

// Presses OK on every message box that comes up while it lives, as a user would.
struct BoxWatcher {
    BoxWatcher();
    std::vector<std::string> seen;  // caption ": " text of each box pressed
    QTimer timer;
};

class ProgramTest : public ::testing::Test {
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
};
