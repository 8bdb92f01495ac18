// A cdaudio device on a drive whose device node is a FakeDrive: the same
// driver and disc reader that serve /dev/sr0, over a disc image.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "fake_drive.h"
#include "mcicda/audio_output.h"
#include "test_support.h"

namespace fakedrive {

inline const std::string kData = TESTDATA_DIR;

inline std::string msf(int frames) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

class DriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        winshim::DISC_SetDriveDevicesForTests([this](const std::string&) { return drive_; });
    }
    void TearDown() override {
        if (drive_) drive_->release();
        mciSendStringA("close all", nullptr, 0, nullptr);
        winshim::DISC_SetDriveDevicesForTests({});
    }

    // Puts the image (NAME.cue in `dir`) in drive e: and opens it as "cd";
    // `prepare` sets up the drive first, since the device reads it from then on.
    void load(const std::string& image, const std::string& dir = kData,
              const std::function<void(FakeDrive&)>& prepare = {}) {
        drive_ = std::make_shared<FakeDrive>(dir + "/" + image + ".cue");
        if (prepare) prepare(*drive_);
        std::filesystem::create_directories(home_.windowsDir() + "/drives");
        testsupport::writeFile(home_.windowsDir() + "/drives/e:", "/dev/sr-stand-in\n");
        ASSERT_EQ(send("open cdaudio!e: alias cd"), "1");
    }

    // The reply, or "error N".
    std::string send(const std::string& command) {
        char reply[64];
        const MCIERROR error = mciSendStringA(command.c_str(), reply, sizeof reply, nullptr);
        return error ? "error " + std::to_string(error) : std::string(reply);
    }

    // The drive answers in its own time: asks until the mode is `mode`.
    bool waitMode(const std::string& mode) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (send("status cd mode") != mode) {
            if (std::chrono::steady_clock::now() > end) return false;
            testsupport::pumpFor(20);
        }
        return true;
    }

    // Waits while the device plays (or is paused).
    void waitPlayed() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (std::string mode = send("status cd mode"); mode == "playing" || mode == "paused";
             mode = send("status cd mode")) {
            if (std::chrono::steady_clock::now() > end) return;
            testsupport::pumpFor(20);
        }
    }

    testsupport::ScratchHome home_;
    std::shared_ptr<FakeDrive> drive_;
};

}  // namespace fakedrive
