// Command strings: the verb, then the device (its alias, or for open its name),
// then keywords from the verb's table, which become the command message, its
// flags and its parameter block, as Windows' string parser builds them.
#include "winmm/mci.h"

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "core/log.h"
#include "winmm/commands.h"
#include "winmm/devices.h"
#include "winmm/parse.h"
#include "winmm/reply.h"

namespace winshim {
namespace {
// Big enough for every parameter block of the tables (the largest, MCI_OPEN_PARMSA, is 40 bytes).
struct alignas(8) ParmBlock {
    unsigned char bytes[64] = {};
    template <typename T>
    void put(size_t offset, T value) {
        std::memcpy(bytes + offset, &value, sizeof value);
    }
    template <typename T>
    T get(size_t offset) const {
        T value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
};

struct Parsed {
    DWORD flags = 0;
    ParmBlock block;
    std::deque<std::string> strings;  // what String arguments point to
};

// How many words of `keyword` match the tokens from `at`; 0 for none.
size_t matchKeyword(const MciKeyword& keyword, const std::vector<MciToken>& tokens, size_t at) {
    std::string_view words = keyword.words;
    size_t count = 0;
    while (!words.empty()) {
        const size_t blank = words.find(' ');
        const std::string_view word = words.substr(0, blank);
        if (at + count >= tokens.size() || !MCI_SameWord(tokens[at + count].text, word)) return 0;
        ++count;
        words = blank == std::string_view::npos ? std::string_view() : words.substr(blank + 1);
    }
    return count;
}

MCIERROR parseArgument(const MciKeyword& keyword, const MciToken& token, Parsed& out) {
    DWORD value = 0;
    switch (keyword.arg) {
    case MciArg::Flag:
    case MciArg::Item:
        break;
    case MciArg::Integer:
        if (MCIERROR error = MCI_ParseDWord(token.text, &value)) return error;
        out.block.put<DWORD>(keyword.offset, value);
        break;
    case MciArg::String:
        out.strings.push_back(token.text);
        out.block.put<const char*>(keyword.offset, out.strings.back().c_str());
        break;
    case MciArg::Constant: {
        bool found = false;
        for (const MciConstant& c : keyword.constants) {
            if (MCI_SameWord(c.name, token.text)) {
                value = c.value;
                found = true;
                break;
            }
        }
        if (!found && MCI_ParseDWord(token.text, &value)) return keyword.badConstant;
        out.block.put<DWORD>(keyword.offset, value);
        break;
    }
    }
    return 0;
}

// Reads the keywords after the device name into flags and parameters.
MCIERROR parseKeywords(const MciVerb& verb, const std::vector<MciToken>& tokens, size_t at, Parsed& out) {
    while (at < tokens.size()) {
        const MciKeyword* best = nullptr;
        size_t bestWords = 0;
        for (std::span<const MciKeyword> table : {MCI_CommonKeywords(), verb.keywords}) {
            for (const MciKeyword& keyword : table) {
                const size_t words = matchKeyword(keyword, tokens, at);
                if (words > bestWords) {
                    best = &keyword;
                    bestWords = words;
                }
            }
        }
        if (!best) return MCIERR_UNRECOGNIZED_KEYWORD;
        if (out.flags & best->flag) return MCIERR_DUPLICATE_FLAGS;
        out.flags |= best->flag;
        at += bestWords;
        if (best->arg == MciArg::Item) out.block.put<DWORD>(best->offset, best->value);
        if (best->arg == MciArg::Flag || best->arg == MciArg::Item) continue;
        if (at >= tokens.size())
            return best->arg == MciArg::String ? MCIERR_MISSING_STRING_ARGUMENT : MCIERR_MISSING_PARAMETER;
        if (MCIERROR error = parseArgument(*best, tokens[at], out)) return error;
        ++at;
    }
    for (DWORD group : verb.exclusive) {
        const DWORD given = out.flags & group;
        if (given & (given - 1)) return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
    if (verb.requiredAny && !(out.flags & verb.requiredAny)) return MCIERR_MISSING_PARAMETER;
    return 0;
}

// open NAME [type TYPE] [alias ALIAS] [shareable]: NAME is "type", "type!element",
// or the element when a type is given.
MCIERROR executeOpen(const std::string& name, Parsed& parsed, char* reply, UINT length) {
    auto& parms = *reinterpret_cast<MCI_OPEN_PARMSA*>(parsed.block.bytes);
    const size_t bang = name.find('!');
    DWORD flags = parsed.flags;
    if (bang != std::string::npos) {
        if (flags & MCI_OPEN_TYPE) return MCIERR_FLAGS_NOT_COMPATIBLE;
        parsed.strings.push_back(name.substr(0, bang));
        parms.lpstrDeviceType = parsed.strings.back().c_str();
        parsed.strings.push_back(name.substr(bang + 1));
        parms.lpstrElementName = parsed.strings.back().c_str();
        flags |= MCI_OPEN_TYPE | MCI_OPEN_ELEMENT;
    } else if (flags & MCI_OPEN_TYPE) {
        parms.lpstrElementName = name.c_str();
        flags |= MCI_OPEN_ELEMENT;
    } else {
        parms.lpstrDeviceType = name.c_str();
        flags |= MCI_OPEN_TYPE;
    }
    if (!parms.lpstrDeviceType[0]) return MCIERR_INVALID_DEVICE_NAME;
    if (MCIERROR error = MCI_Open(flags, &parms)) return error;
    // Without a buffer the caller does not want the id; the device is open all the same.
    return MCI_WriteReply(std::to_string(parms.wDeviceID), reply, length, true);
}

// `alias` null: every device (close all).
MCIERROR executeOnDevice(const MciVerb& verb, const char* alias, Parsed& parsed, char* reply, UINT length) {
    char info[256] = "";
    if (verb.reply == MciReturn::String) {
        auto& parms = *reinterpret_cast<MCI_INFO_PARMSA*>(parsed.block.bytes);
        parms.lpstrReturn = info;
        parms.dwRetSize = sizeof info;
    }
    const DWORD result = alias ? MCI_SendToAlias(alias, verb.message, parsed.flags, parsed.block.bytes)
                               : MCI_Send(MCI_ALL_DEVICE_ID, verb.message, parsed.flags, parsed.block.bytes);
    if (const MCIERROR error = LOWORD(result)) return error;
    std::string text;
    switch (verb.reply) {
    case MciReturn::None:
    case MciReturn::DeviceId:
        return 0;
    case MciReturn::String:
        info[sizeof info - 1] = '\0';
        text = info;
        break;
    case MciReturn::Dword:
    case MciReturn::DwordPtr: {
        const DWORD value = verb.reply == MciReturn::Dword ? parsed.block.get<DWORD>(verb.returnOffset)
                                                           : DWORD(parsed.block.get<DWORD_PTR>(verb.returnOffset));
        if (MCIERROR error = MCI_FormatReturn(result, value, text)) return error;
        break;
    }
    }
    return MCI_WriteReply(text, reply, length, false);
}
}  // namespace

MCIERROR MCI_Execute(std::string_view command, char* reply, UINT length, HWND callback) {
    std::vector<MciToken> tokens;
    if (MCIERROR error = MCI_Tokenize(command, tokens)) return error;
    if (tokens.empty()) return MCIERR_MISSING_COMMAND_STRING;
    const MciVerb* verb = MCI_FindVerb(tokens[0].text);
    if (!verb) return MCIERR_UNRECOGNIZED_COMMAND;
    if (tokens.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
    const std::string& name = tokens[1].text;
    const bool all = !tokens[1].quoted && MCI_SameWord(name, "all");
    if (all && verb->message != MCI_CLOSE) return MCIERR_CANNOT_USE_ALL;

    // An unknown device is reported before anything about the keywords.
    if (!all && verb->message != MCI_OPEN && !MCI_FindAlias(name.c_str())) return MCIERR_INVALID_DEVICE_NAME;
    Parsed parsed;
    parsed.block.put<DWORD_PTR>(0, DWORD_PTR(callback));
    if (MCIERROR error = parseKeywords(*verb, tokens, 2, parsed)) return error;
    if (verb->message == MCI_OPEN) return executeOpen(name, parsed, reply, length);
    return executeOnDevice(*verb, all ? nullptr : name.c_str(), parsed, reply, length);
}
}  // namespace winshim
