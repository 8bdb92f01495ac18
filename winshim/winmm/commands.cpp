#include "winmm/commands.h"

#include <cstring>

#include "winmm/parse.h"

namespace winshim {
namespace {
// Every verb takes these.
constexpr MciKeyword kCommon[] = {{"notify", MCI_NOTIFY}, {"wait", MCI_WAIT}};

constexpr MciKeyword kOpen[] = {
    {"type", MCI_OPEN_TYPE, MciArg::String, offsetof(MCI_OPEN_PARMSA, lpstrDeviceType)},
    {"alias", MCI_OPEN_ALIAS, MciArg::String, offsetof(MCI_OPEN_PARMSA, lpstrAlias)},
    {"shareable", MCI_OPEN_SHAREABLE},
};

constexpr MciKeyword kPlay[] = {
    {"from", MCI_FROM, MciArg::Integer, offsetof(MCI_PLAY_PARMS, dwFrom)},
    {"to", MCI_TO, MciArg::Integer, offsetof(MCI_PLAY_PARMS, dwTo)},
};

constexpr MciKeyword kSeek[] = {
    {"to start", MCI_SEEK_TO_START},
    {"to end", MCI_SEEK_TO_END},
    {"to", MCI_TO, MciArg::Integer, offsetof(MCI_SEEK_PARMS, dwTo)},
};
constexpr DWORD kSeekExclusive[] = {MCI_SEEK_TO_START | MCI_SEEK_TO_END | MCI_TO};

#define MCI_STATUS_ITEM_KEYWORD(words, item) \
    { words, MCI_STATUS_ITEM, MciArg::Item, offsetof(MCI_STATUS_PARMS, dwItem), item }
constexpr MciKeyword kStatus[] = {
    MCI_STATUS_ITEM_KEYWORD("position", MCI_STATUS_POSITION),
    MCI_STATUS_ITEM_KEYWORD("length", MCI_STATUS_LENGTH),
    MCI_STATUS_ITEM_KEYWORD("number of tracks", MCI_STATUS_NUMBER_OF_TRACKS),
    MCI_STATUS_ITEM_KEYWORD("mode", MCI_STATUS_MODE),
    MCI_STATUS_ITEM_KEYWORD("media present", MCI_STATUS_MEDIA_PRESENT),
    MCI_STATUS_ITEM_KEYWORD("time format", MCI_STATUS_TIME_FORMAT),
    MCI_STATUS_ITEM_KEYWORD("ready", MCI_STATUS_READY),
    MCI_STATUS_ITEM_KEYWORD("current track", MCI_STATUS_CURRENT_TRACK),
    MCI_STATUS_ITEM_KEYWORD("type", MCI_CDA_STATUS_TYPE_TRACK),
    {"track", MCI_TRACK, MciArg::Integer, offsetof(MCI_STATUS_PARMS, dwTrack)},
    {"start", MCI_STATUS_START},
};

constexpr MciConstant kTimeFormats[] = {
    {"milliseconds", MCI_FORMAT_MILLISECONDS},
    {"ms", MCI_FORMAT_MILLISECONDS},
    {"hms", MCI_FORMAT_HMS},
    {"msf", MCI_FORMAT_MSF},
    {"frames", MCI_FORMAT_FRAMES},
    {"bytes", MCI_FORMAT_BYTES},
    {"samples", MCI_FORMAT_SAMPLES},
    {"tmsf", MCI_FORMAT_TMSF},
};
constexpr MciConstant kChannels[] = {
    {"all", MCI_SET_AUDIO_ALL},
    {"left", MCI_SET_AUDIO_LEFT},
    {"right", MCI_SET_AUDIO_RIGHT},
};
constexpr MciKeyword kSet[] = {
    {"time format", MCI_SET_TIME_FORMAT, MciArg::Constant, offsetof(MCI_SET_PARMS, dwTimeFormat), 0, kTimeFormats,
     MCIERR_BAD_TIME_FORMAT},
    {"door open", MCI_SET_DOOR_OPEN},
    {"door closed", MCI_SET_DOOR_CLOSED},
    {"audio", MCI_SET_AUDIO, MciArg::Constant, offsetof(MCI_SET_PARMS, dwAudio), 0, kChannels},
    {"on", MCI_SET_ON},
    {"off", MCI_SET_OFF},
};
constexpr DWORD kSetExclusive[] = {MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED, MCI_SET_ON | MCI_SET_OFF};

constexpr MciKeyword kInfo[] = {
    {"product", MCI_INFO_PRODUCT},
    {"identity", MCI_INFO_MEDIA_IDENTITY},
    {"upc", MCI_INFO_MEDIA_UPC},
};
constexpr DWORD kInfoExclusive[] = {MCI_INFO_PRODUCT | MCI_INFO_MEDIA_IDENTITY | MCI_INFO_MEDIA_UPC};

#define MCI_CAPABILITY_KEYWORD(words, item) \
    { words, MCI_GETDEVCAPS_ITEM, MciArg::Item, offsetof(MCI_GETDEVCAPS_PARMS, dwItem), item }
constexpr MciKeyword kCapability[] = {
    MCI_CAPABILITY_KEYWORD("can play", MCI_GETDEVCAPS_CAN_PLAY),
    MCI_CAPABILITY_KEYWORD("can eject", MCI_GETDEVCAPS_CAN_EJECT),
    MCI_CAPABILITY_KEYWORD("can record", MCI_GETDEVCAPS_CAN_RECORD),
    MCI_CAPABILITY_KEYWORD("can save", MCI_GETDEVCAPS_CAN_SAVE),
    MCI_CAPABILITY_KEYWORD("has audio", MCI_GETDEVCAPS_HAS_AUDIO),
    MCI_CAPABILITY_KEYWORD("has video", MCI_GETDEVCAPS_HAS_VIDEO),
    MCI_CAPABILITY_KEYWORD("uses files", MCI_GETDEVCAPS_USES_FILES),
    MCI_CAPABILITY_KEYWORD("compound device", MCI_GETDEVCAPS_COMPOUND_DEVICE),
    MCI_CAPABILITY_KEYWORD("device type", MCI_GETDEVCAPS_DEVICE_TYPE),
};

constexpr MciVerb kVerbs[] = {
    {"open", MCI_OPEN, kOpen, 0, {}, MciReturn::DeviceId},
    {"close", MCI_CLOSE, std::span<const MciKeyword>()},
    {"play", MCI_PLAY, kPlay},
    {"pause", MCI_PAUSE, std::span<const MciKeyword>()},
    {"resume", MCI_RESUME, std::span<const MciKeyword>()},
    {"stop", MCI_STOP, std::span<const MciKeyword>()},
    {"seek", MCI_SEEK, kSeek, MCI_SEEK_TO_START | MCI_SEEK_TO_END | MCI_TO, kSeekExclusive},
    {"status",
     MCI_STATUS,
     kStatus,
     MCI_STATUS_ITEM,
     {},
     MciReturn::DwordPtr,
     offsetof(MCI_STATUS_PARMS, dwReturn),
     true},
    {"set", MCI_SET, kSet, 0, kSetExclusive},
    {"info", MCI_INFO, kInfo, 0, kInfoExclusive, MciReturn::String, 0, true},
    {"capability",
     MCI_GETDEVCAPS,
     kCapability,
     MCI_GETDEVCAPS_ITEM,
     {},
     MciReturn::Dword,
     offsetof(MCI_GETDEVCAPS_PARMS, dwReturn),
     true},
};

DWORD dwordAt(const void* parms, size_t offset) {
    DWORD value;
    std::memcpy(&value, static_cast<const unsigned char*>(parms) + offset, sizeof value);
    return value;
}

// The words of `keyword` and its argument, as the parser reads them back.
std::string keywordText(const MciKeyword& keyword, const void* parms) {
    std::string text = keyword.words;
    switch (keyword.arg) {
    case MciArg::Flag:
    case MciArg::Item:
        break;
    case MciArg::Integer:
        text += " " + std::to_string(dwordAt(parms, keyword.offset));
        break;
    case MciArg::String: {
        const char* value;
        std::memcpy(&value, static_cast<const unsigned char*>(parms) + keyword.offset, sizeof value);
        text += " \"" + std::string(value ? value : "") + "\"";
        break;
    }
    case MciArg::Constant: {
        const DWORD value = dwordAt(parms, keyword.offset);
        std::string word = std::to_string(value);
        for (const MciConstant& c : keyword.constants) {
            if (c.value == value) {
                word = c.name;
                break;
            }
        }
        text += " " + word;
        break;
    }
    }
    return text;
}
}  // namespace

std::span<const MciVerb> MCI_Verbs() {
    return kVerbs;
}

const MciVerb* MCI_VerbOf(UINT message) {
    for (const MciVerb& verb : kVerbs) {
        if (verb.message == message) return &verb;
    }
    return nullptr;
}

std::optional<std::string> MCI_CommandString(std::string_view device, UINT message, DWORD_PTR flags,
                                             const void* parms) {
    const MciVerb* verb = MCI_VerbOf(message);
    if (!verb) return std::nullopt;
    std::string text = std::string(verb->name) + " " + std::string(device);
    DWORD_PTR told = 0;
    for (std::span<const MciKeyword> table : {verb->keywords, MCI_CommonKeywords()}) {
        for (const MciKeyword& keyword : table) {
            if (!(flags & keyword.flag)) continue;
            if (!parms && keyword.arg != MciArg::Flag) return std::nullopt;
            if (keyword.arg == MciArg::Item && dwordAt(parms, keyword.offset) != keyword.value) continue;
            text += " " + keywordText(keyword, parms);
            told |= keyword.flag;
        }
    }
    if (flags & ~told) return std::nullopt;
    return text;
}

std::span<const MciKeyword> MCI_CommonKeywords() {
    return kCommon;
}

const MciVerb* MCI_FindVerb(std::string_view name) {
    for (const MciVerb& verb : kVerbs) {
        if (MCI_SameWord(verb.name, name)) return &verb;
    }
    return nullptr;
}
}  // namespace winshim
