// mciSendStringA with sequences of command strings on the demo disc, silently:
// one command a line; the first byte chooses the reply buffer's size (0: none).
// Every error must have a code MCI defines, and a reply must fit its buffer.
// Lines that ask to wait are left out: a play that waits lasts as long as the disc.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const UINT length = data[0] % 130;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<char> reply(length + 1, '\x55');
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string command = text.substr(start, end - start);
        start = end + 1;
        std::string lower = command;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (lower.find("wait") != std::string::npos) continue;
        const MCIERROR error = mciSendStringA(command.c_str(), length ? reply.data() : nullptr, length, nullptr);
        if (error && (LOWORD(error) <= MCIERR_BASE || LOWORD(error) > MCIERR_NO_IDENTITY))
            fuzz::fail("error " + std::to_string(error) + " for \"" + command + "\"");
        if (length && std::find(reply.begin(), reply.begin() + length, '\0') == reply.begin() + length)
            fuzz::fail("a reply without its end for \"" + command + "\"");
        if (reply[length] != '\x55') fuzz::fail("a reply ran past its buffer for \"" + command + "\"");
        char message[128];
        mciGetErrorStringA(error, message, sizeof message);
    }
    mciSendStringA("close all", nullptr, 0, nullptr);
    return 0;
}
