// mcisend "open cdaudio alias cd" "status cd number of tracks" "close cd"
// or, without arguments, one command per line from standard input.
// Prints each reply (an empty line when a command replies nothing), or
// "error N: text". Exits with 0 when every command succeeded, else 1.
#include <mmsystem.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {
bool send(const std::string& command) {
    char reply[1024];
    const MCIERROR error = mciSendStringA(command.c_str(), reply, sizeof reply, nullptr);
    if (!error) {
        std::printf("%s\n", reply);
        return true;
    }
    char text[256];
    if (!mciGetErrorStringA(error, text, sizeof text)) std::snprintf(text, sizeof text, "unknown error");
    std::printf("error %u: %s\n", unsigned(error), text);
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) ok = send(argv[i]) && ok;
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ok = send(line) && ok;
            std::fflush(stdout);
        }
    }
    // Devices left open are closed as a program's are at exit.
    mciSendStringA("close all", nullptr, 0, nullptr);
    return ok ? 0 : 1;
}
