// Input as a user's mouse and keyboard make it, for the conformance tests that
// press and click: through Qt's events under winshim, through SendInput on
// Windows. Points are in the client coordinates of the window named.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {
enum class Button { Left, Right };

void mousePress(HWND hwnd, POINT client, Button button = Button::Left);
void mouseRelease(HWND hwnd, POINT client, Button button = Button::Left);
// With the left button held: a drag goes to the window that took the press.
void mouseMove(HWND hwnd, POINT client, bool leftHeld);
void click(HWND hwnd, POINT client, Button button = Button::Left);
// Two clicks within the double-click time: the second press is the double click.
void doubleClick(HWND hwnd, POINT client);

// A key pressed and released on the keyboard, by virtual-key code, with
// modifiers held; it goes where the keyboard goes (an open drop-down list
// first, then the focus, then the active window).
void pressKey(UINT vk, bool shift = false, bool ctrl = false);

// One key pressed and released; with `alt`, Alt is held down around it. A lone
// VK_MENU is Alt pressed and released by itself.
struct Stroke {
    UINT vk;
    bool alt = false;
};
// Types the strokes in order, then settles. They are given all at once, as a
// user types ahead: on Windows a menu that the first stroke opens reads the
// others in its own loop.
void typeKeys(const std::vector<Stroke>& strokes);

// Runs what the input and the calls before it left pending (posted and input
// messages; under winshim also Qt's own pending work), without waiting.
void settle();

// The system's double-click time, in milliseconds.
unsigned doubleClickTime();

// Dialogs and message boxes run their own message loop, which hands each key to
// the dialog manager (IsDialogMessage) before the control with the focus sees it.
// pressKey from inside a dialog's or a message box's loop (a timer there, say):
// the key is taken as that loop takes it, Tab, Enter and Escape by the dialog
// manager of the active window.
void pressDialogKey(UINT vk, bool shift = false);

// The message box this thread shows now: false when none is up; else its
// caption and its text.
bool shownMessageBox(std::string& caption, std::string& text);
// The frame of the message box this thread shows: its outer width and the
// buttons of its title bar. False when no box is up.
struct BoxFrame {
    int width = 0;
    bool closeButton = false;
    bool minimizeOrMaximize = false;
};
bool shownMessageBoxFrame(BoxFrame& frame);
// Clicks the button of the message box this thread shows that answers `id`
// (IDOK, IDCANCEL, IDYES, IDNO, IDRETRY, IDIGNORE, IDABORT); false when no box
// is up or it has no such button.
bool clickMessageBoxButton(int id);
}  // namespace testsupport
