// Stands in for the cdaudio driver's registration until the driver is built:
// winmm calls MCICDA_Register() once, before its first command. Weak, so the
// driver's own definition wins as soon as it is in the library; delete this
// file with the driver's commit.
#include "winmm/devices.h"

namespace winshim {
__attribute__((weak)) void MCICDA_Register() {}
}  // namespace winshim
