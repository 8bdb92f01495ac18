#include "sound_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "test_support.h"

extern char** environ;

namespace testsupport {
namespace {

const char kSink[] = "out";

// Starts `argv` with `env` added to this process's environment, its standard
// output to `out` (or the log file `log`), standard error to `log`.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out,
            const std::string& log) {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) envText.emplace_back(*e);
    for (const std::string& e : env) {
        const std::string key = e.substr(0, e.find('=') + 1);
        std::erase_if(envText, [&](const std::string& s) { return s.rfind(key, 0) == 0; });
        envText.push_back(e);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    } else {
        posix_spawn_file_actions_adddup2(&actions, 2, 1);
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void end(pid_t& pid, int signal) {
    if (pid <= 0) return;
    ::kill(pid, signal);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace

SoundServer::SoundServer(const std::string& folder)
    : folder_(folder), socket_(folder + "/native"), fifo_(folder + "/sink.fifo") {
    std::filesystem::create_directories(folder_ + "/home");
    std::filesystem::create_directories(folder_ + "/run");
    chmod((folder_ + "/run").c_str(), 0700);
    // A client that finds no server must not start one of its own.
    writeFile(folder_ + "/client.conf", "autospawn = no\n");
    setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (folder_ + "/client.conf").c_str(), 1);
}

SoundServer::~SoundServer() {
    if (reader_.joinable()) {
        const char stop = 0;
        (void)!write(wake_[1], &stop, 1);
        reader_.join();
    }
    end(server_, SIGTERM);
    for (int fd : {fd_, wake_[0], wake_[1]})
        if (fd >= 0) close(fd);
    unlink(fifo_.c_str());
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_CLIENTCONFIG");
}

std::string SoundServer::start() {
    if (server_ > 0) return "";
    // The sink makes its FIFO, and opens one that a killed server left.
    // -n: none of the desktop's modules (no stream-restore, no suspend on idle),
    // so a stream plays at full volume and the sink never changes its format.
    server_ = spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
                     "--high-priority=no", "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                     std::string("--load=module-pipe-sink sink_name=") + kSink + " file=" + fifo_ +
                         " rate=44100 format=s16le channels=2 channel_map=left,right use_system_clock_for_timing=yes"},
                    {"XDG_RUNTIME_DIR=" + folder_ + "/run", "HOME=" + folder_ + "/home"}, -1, folder_ + "/server.log");
    if (server_ <= 0) return "cannot start pulseaudio (is it installed? scripts/deps.sh installs it)";
    // The protocol answers before the sink exists: wait for the sink.
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        if (waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;
            return "pulseaudio exited at start:\n" + log();
        }
        if (pactl("list short sinks").find(kSink) != std::string::npos) {
            pactl(std::string("set-sink-volume ") + kSink + " 100%");
            if (reader_.joinable()) return "";
            // Open for writing too: the FIFO then never reads as ended, not
            // even between a killed server and the next one.
            fd_ = open(fifo_.c_str(), O_RDWR | O_CLOEXEC);
            if (fd_ < 0 || pipe2(wake_, O_CLOEXEC) != 0) return "cannot open the sink's FIFO " + fifo_;
            // Seconds of room, so that a reader held up on a busy machine
            // never makes the sink wait.
            fcntl(fd_, F_SETPIPE_SZ, 1 << 20);
            reader_ = std::thread([this] { readSink(); });
            return "";
        }
        usleep(50 * 1000);
    }
    end(server_, SIGKILL);
    return "pulseaudio started but its pipe sink never came up:\n" + log();
}

void SoundServer::kill() {
    end(server_, SIGKILL);
}

void SoundServer::record() {
    std::lock_guard lk(m_);
    samples_.clear();
    arrivals_.clear();
    recording_ = true;
}

void SoundServer::stopRecording() {
    std::lock_guard lk(m_);
    recording_ = false;
}

void SoundServer::readSink() {
    std::vector<char> pending;
    char buf[16384];
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) continue;
        const auto now = Clock::now();
        pending.insert(pending.end(), buf, buf + n);
        const size_t whole = pending.size() / 4 * 4;
        std::lock_guard lk(m_);
        if (recording_) {
            for (size_t i = 0; i < whole; i += 2)
                samples_.push_back(
                    static_cast<int16_t>(static_cast<uint8_t>(pending[i]) | static_cast<uint8_t>(pending[i + 1]) << 8));
            arrivals_.emplace_back(now, static_cast<int64_t>(samples_.size() / 2));
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(whole));
    }
}

std::vector<int16_t> SoundServer::recorded() const {
    std::lock_guard lk(m_);
    return samples_;
}

int64_t SoundServer::framesAt(Clock::time_point when) const {
    std::lock_guard lk(m_);
    auto it = std::upper_bound(arrivals_.begin(), arrivals_.end(), when,
                               [](Clock::time_point t, const auto& a) { return t < a.first; });
    return it == arrivals_.begin() ? 0 : std::prev(it)->second;
}

bool SoundServer::keptUpAt(Clock::time_point when) const {
    constexpr int64_t kBlock = 1024;  // frames the sink renders at once
    std::lock_guard lk(m_);
    auto it = std::upper_bound(arrivals_.begin(), arrivals_.end(), when,
                               [](Clock::time_point t, const auto& a) { return t < a.first; });
    if (it == arrivals_.end() || it - arrivals_.begin() < 2) return false;
    const auto before = std::prev(it), earlier = std::prev(before);
    return before->second - earlier->second <= kBlock && it->second - before->second <= kBlock;
}

SoundServer::Clock::time_point SoundServer::arrivalOf(int64_t frame) const {
    std::lock_guard lk(m_);
    for (const auto& [when, frames] : arrivals_)
        if (frames > frame) return when;
    return Clock::now();
}

std::string SoundServer::pactl(const std::string& args) const {
    std::string text;
    if (std::FILE* p = popen(("pactl " + args + " 2>/dev/null").c_str(), "r")) {
        char buf[1024];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
        if (pclose(p) != 0) text.clear();
    }
    return text;
}

std::string SoundServer::log() const {
    return readFile(folder_ + "/server.log");
}

}  // namespace testsupport
