// Where the settings file and the track lists are kept: the Windows directory
// where a file can be created in it, else the user's own application data
// folder, which takes over what an earlier build kept in the Windows directory.
// Run as a user whom file modes bind, as a standard user on Windows is bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "settings.h"
#include "test_support.h"
#include "tracklist.h"

namespace fs = std::filesystem;

namespace {
std::string hostPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

TEST(DataFolder, WindowsDirectoryWhereWritableElseTheUsersOwn) {
    struct Case {
        const char* label;
        bool windowsDirWritable;
        const char* oldSettings;  // in the Windows directory; nullptr: none
        const char* ownSettings;  // in the user's own folder; nullptr: none
        const char* oldList;      // CD Track Lists\FF in the Windows directory
        int left;                 // Left as the start reads it
        const char* folder;       // where this run's files lie, under the config home
    };
    const Case cases[] = {
        {"writable Windows directory", true, "[Varnel]\r\nLeft=11\r\n", "[Varnel]\r\nLeft=22\r\n", "Old\r\n", 11,
         "varnel"},
        {"read-only, first start after an earlier build", false, "[Varnel]\r\nLeft=11\r\n", nullptr, "Old\r\n", 11,
         "Varnel"},
        {"read-only, the user's own files win", false, "[Varnel]\r\nLeft=11\r\n", "[Varnel]\r\nLeft=22\r\n", nullptr,
         22, "Varnel"},
        {"read-only, nothing kept before", false, nullptr, nullptr, nullptr, DEFAULT_LEFT, "Varnel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::ScratchHome home;
        const std::string windowsDir = home.windowsDir();
        const std::string own = home.path() + "/Varnel";
        fs::create_directories(windowsDir + "/CD Track Lists");
        if (c.oldSettings) testsupport::writeFile(windowsDir + "/Ostrovane.ini", c.oldSettings);
        if (c.oldList) testsupport::writeFile(windowsDir + "/CD Track Lists/FF", c.oldList);
        if (c.ownSettings) {
            fs::create_directories(own);
            testsupport::writeFile(own + "/Ostrovane.ini", c.ownSettings);
        }
        testsupport::asUnprivileged(home.path(), [&] {
            if (!c.windowsDirWritable) {
                fs::permissions(windowsDir, fs::perms::owner_read | fs::perms::owner_exec);
                fs::permissions(windowsDir + "/CD Track Lists", fs::perms::owner_read | fs::perms::owner_exec);
            }
            chooseDataFolder();
            buildSettingsPath();
            EXPECT_EQ(readSettingInt(KEY_LEFT, DEFAULT_LEFT), c.left);
            writeSettingInt(KEY_TOP, 7);

            const std::string folder = home.path() + "/" + c.folder;
            char path[PATH_SIZE];
            trackListPath("FF", path, sizeof path);
            EXPECT_EQ(hostPath(path), folder + "/CD Track Lists/FF");
            EXPECT_EQ(fs::exists(hostPath(path)), c.oldList != nullptr) << "a kept track list is found";
            if (c.oldList) {
                EXPECT_EQ(testsupport::readFile(hostPath(path)), c.oldList);
            }
            EXPECT_NE(testsupport::readFile(folder + "/Ostrovane.ini").find("Top=7"), std::string::npos)
                << "this run's settings are written where its track lists are";
            EXPECT_TRUE(fs::is_directory(folder + "/CD Track Lists"));

            // What the earlier build left stays as it was.
            if (!c.windowsDirWritable && c.oldSettings) {
                EXPECT_EQ(testsupport::readFile(windowsDir + "/Ostrovane.ini"), c.oldSettings);
            }
            if (c.windowsDirWritable) {
                EXPECT_EQ(testsupport::readFile(own + "/Ostrovane.ini"), c.ownSettings)
                    << "the other folder is untouched";
            }
            EXPECT_FALSE(fs::exists(windowsDir + "/Varnel write check.tmp")) << "the write check leaves nothing";
            fs::permissions(windowsDir, fs::perms::owner_all);
            fs::permissions(windowsDir + "/CD Track Lists", fs::perms::owner_all);
        });
    }
}
}  // namespace
