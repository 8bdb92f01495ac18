// Media-change notices: a disc arrived in or left a drive letter. Windows
// broadcasts them to the top-level windows as WM_DEVICECHANGE; they arrive on the
// UI thread, after the command or event that caused them has returned.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kernel32/drives.h"

namespace winshim {
// Queues DBT_DEVICEARRIVAL (arrived) or DBT_DEVICEREMOVECOMPLETE for the letter.
// Callable from any thread.
void MEDIA_Notify(char letter, bool arrived);
// What the drive path learnt of a letter's disc: a notice is queued only when
// it differs from what was last learnt, so a disc change that both the udev
// monitor and the device see is told once. `announce` false records the state
// without a notice (what a device finds when it is opened).
void MEDIA_Report(char letter, bool present, bool announce = true);

// What one udev event of a block device means, for each drive letter of
// `drives` whose device it is.
struct MediaDecision {
    enum class What { Arrived, Left, Probe };  // Probe: the event does not say; ask the drive
    char letter;
    What what;
    int audioTracks;  // -1 when the event does not say
    bool operator==(const MediaDecision&) const = default;
};
std::vector<MediaDecision> MEDIA_Decide(const std::map<std::string, std::string>& properties,
                                        const std::vector<DriveEntry>& drives);

// Starts watching the optical drives for disc changes (once; a no-op without udev).
void MEDIA_StartMonitor();
// The simulated door of an image drive outlives the device that opened it: a
// program that closes and reopens the device finds the door as it left it.
bool MEDIA_ImageDoorOpen(char letter);
void MEDIA_SetImageDoorOpen(char letter, bool open);
}  // namespace winshim
