// The interface between the MCI command-string layer (winmm) and the device
// drivers (mcicda). As in Windows, mciSendStringA parses a command string into a
// command message with flags and a parameter block (mmsystem.h) and hands it to
// the driver of the open device; the driver's result says how a returned value
// is written back as text.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace winshim {

// Flags a driver puts in the high word of its result, beside the MCIERROR in the
// low word (the values of the Windows driver kit).
constexpr DWORD MCI_RESOURCE_RETURNED = 0x00010000;  // HIWORD(dwReturn) is a string id (MCI_MODE_*, MCI_TRUE, ...)
constexpr DWORD MCI_COLONIZED3_RETURN = 0x00020000;  // dwReturn is packed MSF, written mm:ss:ff
constexpr DWORD MCI_COLONIZED4_RETURN = 0x00040000;  // dwReturn is packed TMSF, written tt:mm:ss:ff
constexpr DWORD MCI_INTEGER_RETURNED = 0x00080000;   // dwReturn is a plain integer, written %d

constexpr DWORD MCI_RESOURCE_DRIVER = 0x00100000;  // with MCI_RESOURCE_RETURNED: the string is the driver's own
                                                   // (MCI_CDA_TRACK_AUDIO, ...); winmm knows those too

// String id of a time format's name: MCI_FORMAT_RETURN_BASE + MCI_FORMAT_* ("milliseconds", "msf", "tmsf", ...).
constexpr WORD MCI_FORMAT_RETURN_BASE = MCI_STRING_OFFSET + 21;

// Pairs a value with the string id that names it, as Windows' MAKEMCIRESOURCE.
constexpr DWORD_PTR MCI_MakeResource(WORD value, WORD stringId) { return MAKELONG(value, stringId); }

class MciDriver {
public:
    virtual ~MciDriver() = default;
    // One command message (MCI_PLAY, MCI_STATUS, ...) with its MCI_* flags and
    // parameter block, for this open device. MCI_OPEN has been handled by the
    // factory; MCI_CLOSE comes before the driver is destroyed.
    // Returns an MCIERROR in the low word and MCI_*_RETURNED flags in the high word.
    // Never blocks the caller for long: playback runs on the driver's own threads.
    virtual DWORD command(UINT message, DWORD_PTR flags, void* parms) = 0;

    // For a command sent with MCI_WAIT, which returns when what it started is
    // over: the action the command just started (0 for one that is over at
    // once), and whether an action is over by now. Both run under the device
    // table's lock, between other commands, so that a command from another
    // thread can end the action (a stop, or a play that supersedes it).
    virtual uint64_t lastingAction(UINT /*message*/) { return 0; }
    virtual bool actionOver(uint64_t /*action*/) { return true; }
};

// Opens a device of a registered type. `element` is the text after "!" in
// "cdaudio!d:" or the element name of "open d: type cdaudio" ("" for none);
// `alias` is the name the device is opened under.
// Returns null and sets *error (an MCIERROR) when the device cannot be opened.
using MciDriverFactory =
    std::function<std::unique_ptr<MciDriver>(const std::string& element, const std::string& alias, MCIERROR* error)>;

// What a driver tells winmm about itself, as an audio backend of SDL does through its
// bootstrap: the device type it serves (lower case) and how it opens a device. winmm
// keeps a table of these, the [mci] section of system.ini on Windows.
struct MciDriverEntry {
    const char* type;
    std::unique_ptr<MciDriver> (*open)(const std::string& element, const std::string& alias, MCIERROR* error);
};

// The drivers built into winshim, each defined by its own library.
extern const MciDriverEntry MCICDA_Driver;

// Registers (or replaces) the driver of a device type, in any case ("cdaudio"), and
// returns the one it replaces (empty for none), so that a test can put it back.
MciDriverFactory MCI_RegisterDeviceType(const std::string& type, MciDriverFactory factory);

}  // namespace winshim
