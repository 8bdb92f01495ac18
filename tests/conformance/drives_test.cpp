// The drive table behind GetDriveTypeA: entries of <Windows directory>/drives/
// add or replace CD letters, the demo disc fills d: when nothing else does, c:
// stays the fixed disk. No physical drive is assumed: where the host has one,
// the cases that count on an empty table are skipped.
#include "kernel32/drives.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mcicda/disc.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = TESTDATA_DIR;

bool hostHasOpticalDrive() {
    for (const char* node : {"/dev/sr0", "/dev/sr1", "/dev/cdrom"})
        if (fs::exists(node)) return true;
    return false;
}

struct Entry {
    const char* name;  // file name in the drives folder
    bool symlink;      // else a file naming the target on its first line
    std::string target;
};

void writeEntries(const testsupport::ScratchHome& home, const std::vector<Entry>& entries) {
    const fs::path dir = fs::path(home.windowsDir()) / "drives";
    fs::create_directories(dir);
    for (const Entry& e : entries) {
        if (e.symlink)
            fs::create_symlink(e.target, dir / e.name);
        else
            testsupport::writeFile((dir / e.name).string(), e.target);
    }
}

TEST(Drives, DriveTypesFollowTheDrivesFolder) {
    if (hostHasOpticalDrive()) GTEST_SKIP() << "this host has an optical drive";
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        std::map<std::string, UINT> types;  // roots checked; every other letter d..z has no root
    };
    const Case cases[] = {
        {"nothing: the demo disc on d:", {}, {{"d:", DRIVE_CDROM}, {"D:\\", DRIVE_CDROM}}},
        {"a file naming an image", {{"e:", false, kData + "/two.cue\n"}}, {{"e:", DRIVE_CDROM}, {"E:/", DRIVE_CDROM}}},
        {"an entry takes d: from the demo disc", {{"d:", false, kData + "/three.cue"}}, {{"d:", DRIVE_CDROM}}},
        {"a missing image keeps its letter", {{"g:", false, "/nowhere/disc.cue"}}, {{"g:", DRIVE_CDROM}}},
        {"a symlink, a device and an upper-case name",
         {{"h:", true, kData + "/one.cue"}, {"z:", false, "/dev/sr7"}, {"F:", false, kData + "/one.cue"}},
         {{"f:", DRIVE_CDROM}, {"h:", DRIVE_CDROM}, {"z:", DRIVE_CDROM}}},
        {"names that are not drive letters, c: and an empty file",
         {{"c:", false, kData + "/one.cue"},
          {"b:", false, kData + "/one.cue"},
          {"e", false, kData + "/one.cue"},
          {"ee:", false, kData + "/one.cue"},
          {"k:", false, "\n"},
          {"m:x", false, kData + "/one.cue"}},
         {{"d:", DRIVE_CDROM}}},  // nothing counted, so the demo disc is there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ScratchHome home;
        writeEntries(home, c.entries);
        EXPECT_EQ(GetDriveTypeA("c:\\"), UINT(DRIVE_FIXED));
        EXPECT_EQ(GetDriveTypeA("b:"), UINT(DRIVE_NO_ROOT_DIR));
        for (char letter = 'd'; letter <= 'z'; ++letter) {
            const std::string root = {letter, ':'};
            if (!c.types.count(root)) {
                EXPECT_EQ(GetDriveTypeA(root.c_str()), UINT(DRIVE_NO_ROOT_DIR)) << root;
            }
        }
        for (const auto& [root, type] : c.types) EXPECT_EQ(GetDriveTypeA(root.c_str()), type) << root;
    }
}

TEST(Drives, WhatEachLetterReads) {
    if (hostHasOpticalDrive()) GTEST_SKIP() << "this host has an optical drive";
    testsupport::ScratchHome home;
    {
        // The bundled demo disc, written by the build beside the test programs.
        const auto d = winshim::DRIVES_Lookup('d');
        ASSERT_TRUE(d);
        EXPECT_TRUE(d->source.ends_with("/share/varnel/demo.cue")) << d->source;
        auto disc = winshim::DISC_Open(d->source);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->media(), winshim::MediaState::Present);
        const auto toc = disc->toc();
        ASSERT_TRUE(toc);
        EXPECT_GE(toc->tracks.size(), 4u);
        for (const auto& t : toc->tracks) EXPECT_TRUE(t.audio);
    }
    // A relative symlink: the image is found where the link points, so its .bin too.
    const fs::path dir = fs::path(home.windowsDir()) / "drives";
    fs::create_directories(dir);
    fs::copy_file(kData + "/three.cue", home.path() + "/three.cue");
    fs::copy_file(kData + "/three.bin", home.path() + "/three.bin");
    fs::create_symlink("../../three.cue", dir / "e:");
    testsupport::writeFile((dir / "f:").string(), "  ../../three.cue \r\n");
    testsupport::writeFile((dir / "g:").string(), "/nowhere/disc.cue\nsecond line\n");
    const std::vector<winshim::DriveEntry> table = winshim::DRIVES_Table();
    ASSERT_EQ(table.size(), 3u);
    const char letters[] = {'e', 'f', 'g'};
    for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].letter, letters[i]);
    for (char letter : {'e', 'f'}) {
        SCOPED_TRACE(letter);
        auto disc = winshim::DISC_Open(winshim::DRIVES_Lookup(letter)->source);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->media(), winshim::MediaState::Present);
    }
    auto missing = winshim::DISC_Open(winshim::DRIVES_Lookup('g')->source);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->media(), winshim::MediaState::NoDisc);
    EXPECT_FALSE(winshim::DRIVES_Lookup('d'));
    EXPECT_FALSE(winshim::DRIVES_Lookup('c'));
}

}  // namespace
