// Starts each program many times, alternating, and measures the time from the
// start of the process to its first shown (painted) window. Prints the medians
// and their ratio.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

static double runOnce(const char* path) {
    int pipefd[2];
    if (pipe(pipefd) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipefd[0]);
    char* argv[] = {const_cast<char*>(path), nullptr};
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, path, &actions, nullptr, argv, environ) != 0) return -1;
    close(pipefd[1]);
    std::string out;
    char buffer[64];
    ssize_t n;
    while (out.find("shown") == std::string::npos && (n = read(pipefd[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    auto end = std::chrono::steady_clock::now();
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    if (out.find("shown") == std::string::npos) return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    std::vector<double> shim, qt;
    runOnce(SHIM_PATH);  // warm the file cache for both
    runOnce(QT_PATH);
    for (int i = 0; i < runs; ++i) {
        double a = runOnce(SHIM_PATH), b = runOnce(QT_PATH);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a program did not show its window (is there a display or QT_QPA_PLATFORM?)\n");
            return 1;
        }
        shim.push_back(a);
        qt.push_back(b);
    }
    double ms = median(shim), mq = median(qt);
    std::printf("start to first shown window, median of %d runs:\n", runs);
    std::printf("  IDD_MAIN through winshim  %8.1f ms\n", ms);
    std::printf("  bare Qt window            %8.1f ms\n", mq);
    std::printf("  ratio winshim / Qt        %8.2f\n", ms / mq);
    return 0;
}
