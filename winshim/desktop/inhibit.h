// While the cdaudio device plays, the machine does not suspend: a desktop
// suspends an idle machine after its timeout, and music playing from a disc
// is no input. Only suspend is held off; the screen saver and the screen's
// blanking go on as they would.
#pragma once

namespace winshim {
// From the first top-level window on, an inhibitor is held while the device's
// mode is playing and given back at pause, stop, the end of the disc, a device
// that closes or is lost, and exit. Asked of the first that answers: the
// desktop portal, the session manager, logind. Without a bus or any of them
// nothing happens and nothing is said.
void INHIBIT_Watch();
}  // namespace winshim
