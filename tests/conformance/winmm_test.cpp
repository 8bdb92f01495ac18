// WINMM conformance while no MCI device is open: the errors of mciSendStringA
// and mciSendCommandA, the reply buffer, and mciGetErrorStringA.
#include <windows.h>
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstring>
#include <string>

namespace {
TEST(mciSendStringA, ErrorsWithoutOpenDevices) {
    struct Case {
        const char* command;
        MCIERROR error;
    };
    const Case cases[] = {
        {"", MCIERR_MISSING_COMMAND_STRING},
        {"   ", MCIERR_MISSING_COMMAND_STRING},
        {"open", MCIERR_MISSING_DEVICE_NAME},
        {"  status  ", MCIERR_MISSING_DEVICE_NAME},
        {"open nosuchdevice", MCIERR_INVALID_DEVICE_NAME},
        {"open nosuchdevice!d: alias cd", MCIERR_INVALID_DEVICE_NAME},
        {"open ! alias cd", MCIERR_INVALID_DEVICE_NAME},
        {"frobnicate cd", MCIERR_UNRECOGNIZED_COMMAND},
        {"play all", MCIERR_CANNOT_USE_ALL},
        {"status \"cd mode", MCIERR_NO_CLOSING_QUOTE},
        {"close cd", MCIERR_INVALID_DEVICE_NAME},
        {"close all", 0},
        {"CLOSE ALL wait", 0},
        {"status cd mode", MCIERR_INVALID_DEVICE_NAME},
        {"  play cd from 1 to 2  ", MCIERR_INVALID_DEVICE_NAME},
        {"set cd door open", MCIERR_INVALID_DEVICE_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.command + "'");
        char reply[64] = "stale reply";
        EXPECT_EQ(mciSendStringA(c.command, reply, sizeof reply, nullptr), c.error);
        EXPECT_EQ(reply[0], '\0') << "the reply buffer is emptied whatever the outcome";
    }
}

TEST(mciSendStringA, ReplyBufferArguments) {
    // Without a buffer, or with one of length 0, nothing is written.
    EXPECT_EQ(mciSendStringA("status cd mode", nullptr, 0, nullptr), MCIERROR(MCIERR_INVALID_DEVICE_NAME));
    char reply[8] = "stale";
    EXPECT_EQ(mciSendStringA("status cd mode", reply, 0, nullptr), MCIERROR(MCIERR_INVALID_DEVICE_NAME));
    EXPECT_STREQ(reply, "stale");
    EXPECT_EQ(mciSendStringA("status cd mode", reply, 1, nullptr), MCIERROR(MCIERR_INVALID_DEVICE_NAME));
    EXPECT_EQ(reply[0], '\0');
}

TEST(mciSendCommandA, WithoutOpenDevices) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    EXPECT_EQ(mciSendCommandA(1, MCI_STATUS, MCI_STATUS_ITEM, DWORD_PTR(&status)), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(mciSendCommandA(1, MCI_CLOSE, 0, 0), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, MCI_WAIT, 0), 0u);
}

TEST(mciGetErrorStringA, EnglishTexts) {
    struct Case {
        MCIERROR error;
        const char* text;
    };
    const Case cases[] = {
        {MCIERR_INVALID_DEVICE_ID, "Invalid MCI device ID. Use the ID returned when opening the MCI device."},
        {MCIERR_UNRECOGNIZED_KEYWORD, "The driver cannot recognize the specified command parameter."},
        {MCIERR_UNRECOGNIZED_COMMAND, "The driver cannot recognize the specified command."},
        {MCIERR_HARDWARE,
         "There is a problem with your media device. Make sure it is working correctly or contact the device "
         "manufacturer."},
        {MCIERR_INVALID_DEVICE_NAME, "The specified device is not open or is not recognized by MCI."},
        {MCIERR_MISSING_COMMAND_STRING, "No command was specified."},
        {MCIERR_MISSING_PARAMETER, "The specified command requires a parameter. Please supply one."},
        {MCIERR_DEVICE_NOT_READY, "The device driver is not ready."},
        {MCIERR_OUTOFRANGE, "The specified parameter is out of range for the specified command."},
        {MCIERR_MISSING_DEVICE_NAME,
         "The specified command requires an alias, file, driver, or device name. Please supply one."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        char text[256] = "stale";
        EXPECT_TRUE(mciGetErrorStringA(c.error, text, sizeof text));
        EXPECT_STREQ(text, c.text);
    }
}

TEST(mciGetErrorStringA, BufferAndUnknownCodes) {
    char text[16];
    // Cut to the buffer like any string resource.
    EXPECT_TRUE(mciGetErrorStringA(MCIERR_MISSING_COMMAND_STRING, text, 10));
    EXPECT_STREQ(text, "No comman");
    for (MCIERROR unknown : {MCIERROR(MCIERR_BASE + 2), MCIERROR(100000)}) {
        SCOPED_TRACE(unknown);
        std::strcpy(text, "stale");
        EXPECT_FALSE(mciGetErrorStringA(unknown, text, sizeof text));
        EXPECT_STREQ(text, "");
    }
    std::strcpy(text, "stale");
    EXPECT_FALSE(mciGetErrorStringA(MCIERR_MISSING_COMMAND_STRING, text, 0));
    EXPECT_STREQ(text, "stale");
}
}  // namespace
