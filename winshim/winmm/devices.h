// The table of open MCI devices and the drivers they run on, shared by the
// command-string layer and mciSendCommandA.
#pragma once
#include <mmsystem.h>

namespace winshim {
// Registers the built-in drivers once; every entry point calls it first, so
// nothing is registered (or probed) by a program that never speaks MCI.
void MCI_EnsureDrivers();

// Opens a device, as MCI_OPEN: lpstrDeviceType names the type (MCI_OPEN_TYPE,
// or MCI_OPEN_TYPE_ID with an MCI_DEVTYPE_* value), lpstrElementName the element
// (MCI_OPEN_ELEMENT), lpstrAlias the alias (MCI_OPEN_ALIAS; otherwise the element,
// or the type without one); MCI_OPEN_SHAREABLE. Sets wDeviceID.
MCIERROR MCI_Open(DWORD_PTR flags, MCI_OPEN_PARMSA* parms);

// The id of the device opened under `alias` (any case), 0 for none.
MCIDEVICEID MCI_FindAlias(const char* alias);

// Hands one command to an open device (MCI_CLOSE closes it; MCI_ALL_DEVICE_ID
// with MCI_CLOSE closes every device). Returns the driver's whole result: the
// error in the low word, the MCI_*_RETURNED flags in the high word. With
// MCI_WAIT it returns once what the command started is over (a play at its
// end, or when stopped, paused or superseded from another thread).
DWORD MCI_Send(MCIDEVICEID device, UINT message, DWORD_PTR flags, void* parms);

// The same for the device opened under `alias`, found and commanded under one
// lock, so a close on another thread cannot slip in between;
// MCIERR_INVALID_DEVICE_NAME when no device has that alias.
DWORD MCI_SendToAlias(const char* alias, UINT message, DWORD_PTR flags, void* parms);
}  // namespace winshim
