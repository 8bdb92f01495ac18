// MPRIS2 on the session bus: the desktop's media controls (panels, headsets,
// playerctl) see what the open cdaudio device is doing, and their requests reach
// the program as the WM_APPCOMMAND a media key would send.
#pragma once

namespace winshim {
// For each top-level window: from the first on, the process takes its name on
// the session bus once a cdaudio device is open. Without a session bus nothing
// happens.
void MPRIS_Watch();
}  // namespace winshim
