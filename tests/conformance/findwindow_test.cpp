// FindWindowA across processes, and ShowWindow(SW_RESTORE) and SetForegroundWindow
// on the window found. The other process is findwindow_peer; it reports on stdout
// what its window procedure sees.
#include <windows.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace {
namespace fs = std::filesystem;

constexpr char kClass[] = "VarnelProbe";
constexpr char kTitle[] = "Probe Window";
constexpr int kPeerTimeoutMs = 20000;  // a sanitized peer starts slowly

// The peer process, killed and reaped with the object.
class Peer {
public:
    explicit Peer(const char* mode = nullptr) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> args = {PEER_PATH, kClass, kTitle};
        if (mode) args.push_back(mode);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, PEER_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Peer() {
        kill();
        if (out_ >= 0) ::close(out_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // Reads report lines until `word`; false when the peer ends or time runs out first.
    bool waitFor(const std::string& word, int timeoutMs = kPeerTimeoutMs) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                if (line == word) return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return false;
            char chunk[256];
            ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return false;
            buffer_.append(chunk, size_t(n));
        }
    }

    // A crash: no chance to clean anything up.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

class EnvVar {
public:
    explicit EnvVar(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v, had_ = true;
    }
    ~EnvVar() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    void set(const std::string& value) { setenv(name_, value.c_str(), 1); }
    void unset() { unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

bool isEmptyDir(const std::string& path) {
    std::error_code ec;
    return fs::is_empty(path, ec) && !ec;
}

// Both the test and its peer keep their sockets in a scratch runtime folder.
class FindWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_ = home_.path() + "/run";
        ASSERT_EQ(::mkdir(runtime_.c_str(), 0700), 0);
        xdg_.set(runtime_);
    }
    // Stops listening on the test process's side before the folder goes.
    void TearDown() override {
        for (HWND h : local_) DestroyWindow(h);
    }

    HWND createLocal(const char* className, const char* title) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        RegisterClassA(&wc);  // fails harmlessly when already registered
        HWND h = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        if (h) local_.push_back(h);
        return h;
    }

    testsupport::ScratchHome home_;
    std::string runtime_;
    EnvVar xdg_{"XDG_RUNTIME_DIR"};
    std::vector<HWND> local_;
};

struct Query {
    const char* className;
    const char* title;
};

TEST_F(FindWindowTest, FindsAnotherProcessWindowByClassAndTitleInAnyCase) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    const Query found[] = {
        {"VarnelProbe", nullptr},        {"varnelprobe", nullptr},        {"VARNELPROBE", nullptr},
        {"VarnelProbe", "Probe Window"}, {"varnelprobe", "PROBE WINDOW"}, {nullptr, "Probe Window"},
    };
    HWND first = nullptr;
    for (const Query& q : found) {
        SCOPED_TRACE(std::string(q.className ? q.className : "(null)") + " / " + (q.title ? q.title : "(null)"));
        SetLastError(12345);
        HWND h = FindWindowA(q.className, q.title);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetLastError(), 12345u);
        EXPECT_TRUE(IsWindow(h));
        if (!first) first = h;
        EXPECT_EQ(h, first) << "the same window is the same handle";
    }
    const Query missing[] = {
        {"OtherClass", nullptr},  {"VarnelProbeX", nullptr}, {"VarnelProb", nullptr}, {"VarnelProbe", "Other Window"},
        {"VarnelProbe", "Probe"}, {"VarnelProbe", ""},       {nullptr, "Nothing"},    {"", nullptr},
    };
    for (const Query& q : missing) {
        SCOPED_TRACE(std::string(q.className ? q.className : "(null)") + " / " + (q.title ? q.title : "(null)"));
        SetLastError(12345);
        EXPECT_EQ(FindWindowA(q.className, q.title), nullptr);
        EXPECT_EQ(GetLastError(), 12345u) << "FindWindowA leaves the last error alone";
    }
}

TEST_F(FindWindowTest, RestoresAndBringsForwardTheOtherProcessWindow) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    HWND h = FindWindowA("varnelprobe", nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(ShowWindow(h, SW_RESTORE)) << "the minimised window was visible";
    EXPECT_TRUE(peer.waitFor("restored"));
    EXPECT_TRUE(SetForegroundWindow(h));
    // Still found, and still the same window, after being restored.
    EXPECT_EQ(FindWindowA(kClass, kTitle), h);
}

TEST_F(FindWindowTest, CrashedPeerIsNotFoundAndItsClassCanBeServedAgain) {
    auto peer = std::make_unique<Peer>();
    ASSERT_TRUE(peer->waitFor("ready"));
    HWND old = FindWindowA(kClass, nullptr);
    ASSERT_NE(old, nullptr);
    peer->kill();
    ASSERT_FALSE(isEmptyDir(runtime_)) << "a crash leaves its socket behind";

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FindWindowA(kClass, nullptr), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, kTitle), nullptr);
    EXPECT_FALSE(ShowWindow(old, SW_RESTORE));
    EXPECT_FALSE(SetForegroundWindow(old));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "a dead peer never hangs us";

    peer = std::make_unique<Peer>();
    ASSERT_TRUE(peer->waitFor("ready"));
    HWND fresh = FindWindowA(kClass, nullptr);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_FALSE(ShowWindow(old, SW_RESTORE)) << "an old handle never reaches the new process";
    EXPECT_TRUE(ShowWindow(fresh, SW_RESTORE));
    EXPECT_TRUE(peer->waitFor("restored"));
}

TEST_F(FindWindowTest, WindowDestroyedByTheRequestIsGoneAfterwards) {
    Peer peer("quit-on-restore");
    ASSERT_TRUE(peer.waitFor("ready"));
    HWND h = FindWindowA(kClass, kTitle);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(ShowWindow(h, SW_RESTORE)) << "the reply arrives although the window is gone";
    ASSERT_TRUE(peer.waitFor("exited"));
    EXPECT_EQ(FindWindowA(kClass, nullptr), nullptr);
    EXPECT_FALSE(ShowWindow(h, SW_RESTORE));
}

TEST_F(FindWindowTest, OwnWindowsComeFirstAndDoNotTakeTheClassFromThePeer) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    HWND mine = createLocal(kClass, "Local Window");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(FindWindowA(kClass, nullptr), mine);
    EXPECT_EQ(FindWindowA("varnelprobe", "local window"), mine);
    HWND theirs = FindWindowA(kClass, kTitle);
    ASSERT_NE(theirs, nullptr) << "the peer still serves its class";
    EXPECT_NE(theirs, mine);
    DestroyWindow(mine);
    local_.clear();
    EXPECT_EQ(FindWindowA(kClass, nullptr), theirs);
}

TEST_F(FindWindowTest, ShowWindowOtherThanRestoreDoesNotReachTheOtherProcess) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    HWND h = FindWindowA(kClass, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(ShowWindow(h, SW_HIDE));
    EXPECT_FALSE(ShowWindow(h, SW_MINIMIZE));
    EXPECT_TRUE(ShowWindow(h, SW_RESTORE)) << "still minimised and visible, as the refused requests left it";
    EXPECT_TRUE(peer.waitFor("restored"));
}

#ifndef _WIN32
// Where the sockets live: only a private folder of this user is used, so no one
// else can answer a lookup or take a class's name.
struct FolderCase {
    const char* name;
    // Prepares <root>: sets or unsets XDG_RUNTIME_DIR, makes folders; returns the
    // folder that must stay empty when nothing may listen ("" for none).
    std::string (*setup)(const std::string& root, EnvVar& xdg);
    bool found;
};

std::string fallbackOf(const std::string& root) {
    return root + "/tmp/winshim-" + std::to_string(::getuid());
}

const FolderCase kFolderCases[] = {
    {"fallback folder is made when missing",
     [](const std::string&, EnvVar& xdg) {
         xdg.unset();
         return std::string();
     },
     true},
    {"runtime folder open to others falls back",
     [](const std::string& root, EnvVar& xdg) {
         ::mkdir((root + "/open").c_str(), 0755);
         ::chmod((root + "/open").c_str(), 0755);
         xdg.set(root + "/open");
         return root + "/open";
     },
     true},
    {"fallback folder open to others is refused",
     [](const std::string& root, EnvVar& xdg) {
         xdg.unset();
         ::mkdir(fallbackOf(root).c_str(), 0755);
         ::chmod(fallbackOf(root).c_str(), 0755);
         return fallbackOf(root);
     },
     false},
    {"fallback folder that is a symlink is refused",
     [](const std::string& root, EnvVar& xdg) {
         xdg.unset();
         ::mkdir((root + "/elsewhere").c_str(), 0700);
         ::symlink((root + "/elsewhere").c_str(), fallbackOf(root).c_str());
         return root + "/elsewhere";
     },
     false},
    {"fallback that is a file is refused",
     [](const std::string& root, EnvVar& xdg) {
         xdg.unset();
         testsupport::writeFile(fallbackOf(root), "x");
         return std::string();
     },
     false},
    {"fallback folder of another user is refused",
     [](const std::string& root, EnvVar& xdg) {
         xdg.unset();
         ::mkdir(fallbackOf(root).c_str(), 0700);
         if (::chown(fallbackOf(root).c_str(), 65534, 65534) != 0) return std::string("skip");
         return fallbackOf(root);
     },
     false},
};

TEST_F(FindWindowTest, SocketsLiveOnlyInAPrivateFolderOfTheUser) {
    EnvVar tmp("TMPDIR");
    for (const FolderCase& c : kFolderCases) {
        SCOPED_TRACE(c.name);
        std::string root = home_.path() + "/" + std::to_string(&c - kFolderCases);
        ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((root + "/tmp").c_str(), 0755), 0);
        xdg_.set(runtime_);
        tmp.set(root + "/tmp");
        std::string mustStayEmpty = c.setup(root, xdg_);
        if (mustStayEmpty == "skip") continue;  // needs root to give a folder away
        Peer peer;
        ASSERT_TRUE(peer.waitFor("ready"));
        EXPECT_EQ(FindWindowA(kClass, nullptr) != nullptr, c.found);
        if (!mustStayEmpty.empty()) {
            EXPECT_TRUE(isEmptyDir(mustStayEmpty)) << "nothing listens in a folder others can reach";
        }
        if (c.found) {
            struct stat st {};
            ASSERT_EQ(::lstat(fallbackOf(root).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u);
        }
    }
}

// One connection to the peer's socket, speaking the wire directly.
class RawClient {
public:
    explicit RawClient(const std::string& dir) {
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_socket()) path_ = entry.path().string();
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path_.c_str());
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool connected() const { return connected_; }
    void send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // The reply line, or "<closed>" when the server closed the connection.
    std::string reply() {
        std::string line;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return "<silent>";
            char c;
            if (::read(fd_, &c, 1) != 1) return "<closed>";
            if (c == '\n') return line;
            line += c;
        }
    }

    // Reads everything until the server closes the connection (true) or stays
    // silent for five seconds (false); `bytes` counts what came.
    bool drain(size_t* bytes) {
        *bytes = 0;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return false;
            char chunk[65536];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) return true;
            *bytes += size_t(n);
        }
    }

private:
    std::string path_;
    int fd_ = -1;
    bool connected_ = false;
};

TEST_F(FindWindowTest, ServerAnswersOnlyItsRequestsAndDropsGarbage) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    struct WireCase {
        std::string request;
        std::string reply;  // a prefix of the expected reply
    };
    const WireCase cases[] = {
        {"FIND varnelprobe\n", "WINDOW "},
        {"FIND VARNELPROBE =probe%20window\n", "WINDOW "},
        {"FIND varnelprobe =Nope\n", "NONE"},
        {"FIND other\n", "NONE"},
        {"HIDE 1\n", "REFUSED"},
        {"CLOSE 1\n", "REFUSED"},
        {"RESTORE 1\n", "FAIL"},
        {"FOREGROUND 99999999999\n", "FAIL"},
        // A launch's tokens travel with the request that raises the window.
        {"FOREGROUND 1 activation=abc%3Adef\n", "FAIL"},
        {"FOREGROUND 1 startup=me_TIME42 activation=tok\n", "FAIL"},
        {"FOREGROUND 1 activation=a activation=b\n", "<closed>"},
        {"FOREGROUND 1 colour=red\n", "<closed>"},
        {"FOREGROUND 1 activation=\n", "<closed>"},
        {"FOREGROUND 1 startup\n", "<closed>"},
        {"RESTORE 1 startup=x\n", "<closed>"},
        {"RESTORE x\n", "<closed>"},
        {"RESTORE 123456789012345678901234\n", "<closed>"},
        {"FIND\n", "<closed>"},
        {"find varnelprobe\n", "<closed>"},
        {"FIND varnel%zz\n", "<closed>"},
        {std::string("FIND \x01\x02\n"), "<closed>"},
        {"\n", "<closed>"},
        {std::string(5000, 'A'), "<closed>"},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 40));
        RawClient client(runtime_);
        ASSERT_TRUE(client.connected());
        client.send(c.request);
        EXPECT_EQ(client.reply().substr(0, c.reply.size()), c.reply);
    }
    // A client that connects and says nothing holds nobody else up.
    RawClient idle(runtime_);
    ASSERT_TRUE(idle.connected());
    HWND h = FindWindowA(kClass, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(ShowWindow(h, SW_RESTORE));
    EXPECT_TRUE(peer.waitFor("restored"));
}

TEST_F(FindWindowTest, IdleAndGreedyPeersHoldNobodyUp) {
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    // More connections that say nothing than the server keeps open at once.
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<RawClient>(runtime_));
        ASSERT_TRUE(idle.back()->connected());
    }
    EXPECT_NE(FindWindowA(kClass, nullptr), nullptr) << "idle connections kept the lookup out";
    // A client that asks and asks and never reads its replies is dropped,
    // rather than having them queued for it without end.
    RawClient greedy(runtime_);
    ASSERT_TRUE(greedy.connected());
    const std::string request = "FIND varnelprobe\n";
    std::string burst;
    while (burst.size() < (1u << 20)) burst += request;
    greedy.send(burst);
    size_t replies = 0;
    EXPECT_TRUE(greedy.drain(&replies)) << "the server kept answering";
    EXPECT_LT(replies, burst.size() / request.size() * std::string("WINDOW 1\n").size());
    EXPECT_NE(FindWindowA(kClass, nullptr), nullptr);
}

// FindWindowA sees the windows of the caller's desktop: the display the peer's
// window is on ($DISPLAY, else $WAYLAND_DISPLAY), in any screen of it.
TEST_F(FindWindowTest, OnlyWindowsOfTheSameDisplayAreFound) {
    EnvVar display("DISPLAY"), wayland("WAYLAND_DISPLAY");
    display.set(":7");
    wayland.set("wayland-7");
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    struct Case {
        const char* display;  // null: unset
        const char* wayland;
        bool found;
    };
    const Case cases[] = {
        {":7", nullptr, true},         {":7.1", "wayland-3", true}, {":8", "wayland-7", false},
        {nullptr, "wayland-7", false}, {nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.display ? c.display : "-") + " " + (c.wayland ? c.wayland : "-"));
        c.display ? display.set(c.display) : display.unset();
        c.wayland ? wayland.set(c.wayland) : wayland.unset();
        EXPECT_EQ(FindWindowA(kClass, nullptr) != nullptr, c.found);
        EXPECT_EQ(FindWindowA(nullptr, kTitle) != nullptr, c.found);
    }
    // The same class started on another display is the first instance there:
    // it serves that display when the first one is gone.
    display.set(":8");
    wayland.unset();
    Peer other;
    ASSERT_TRUE(other.waitFor("ready"));
    peer.kill();
    EXPECT_NE(FindWindowA(kClass, nullptr), nullptr);
    display.set(":7");
    EXPECT_EQ(FindWindowA(kClass, nullptr), nullptr);
}

// A listening socket where a Wayland compositor's would be: enough for a
// compositor to answer, which is all the session's name asks of it.
class FakeCompositor {
public:
    explicit FakeCompositor(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 8) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FakeCompositor() { stop(); }
    bool listening() const { return fd_ >= 0; }
    void stop() {
        if (fd_ < 0) return;
        ::close(fd_);
        ::unlink(path_.c_str());
        fd_ = -1;
    }

private:
    std::string path_;
    int fd_ = -1;
};

// In a Wayland session one instance serves the whole session, whichever of the
// compositor and its XWayland a start was shown: the session is named by the
// compositor that answers, and by $DISPLAY only where none does.
TEST_F(FindWindowTest, OneInstancePerWaylandSessionWhicheverVariableNamesIt) {
    FakeCompositor compositor(runtime_ + "/wayland-5");
    ASSERT_TRUE(compositor.listening());
    EnvVar display("DISPLAY"), wayland("WAYLAND_DISPLAY");
    display.set(":5");
    wayland.set("wayland-5");
    Peer peer;
    ASSERT_TRUE(peer.waitFor("ready"));
    struct Case {
        const char* display;  // null: unset
        const char* wayland;
        bool found;
    };
    const std::string absolute = runtime_ + "/wayland-5";
    const Case cases[] = {
        {nullptr, "wayland-5", true},       // a sandbox shown only the compositor
        {":5", "wayland-5", true},          // the same start again
        {":9", "wayland-5", true},          // the session's XWayland under another name
        {nullptr, absolute.c_str(), true},  // the same socket named by its path
        {":5", nullptr, false},             // the X display alone is another desktop's name
        {nullptr, "wayland-6", false},      // another compositor
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.display ? c.display : "-") + " " + (c.wayland ? c.wayland : "-"));
        c.display ? display.set(c.display) : display.unset();
        c.wayland ? wayland.set(c.wayland) : wayland.unset();
        EXPECT_EQ(FindWindowA(kClass, nullptr) != nullptr, c.found);
    }
    // A compositor that has gone names no session: its clients' X display does.
    compositor.stop();
    peer.kill();
    display.set(":5");
    wayland.set("wayland-5");
    Peer onX;
    ASSERT_TRUE(onX.waitFor("ready"));
    wayland.unset();
    EXPECT_NE(FindWindowA(kClass, nullptr), nullptr);
}
#endif
}  // namespace
