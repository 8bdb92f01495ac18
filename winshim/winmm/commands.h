// The command tables: for each verb, its message, its keywords with the flags
// they set and the arguments they take, and where each lands in the verb's
// parameter block (mmsystem.h), as Windows describes its commands.
#pragma once
#include <mmsystem.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace winshim {
enum class MciArg {
    Flag,      // the keyword alone sets its flag
    Item,      // sets its flag and writes `value` at `offset` (status and capability items)
    Integer,   // sets its flag; the next word is a number (MCI_ParseDWord) written at `offset`
    String,    // sets its flag; the next word's text is pointed to from `offset`
    Constant,  // sets its flag; the next word is one of `constants` or a number, written at `offset`
};

struct MciConstant {
    const char* name;
    DWORD value;
};

struct MciKeyword {
    const char* words;  // one or more words separated by single blanks, lower case
    DWORD flag;
    MciArg arg = MciArg::Flag;
    size_t offset = 0;
    DWORD value = 0;
    std::span<const MciConstant> constants = {};
    MCIERROR badConstant = MCIERR_BAD_CONSTANT;  // for a Constant that is neither name nor number
};

// What the reply of a verb is made of.
enum class MciReturn {
    None,
    DeviceId,  // open: the new device's id
    Dword,     // a DWORD at returnOffset, written as the driver's result flags say
    DwordPtr,  // the same, in a DWORD_PTR (MCI_STATUS_PARMS)
    String,    // MCI_INFO_PARMSA's buffer
};

struct MciVerb {
    const char* name;
    UINT message;
    std::span<const MciKeyword> keywords;
    DWORD requiredAny = 0;                  // at least one of these flags, else MCIERR_MISSING_PARAMETER
    std::span<const DWORD> exclusive = {};  // groups of which at most one flag may be given
    MciReturn reply = MciReturn::None;
    size_t returnOffset = 0;
    bool onlyReads = false;  // the command leaves the device as it was (status, info, capability)
};

// `notify` and `wait`, which every verb takes besides its own keywords.
std::span<const MciKeyword> MCI_CommonKeywords();

// Every verb of the command strings.
std::span<const MciVerb> MCI_Verbs();

// The verb called `name` (any case), or null.
const MciVerb* MCI_FindVerb(std::string_view name);

// The verb whose command message is `message`, or null.
const MciVerb* MCI_VerbOf(UINT message);

// A command message as the command string that becomes it: the verb, `device`, then the
// keywords of the set flags with their arguments, in the order of the verb's table.
// Nothing for a message no verb sends, or flags (or a status or capability item) that
// no keyword of the verb sets.
std::optional<std::string> MCI_CommandString(std::string_view device, UINT message, DWORD_PTR flags, const void* parms);
}  // namespace winshim
