// What the open cdaudio device is doing, told to whoever shows it outside the
// program (the desktop's media controls): the device's own mode, track and
// position, and a notice when any of them may have changed.
#pragma once

#include <cstdint>
#include <functional>

namespace winshim {

struct CdaState {
    enum class Mode { Closed, NoDisc, Stopped, Playing, Paused };
    Mode mode = Mode::Closed;
    int track = 0;  // the disc's number for it, as `status current track` gives it; 0 without a disc
    int tracks = 0;
    int32_t trackStart = 0;  // LBA frames
    int32_t trackEnd = 0;
    int32_t position = 0;  // the frame heard now
};

// The state of the most recently opened cdaudio device that is still open.
// On the UI thread, where the device's commands run.
CdaState CDA_State();
// Adds an observer. Each runs on the UI thread, in the order they were added,
// after anything that may have changed the mode, the track or the disc:
// commands, the end of play, a door, a disc change.
void CDA_Watch(std::function<void()> observer);

// For the driver: an open device publishes how to read its state, under a key
// that withdraws it again.
void CDA_Publish(const void* key, std::function<CdaState()> read);
void CDA_Withdraw(const void* key);
// For the driver and the media notices: something changed. Callable from any thread.
void CDA_Changed();

}  // namespace winshim
