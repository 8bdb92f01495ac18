// The one QApplication that every window-system call of winshim runs on. It is
// made on first use, so a program that only reads profile files never needs a
// display.
#pragma once

#include <QPoint>

class QApplication;

namespace winshim {
QApplication* APP_Ensure();
// Deletes what is left of the window system: the widgets of windows still there (no
// message is sent to them, as when a Windows process ends) and the QApplication.
// The entry point calls it once WinMain returns; a program that ends another way (a
// test's main returning, exit()) is torn down the same way as exit() begins.
void APP_Shutdown();
// Where the pointer is, in screen pixels. While a mouse event is being delivered,
// where that event happened: a handler asking "where was the click" gets the
// click's place even when the event was synthesised.
QPoint APP_CursorPos();
}  // namespace winshim
