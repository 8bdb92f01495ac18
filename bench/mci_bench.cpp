// Microseconds per "status cd position" round trip through mciSendStringA, on
// the demo disc (stopped and playing with the null output). Prints only.
#include <windows.h>

#include <mmsystem.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

static double perCall(const char* command, int calls) {
    char reply[64];
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) mciSendStringA(command, reply, sizeof reply, nullptr);
    std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / calls;
}

int main(int argc, char** argv) {
    setenv("WINSHIM_AUDIO", "null", 1);
    int calls = argc > 1 ? std::atoi(argv[1]) : 20000;
    char reply[64];
    if (mciSendStringA("open cdaudio alias cd", reply, sizeof reply, nullptr) != 0) {
        std::fprintf(stderr, "no cdaudio device (is the demo disc built?)\n");
        return 1;
    }
    mciSendStringA("set cd time format milliseconds", reply, sizeof reply, nullptr);
    double stopped = perCall("status cd position", calls);
    mciSendStringA("play cd", reply, sizeof reply, nullptr);
    double playing = perCall("status cd position", calls);
    double mode = perCall("status cd mode", calls);
    mciSendStringA("close cd", reply, sizeof reply, nullptr);
    std::printf("mciSendStringA round trips, mean of %d calls:\n", calls);
    std::printf("  status cd position (stopped)  %8.2f us\n", stopped);
    std::printf("  status cd position (playing)  %8.2f us\n", playing);
    std::printf("  status cd mode (playing)      %8.2f us\n", mode);
    return 0;
}
