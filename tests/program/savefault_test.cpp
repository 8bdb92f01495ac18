// Saving under faults: a settings rewrite and a track list save killed at any
// moment leave the old file or the new one whole, and never more than one
// temporary file beside it; on a full disk the save fails and the old file stays.
#include <windows.h>

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "tracklist.h"

namespace fs = std::filesystem;

namespace {

// Versions of each kind of file, `size` lines (or kilobytes) long: long enough
// that a kill often lands in a write.
std::string iniText(int version, int size) {
    return "[Varnel]\r\nLeft=10\r\nTitle=" + std::string(size * 1000, char('a' + version)) + "\r\n";
}

bool saveIni(const std::string& path, int version, int size) {
    const std::string title(size * 1000, char('a' + version));
    return WritePrivateProfileStringA("Varnel", "Left", "10", path.c_str()) &&
           WritePrivateProfileStringA("Varnel", "Title", title.c_str(), path.c_str());
}

std::string listLine(int version, int line) {
    return std::string(200, char('a' + version + line % 3));
}

std::string listText(int version, int size) {
    std::string text;
    for (int line = 0; line < size; ++line) text += listLine(version, line) + "\r\n";
    return text;
}

bool saveList(const std::string& path, int version, int size) {
    TrackListWriter writer;
    if (!beginTrackList(path.c_str(), &writer)) return false;
    for (int line = 0; line < size; ++line) writeTrackListLine(&writer, listLine(version, line).c_str());
    return endTrackList(&writer);
}

struct Saver {
    const char* what;
    std::string (*text)(int version, int size);
    bool (*save)(const std::string& path, int version, int size);
    const char* temporary;  // the name a save cut short leaves beside "target"
};

const Saver kSavers[] = {{"settings", iniText, saveIni, ".target.new"},
                         {"track list", listText, saveList, "target.new"}};
constexpr int kSize = 20;

std::vector<std::string> entriesOf(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    return names;
}

TEST(SaveFaults, KilledSavesLeaveAWholeFileAndAtMostOneTemporary) {
    std::mt19937 random(20261209);
    for (const Saver& saver : kSavers) {
        SCOPED_TRACE(saver.what);
        testsupport::ScratchHome home;
        const std::string dir = home.path() + "/saves";
        fs::create_directories(dir);
        const std::string path = dir + "/target";
        ASSERT_TRUE(saver.save(path, 0, kSize));
        for (int kill = 0; kill < 300; ++kill) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                for (int version = 1;; version = 3 - version) saver.save(path, version, kSize);
            }
            usleep(useconds_t(random() % 4000));
            ::kill(child, SIGKILL);
            ASSERT_EQ(waitpid(child, nullptr, 0), child);
            const std::string now = testsupport::readFile(path);
            ASSERT_TRUE(now == saver.text(0, kSize) || now == saver.text(1, kSize) || now == saver.text(2, kSize))
                << "kill " << kill << " left " << now.size() << " bytes";
            ASSERT_LE(entriesOf(dir).size(), 2u) << "kill " << kill << " left more than one temporary file";
        }
        // The next save takes the leftover over.
        ASSERT_TRUE(saver.save(path, 0, kSize));
        EXPECT_EQ(entriesOf(dir), std::vector<std::string>{"target"});
    }
}

// Whatever the kills of the test above happen to leave, the next save clears
// it: one that changes the file and one that writes what the file already
// holds alike.
TEST(SaveFaults, TheNextSaveClearsATemporaryACrashLeft) {
    for (const Saver& saver : kSavers) {
        for (int version : {0, 1}) {
            SCOPED_TRACE(std::string(saver.what) + (version ? ", changed" : ", unchanged"));
            testsupport::ScratchHome home;
            const std::string dir = home.path() + "/saves";
            fs::create_directories(dir);
            const std::string path = dir + "/target";
            ASSERT_TRUE(saver.save(path, 0, kSize));
            testsupport::writeFile(dir + "/" + saver.temporary, saver.text(2, kSize).substr(0, 3000));
            ASSERT_TRUE(saver.save(path, version, kSize));
            EXPECT_EQ(testsupport::readFile(path), saver.text(version, kSize));
            EXPECT_EQ(entriesOf(dir), std::vector<std::string>{"target"});
        }
    }
}

// In a child: a folder with 64 KiB of room, on a small tmpfs of its
// own or, where mounting is not allowed, under a file-size limit. The check
// runs there; the exit status tells (77: no way to fill a disk here).
int inFullFolder(const std::string& dir, bool tmpfs, const std::function<bool(const std::string&)>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (tmpfs) {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
                _exit(77);
        } else {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{64 * 1024, 64 * 1024};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(77);
        }
        _exit(check(dir) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SaveFaults, ASaveThatDoesNotFitFailsAndKeepsTheOldFile) {
    int ran = 0;
    for (bool tmpfs : {true, false}) {
        for (const Saver& saver : kSavers) {
            SCOPED_TRACE(std::string(saver.what) + (tmpfs ? " on a full tmpfs" : " under a file-size limit"));
            testsupport::ScratchHome home;
            const std::string dir = home.path() + "/full";
            fs::create_directories(dir);
            const int status = inFullFolder(dir, tmpfs, [&](const std::string& at) {
                // A small file that fits, then a save larger than the room.
                const std::string path = at + "/target";
                if (!saver.save(path, 0, 1)) return false;
                const std::string old = testsupport::readFile(path);
                return !saver.save(path, 1, 400) && testsupport::readFile(path) == old && entriesOf(at).size() == 1;
            });
            if (status == 77) continue;
            ++ran;
            EXPECT_EQ(status, 0);
        }
    }
    if (!ran) GTEST_SKIP() << "neither a tmpfs nor a file-size limit could be set up";
}

}  // namespace
