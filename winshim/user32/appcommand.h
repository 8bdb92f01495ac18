// Application commands: the keyboard's media keys as Windows delivers them, a
// WM_KEYDOWN with a VK_MEDIA_* key to the focus window, which DefWindowProcA turns
// into WM_APPCOMMAND and passes up the chain of parents.
#pragma once

#include <windows.h>

namespace winshim {
// Turns Qt's media keys into WM_KEYDOWN for the focus window (once per process).
void APPCOMMAND_InstallKeys();
// DefWindowProcA's share: true when it handled `msg`, with its answer in `answer`.
bool APPCOMMAND_DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* answer);
}  // namespace winshim
