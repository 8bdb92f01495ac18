#include "winmm/reply.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "winmm/mcidriver.h"

namespace winshim {
namespace {
struct ResourceText {
    UINT id;
    const char* text;
};

constexpr ResourceText kTexts[] = {
    {MCI_MODE_NOT_READY, "not ready"},
    {MCI_MODE_STOP, "stopped"},
    {MCI_MODE_PLAY, "playing"},
    {MCI_MODE_RECORD, "recording"},
    {MCI_MODE_SEEK, "seeking"},
    {MCI_MODE_PAUSE, "paused"},
    {MCI_MODE_OPEN, "open"},
    {MCI_FALSE, "false"},
    {MCI_TRUE, "true"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_MILLISECONDS, "milliseconds"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_HMS, "hms"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_MSF, "msf"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_FRAMES, "frames"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_SMPTE_24, "smpte 24"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_SMPTE_25, "smpte 25"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_SMPTE_30, "smpte 30"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_SMPTE_30DROP, "smpte 30 drop"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_BYTES, "bytes"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_SAMPLES, "samples"},
    {MCI_FORMAT_RETURN_BASE + MCI_FORMAT_TMSF, "tmsf"},
    {MCI_DEVTYPE_VCR, "vcr"},
    {MCI_DEVTYPE_VIDEODISC, "videodisc"},
    {MCI_DEVTYPE_OVERLAY, "overlay"},
    {MCI_DEVTYPE_CD_AUDIO, "cdaudio"},
    {MCI_DEVTYPE_DAT, "dat"},
    {MCI_DEVTYPE_SCANNER, "scanner"},
    {MCI_DEVTYPE_ANIMATION, "animation"},
    {MCI_DEVTYPE_DIGITAL_VIDEO, "digitalvideo"},
    {MCI_DEVTYPE_OTHER, "other"},
    {MCI_DEVTYPE_WAVEFORM_AUDIO, "waveaudio"},
    {MCI_DEVTYPE_SEQUENCER, "sequencer"},
    {MCI_CDA_TRACK_AUDIO, "audio"},
    {MCI_CDA_TRACK_OTHER, "other"},
};
}  // namespace

const char* MCI_ResourceText(UINT id) {
    for (const ResourceText& t : kTexts) {
        if (t.id == id) return t.text;
    }
    return nullptr;
}

UINT MCI_ResourceId(std::string_view text) {
    for (const ResourceText& t : kTexts) {
        if (text == t.text) return t.id;
    }
    return 0;
}

MCIERROR MCI_FormatReturn(DWORD result, DWORD value, std::string& text) {
    char buffer[32];
    const auto byte = [value](int n) { return int((value >> (8 * n)) & 0xFF); };
    if (result & MCI_RESOURCE_RETURNED) {
        const char* word = MCI_ResourceText(HIWORD(value));
        if (!word) return MCIERR_PARSER_INTERNAL;
        text = word;
        return 0;
    }
    if (result & MCI_COLONIZED3_RETURN)
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", byte(0), byte(1), byte(2));
    else if (result & MCI_COLONIZED4_RETURN)
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%02d", byte(0), byte(1), byte(2), byte(3));
    else
        std::snprintf(buffer, sizeof buffer, "%d", int(value));
    text = buffer;
    return 0;
}

MCIERROR MCI_WriteReply(const std::string& text, char* buffer, UINT length, bool optional) {
    if (text.empty()) return 0;
    if (!buffer || length == 0) return optional ? 0 : MCIERR_PARAM_OVERFLOW;
    if (text.size() >= length) return MCIERR_PARAM_OVERFLOW;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}
}  // namespace winshim
