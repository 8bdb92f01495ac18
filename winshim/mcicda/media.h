// Media-change notices: a disc arrived in or left a drive letter. Windows
// broadcasts them to the top-level windows as WM_DEVICECHANGE; they arrive on the
// UI thread, after the command or event that caused them has returned.
#pragma once

namespace winshim {
// Queues DBT_DEVICEARRIVAL (arrived) or DBT_DEVICEREMOVECOMPLETE for the letter.
// Callable from any thread.
void MEDIA_Notify(char letter, bool arrived);
// Starts watching the optical drives for disc changes (once; a no-op without udev).
void MEDIA_StartMonitor();
// The simulated door of an image drive outlives the device that opened it: a
// program that closes and reopens the device finds the door as it left it.
bool MEDIA_ImageDoorOpen(char letter);
void MEDIA_SetImageDoorOpen(char letter, bool open);
}  // namespace winshim
