// The MCI command-string parser and device table, against a scripted driver
// registered under the type "testdev": which message, flags and parameters a
// command string becomes, how each kind of returned value is written, the
// errors of malformed strings, aliases and shared opens.
#include <windows.h>
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "winmm/commands.h"
#include "winmm/mcidriver.h"

namespace {
using winshim::MCI_MakeResource;

// What one command reached the driver as; fields that the message does not
// carry stay 0.
struct Call {
    UINT message = 0;
    DWORD_PTR flags = 0;
    DWORD from = 0, to = 0, item = 0, track = 0, timeFormat = 0, audio = 0;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& c) {
    return out << std::hex << "{msg 0x" << c.message << " flags 0x" << c.flags << " from 0x" << c.from << " to 0x"
               << c.to << " item 0x" << c.item << " track " << std::dec << c.track << " format " << c.timeFormat
               << " audio " << c.audio << "}";
}

struct Fake {
    std::vector<Call> calls;
    DWORD result = 0;                 // returned from command(): error and return flags
    DWORD_PTR value = 0;              // written to dwReturn
    std::string text;                 // written to an MCI_INFO buffer
    std::vector<std::string> opened;  // elements the factory was asked for
    std::string readBack;             // the last command as the command tables spell it
    int destroyed = 0;
    HWND lastCallback = nullptr;
};
Fake fake;

class FakeDriver : public winshim::MciDriver {
public:
    ~FakeDriver() override { ++fake.destroyed; }
    DWORD command(UINT message, DWORD_PTR flags, void* parms) override {
        Call call{message, flags};
        fake.readBack = winshim::MCI_CommandString("d", message, flags, parms).value_or("");
        fake.lastCallback = HWND(static_cast<MCI_GENERIC_PARMS*>(parms)->dwCallback);
        switch (message) {
        case MCI_PLAY:
            call.from = static_cast<MCI_PLAY_PARMS*>(parms)->dwFrom;
            call.to = static_cast<MCI_PLAY_PARMS*>(parms)->dwTo;
            break;
        case MCI_SEEK:
            call.to = static_cast<MCI_SEEK_PARMS*>(parms)->dwTo;
            break;
        case MCI_STATUS: {
            auto* status = static_cast<MCI_STATUS_PARMS*>(parms);
            call.item = status->dwItem;
            call.track = status->dwTrack;
            status->dwReturn = fake.value;
            break;
        }
        case MCI_GETDEVCAPS: {
            auto* caps = static_cast<MCI_GETDEVCAPS_PARMS*>(parms);
            call.item = caps->dwItem;
            caps->dwReturn = DWORD(fake.value);
            break;
        }
        case MCI_SET:
            call.timeFormat = static_cast<MCI_SET_PARMS*>(parms)->dwTimeFormat;
            call.audio = static_cast<MCI_SET_PARMS*>(parms)->dwAudio;
            break;
        case MCI_INFO: {
            auto* info = static_cast<MCI_INFO_PARMSA*>(parms);
            std::snprintf(info->lpstrReturn, info->dwRetSize, "%s", fake.text.c_str());
            break;
        }
        }
        fake.calls.push_back(call);
        return fake.result;
    }
};

class MciParser : public ::testing::Test {
protected:
    void SetUp() override {
        winshim::MCI_RegisterDeviceType("TestDev", [](const std::string& element, const std::string&, MCIERROR* error) {
            fake.opened.push_back(element);
            std::unique_ptr<winshim::MciDriver> driver;
            if (element == "fail")
                *error = MCIERR_INVALID_FILE;
            else
                driver = std::make_unique<FakeDriver>();
            return driver;
        });
        mciSendStringA("close all", nullptr, 0, nullptr);
        fake = Fake();
    }
    void TearDown() override { mciSendStringA("close all", nullptr, 0, nullptr); }

    // Sends with a 64-byte reply buffer that holds a stale text beforehand.
    MCIERROR send(const std::string& command, std::string* reply = nullptr, HWND callback = nullptr) {
        char buffer[64] = "stale";
        const MCIERROR error = mciSendStringA(command.c_str(), buffer, sizeof buffer, callback);
        if (reply) *reply = buffer;
        return error;
    }
};

TEST_F(MciParser, CommandsBecomeMessagesFlagsAndParameters) {
    struct Case {
        const char* command;
        Call call;
    };
    const Case cases[] = {
        {"play d", {MCI_PLAY, 0}},
        {"play d from 3 to 4", {MCI_PLAY, MCI_FROM | MCI_TO, 3, 4}},
        {"PLAY D From 3 TO 4", {MCI_PLAY, MCI_FROM | MCI_TO, 3, 4}},
        {"play d to 4 from 3", {MCI_PLAY, MCI_FROM | MCI_TO, 3, 4}},
        {"  play\td   from  7  ", {MCI_PLAY, MCI_FROM, 7}},
        {"play d from 01:02:03", {MCI_PLAY, MCI_FROM, 0x030201}},
        {"play d to 1:2:3:4", {MCI_PLAY, MCI_TO, 0, 0x04030201}},
        {"play d from 255:255", {MCI_PLAY, MCI_FROM, 0xFFFF}},
        {"play d from 4294967295", {MCI_PLAY, MCI_FROM, 0xFFFFFFFF}},
        {"play d from 0", {MCI_PLAY, MCI_FROM, 0}},
        {"play d notify", {MCI_PLAY, MCI_NOTIFY}},
        {"play d from 2 wait notify", {MCI_PLAY, MCI_FROM | MCI_WAIT | MCI_NOTIFY, 2}},
        {"seek d to 01:02:03", {MCI_SEEK, MCI_TO, 0, 0x030201}},
        {"seek d to 5", {MCI_SEEK, MCI_TO, 0, 5}},
        {"seek d to start", {MCI_SEEK, MCI_SEEK_TO_START}},
        {"Seek d To End wait", {MCI_SEEK, MCI_SEEK_TO_END | MCI_WAIT}},
        {"pause d", {MCI_PAUSE, 0}},
        {"resume d notify", {MCI_RESUME, MCI_NOTIFY}},
        {"stop d wait", {MCI_STOP, MCI_WAIT}},
        {"status d position", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_POSITION}},
        {"status d position track 2", {MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, 0, 0, MCI_STATUS_POSITION, 2}},
        {"status d length track 5", {MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, 0, 0, MCI_STATUS_LENGTH, 5}},
        {"status d length", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_LENGTH}},
        {"status d number of tracks", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_NUMBER_OF_TRACKS}},
        {"status d  Number  OF tracks", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_NUMBER_OF_TRACKS}},
        {"status d mode", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_MODE}},
        {"status d media present", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_MEDIA_PRESENT}},
        {"status d time format", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_TIME_FORMAT}},
        {"status d ready", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_READY}},
        {"status d current track", {MCI_STATUS, MCI_STATUS_ITEM, 0, 0, MCI_STATUS_CURRENT_TRACK}},
        {"status d type track 3", {MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, 0, 0, MCI_CDA_STATUS_TYPE_TRACK, 3}},
        {"status d position start", {MCI_STATUS, MCI_STATUS_ITEM | MCI_STATUS_START, 0, 0, MCI_STATUS_POSITION}},
        {"set d time format tmsf", {MCI_SET, MCI_SET_TIME_FORMAT, 0, 0, 0, 0, MCI_FORMAT_TMSF}},
        {"set d time format msf", {MCI_SET, MCI_SET_TIME_FORMAT, 0, 0, 0, 0, MCI_FORMAT_MSF}},
        {"set d time format milliseconds", {MCI_SET, MCI_SET_TIME_FORMAT, 0, 0, 0, 0, MCI_FORMAT_MILLISECONDS}},
        {"set d time format MS", {MCI_SET, MCI_SET_TIME_FORMAT, 0, 0, 0, 0, MCI_FORMAT_MILLISECONDS}},
        {"set d time format 10", {MCI_SET, MCI_SET_TIME_FORMAT, 0, 0, 0, 0, 10}},
        {"set d door open", {MCI_SET, MCI_SET_DOOR_OPEN}},
        {"set d door closed wait", {MCI_SET, MCI_SET_DOOR_CLOSED | MCI_WAIT}},
        {"set d audio all off", {MCI_SET, MCI_SET_AUDIO | MCI_SET_OFF, 0, 0, 0, 0, 0, MCI_SET_AUDIO_ALL}},
        {"set d audio left on", {MCI_SET, MCI_SET_AUDIO | MCI_SET_ON, 0, 0, 0, 0, 0, MCI_SET_AUDIO_LEFT}},
        {"info d product", {MCI_INFO, MCI_INFO_PRODUCT}},
        {"info d identity", {MCI_INFO, MCI_INFO_MEDIA_IDENTITY}},
        {"info d upc", {MCI_INFO, MCI_INFO_MEDIA_UPC}},
        {"capability d can play", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_CAN_PLAY}},
        {"capability d can eject", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_CAN_EJECT}},
        {"capability d can record", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_CAN_RECORD}},
        {"capability d can save", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_CAN_SAVE}},
        {"capability d has audio", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_HAS_AUDIO}},
        {"capability d has video", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_HAS_VIDEO}},
        {"capability d uses files", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_USES_FILES}},
        {"capability d compound device", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_COMPOUND_DEVICE}},
        {"capability d device type", {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, 0, 0, MCI_GETDEVCAPS_DEVICE_TYPE}},
        {"close d", {MCI_CLOSE, 0}},
        {"close d wait", {MCI_CLOSE, MCI_WAIT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_EQ(send("open testdev alias d"), 0u);
        fake.calls.clear();
        std::string reply;
        EXPECT_EQ(send(c.command, &reply), 0u);
        ASSERT_EQ(fake.calls.size(), 1u);
        EXPECT_EQ(fake.calls[0], c.call);
        // The tables spell the message back as a command that becomes the same message.
        const std::string readBack = fake.readBack;
        SCOPED_TRACE(readBack);
        send("close all");
        ASSERT_EQ(send("open testdev alias d"), 0u);
        fake.calls.clear();
        EXPECT_EQ(send(readBack), 0u);
        ASSERT_EQ(fake.calls.size(), 1u);
        EXPECT_EQ(fake.calls[0], c.call);
        send("close all");
    }
}

TEST_F(MciParser, MalformedCommandsFailCleanly) {
    const std::string longWord(300, 'x');
    struct Case {
        std::string command;
        MCIERROR error;
    };
    const Case cases[] = {
        {"", MCIERR_MISSING_COMMAND_STRING},
        {" \t ", MCIERR_MISSING_COMMAND_STRING},
        {"open", MCIERR_MISSING_DEVICE_NAME},
        {"status", MCIERR_MISSING_DEVICE_NAME},
        {"frobnicate d", MCIERR_UNRECOGNIZED_COMMAND},
        {"frobnicate", MCIERR_UNRECOGNIZED_COMMAND},
        {longWord + " d", MCIERR_UNRECOGNIZED_COMMAND},
        {"status nosuch mode", MCIERR_INVALID_DEVICE_NAME},
        {"status " + longWord + " mode", MCIERR_INVALID_DEVICE_NAME},
        {"status d", MCIERR_MISSING_PARAMETER},
        {"status d wait", MCIERR_MISSING_PARAMETER},
        {"status d bogus", MCIERR_UNRECOGNIZED_KEYWORD},
        {"status d " + longWord, MCIERR_UNRECOGNIZED_KEYWORD},
        {"status d number of", MCIERR_UNRECOGNIZED_KEYWORD},
        {"status d mode mode", MCIERR_DUPLICATE_FLAGS},
        {"status d mode position", MCIERR_DUPLICATE_FLAGS},
        {"status d position track", MCIERR_MISSING_PARAMETER},
        {"status d position track x", MCIERR_BAD_INTEGER},
        {"play d from", MCIERR_MISSING_PARAMETER},
        {"play d from to 3", MCIERR_BAD_INTEGER},
        {"play d from x", MCIERR_BAD_INTEGER},
        {"play d from -1", MCIERR_BAD_INTEGER},
        {"play d from +1", MCIERR_BAD_INTEGER},
        {"play d from 3x", MCIERR_BAD_INTEGER},
        {"play d from 4294967296", MCIERR_BAD_INTEGER},
        {"play d from 99999999999999999999999999999999", MCIERR_BAD_INTEGER},
        {"play d from " + std::string(300, '9'), MCIERR_BAD_INTEGER},
        {"play d from 1:2:3:4:5", MCIERR_BAD_INTEGER},
        {"play d from 256:0", MCIERR_BAD_INTEGER},
        {"play d from 1::2", MCIERR_BAD_INTEGER},
        {"play d from :1", MCIERR_BAD_INTEGER},
        {"play d from 1:", MCIERR_BAD_INTEGER},
        {"play d from 1 from 2", MCIERR_DUPLICATE_FLAGS},
        {"play d notify notify", MCIERR_DUPLICATE_FLAGS},
        {"play d start", MCIERR_UNRECOGNIZED_KEYWORD},
        {"seek d", MCIERR_MISSING_PARAMETER},
        {"seek d to", MCIERR_MISSING_PARAMETER},
        {"seek d to start to end", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"seek d to start to 5", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"set d door open door closed", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"set d audio all on off", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"set d door", MCIERR_UNRECOGNIZED_KEYWORD},
        {"set d milliseconds", MCIERR_UNRECOGNIZED_KEYWORD},
        {"set d time format", MCIERR_MISSING_PARAMETER},
        {"set d time format bogus", MCIERR_BAD_TIME_FORMAT},
        {"set d audio middle on", MCIERR_BAD_CONSTANT},
        {"capability d", MCIERR_MISSING_PARAMETER},
        {"capability d can fly", MCIERR_UNRECOGNIZED_KEYWORD},
        {"info d product upc", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"info d title", MCIERR_UNRECOGNIZED_KEYWORD},
        {"play all", MCIERR_CANNOT_USE_ALL},
        {"status all mode", MCIERR_CANNOT_USE_ALL},
        {"close all bogus", MCIERR_UNRECOGNIZED_KEYWORD},
        {"open testdev alias", MCIERR_MISSING_STRING_ARGUMENT},
        {"open testdev type", MCIERR_MISSING_STRING_ARGUMENT},
        {"open testdev bogus", MCIERR_UNRECOGNIZED_KEYWORD},
        {"open ! alias x", MCIERR_INVALID_DEVICE_NAME},
        {"open !e: alias x", MCIERR_INVALID_DEVICE_NAME},
        {"open nosuchtype alias x", MCIERR_INVALID_DEVICE_NAME},
        {"open e: type nosuchtype alias x", MCIERR_INVALID_DEVICE_NAME},
        {"open testdev!e: type testdev", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"open testdev alias all", MCIERR_CANNOT_USE_ALL},
        {"status d \"mode", MCIERR_NO_CLOSING_QUOTE},
        {"\"", MCIERR_NO_CLOSING_QUOTE},
        {"status \"d\"x mode", MCIERR_EXTRA_CHARACTERS},
        {"status \"\" mode", MCIERR_INVALID_DEVICE_NAME},
    };
    ASSERT_EQ(send("open testdev alias d"), 0u);
    fake.calls.clear();
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.command + "'");
        std::string reply;
        EXPECT_EQ(send(c.command, &reply), c.error);
        EXPECT_EQ(reply, "") << "the reply buffer is emptied on every error";
    }
    EXPECT_TRUE(fake.calls.empty()) << "no malformed command reaches the driver";
    EXPECT_EQ(fake.opened.size(), 1u);
}

TEST_F(MciParser, RepliesAreWrittenAsTheDriverSays) {
    using winshim::MCI_COLONIZED3_RETURN;
    using winshim::MCI_COLONIZED4_RETURN;
    using winshim::MCI_INTEGER_RETURNED;
    using winshim::MCI_RESOURCE_DRIVER;
    using winshim::MCI_RESOURCE_RETURNED;
    const auto format = [](WORD f) { return MCI_MakeResource(f, winshim::MCI_FORMAT_RETURN_BASE + f); };
    const auto word = [](WORD id) { return MCI_MakeResource(id, id); };
    struct Case {
        const char* command;
        DWORD flags;
        DWORD_PTR value;
        const char* reply;
    };
    const Case cases[] = {
        {"status d number of tracks", MCI_INTEGER_RETURNED, 12, "12"},
        {"status d current track", MCI_INTEGER_RETURNED, 3, "3"},
        {"status d position", 0, 2001, "2001"},
        {"status d position", MCI_INTEGER_RETURNED, 0, "0"},
        {"status d position", MCI_COLONIZED3_RETURN, MCI_MAKE_MSF(0, 2, 0), "00:02:00"},
        {"status d length", MCI_COLONIZED3_RETURN, MCI_MAKE_MSF(4, 12, 37), "04:12:37"},
        {"status d position", MCI_COLONIZED4_RETURN, MCI_MAKE_TMSF(3, 1, 20, 5), "03:01:20:05"},
        {"status d position", MCI_COLONIZED4_RETURN, MCI_MAKE_TMSF(99, 0, 0, 0), "99:00:00:00"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_NOT_READY), "not ready"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_STOP), "stopped"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_PLAY), "playing"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_RECORD), "recording"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_SEEK), "seeking"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_PAUSE), "paused"},
        {"status d mode", MCI_RESOURCE_RETURNED, word(MCI_MODE_OPEN), "open"},
        {"status d media present", MCI_RESOURCE_RETURNED, MCI_MakeResource(TRUE, MCI_TRUE), "true"},
        {"status d ready", MCI_RESOURCE_RETURNED, MCI_MakeResource(FALSE, MCI_FALSE), "false"},
        {"status d time format", MCI_RESOURCE_RETURNED, format(MCI_FORMAT_MILLISECONDS), "milliseconds"},
        {"status d time format", MCI_RESOURCE_RETURNED, format(MCI_FORMAT_MSF), "msf"},
        {"status d time format", MCI_RESOURCE_RETURNED, format(MCI_FORMAT_TMSF), "tmsf"},
        {"status d type track 1", MCI_RESOURCE_RETURNED | MCI_RESOURCE_DRIVER, word(MCI_CDA_TRACK_AUDIO), "audio"},
        {"status d type track 2", MCI_RESOURCE_RETURNED | MCI_RESOURCE_DRIVER, word(MCI_CDA_TRACK_OTHER), "other"},
        {"capability d device type", MCI_RESOURCE_RETURNED, word(MCI_DEVTYPE_CD_AUDIO), "cdaudio"},
        {"capability d can eject", MCI_RESOURCE_RETURNED, MCI_MakeResource(TRUE, MCI_TRUE), "true"},
        {"capability d can record", MCI_RESOURCE_RETURNED, MCI_MakeResource(FALSE, MCI_FALSE), "false"},
        // Commands without a value reply nothing, whatever the driver leaves.
        {"play d from 1", MCI_INTEGER_RETURNED, 5, ""},
        {"set d time format tmsf", 0, 5, ""},
    };
    ASSERT_EQ(send("open testdev alias d"), 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        fake.result = c.flags;
        fake.value = c.value;
        std::string reply;
        EXPECT_EQ(send(c.command, &reply), 0u);
        EXPECT_EQ(reply, c.reply);
    }

    fake.result = 0;
    for (const char* text : {"CD Audio", "3735928559", ""}) {
        SCOPED_TRACE(text);
        fake.text = text;
        std::string reply;
        EXPECT_EQ(send("info d identity", &reply), 0u);
        EXPECT_EQ(reply, text);
    }

    // A string id that names nothing is the driver's fault, and says so.
    fake.result = MCI_RESOURCE_RETURNED;
    fake.value = word(12345);
    std::string reply;
    EXPECT_EQ(send("status d mode", &reply), MCIERROR(MCIERR_PARSER_INTERNAL));
    EXPECT_EQ(reply, "");

    // The driver's errors come back as they are, with an empty reply.
    fake.result = MCIERR_HARDWARE;
    EXPECT_EQ(send("status d mode", &reply), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(reply, "");
}

TEST_F(MciParser, RepliesThatDoNotFit) {
    ASSERT_EQ(send("open testdev alias d"), 0u);
    fake.result = winshim::MCI_COLONIZED3_RETURN;
    fake.value = MCI_MAKE_MSF(0, 2, 0);
    struct Case {
        UINT length;
        MCIERROR error;
        const char* reply;
    };
    const Case cases[] = {
        {9, 0, "00:02:00"},
        {8, MCIERR_PARAM_OVERFLOW, ""},
        {1, MCIERR_PARAM_OVERFLOW, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        char buffer[16];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(mciSendStringA("status d position", buffer, c.length, nullptr), c.error);
        EXPECT_STREQ(buffer, c.reply);
        EXPECT_EQ(buffer[c.length], 'z') << "nothing is written past the length";
    }
    char untouched[4] = "abc";
    EXPECT_EQ(mciSendStringA("status d position", untouched, 0, nullptr), MCIERROR(MCIERR_PARAM_OVERFLOW));
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(mciSendStringA("status d position", nullptr, 0, nullptr), MCIERROR(MCIERR_PARAM_OVERFLOW));

    fake.text = std::string(100, 'i');
    fake.result = 0;
    std::string reply;
    EXPECT_EQ(send("info d product", &reply), MCIERROR(MCIERR_PARAM_OVERFLOW));
    EXPECT_EQ(reply, "");

    // An open without a buffer still opens; its id does not fit in one byte.
    EXPECT_EQ(mciSendStringA("open testdev!a alias a", nullptr, 0, nullptr), 0u);
    char one[1] = {'x'};
    EXPECT_EQ(mciSendStringA("open testdev!b alias b", one, 1, nullptr), MCIERROR(MCIERR_PARAM_OVERFLOW));
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(send("stop b"), 0u);
    EXPECT_EQ(send("stop a"), 0u);
}

// Steps of a session: each command with its result and reply.
struct Step {
    const char* command;
    MCIERROR error;
    const char* reply;
};

void runSteps(const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        char buffer[64] = "stale";
        EXPECT_EQ(mciSendStringA(s.command, buffer, sizeof buffer, nullptr), s.error);
        EXPECT_STREQ(buffer, s.reply);
    }
}

TEST_F(MciParser, AliasesAndDeviceIds) {
    runSteps({
        {"open testdev alias a", 0, "1"},
        {"open TestDev!x alias b", 0, "2"},
        {"open testdev!X alias c", MCIERR_MUST_USE_SHAREABLE, ""},
        {"open testdev!z alias A", MCIERR_DUPLICATE_ALIAS, ""},
        {"open testdev", MCIERR_MUST_USE_SHAREABLE, ""},
        {"Status A mode", 0, "0"},
        {"status B mode", 0, "0"},
        {"status x mode", MCIERR_INVALID_DEVICE_NAME, ""},
        {"status testdev mode", MCIERR_INVALID_DEVICE_NAME, ""},
        {"close a", 0, ""},
        {"close a", MCIERR_INVALID_DEVICE_NAME, ""},
        // The lowest free id is used again; the alias defaults to the type...
        {"open testdev", 0, "1"},
        {"open testdev", MCIERR_DEVICE_OPEN, ""},
        {"status TESTDEV mode", 0, "0"},
        // ... or to the element when there is one.
        {"open testdev!y", 0, "3"},
        {"open testdev!y", MCIERR_DEVICE_OPEN, ""},
        {"status y mode", 0, "0"},
        {"open e: type testdev alias e", 0, "4"},
        {"open \"with blank\" type testdev alias \"my alias\"", 0, "5"},
        {"status \"my alias\" mode", 0, "0"},
        {"open testdev!fail alias f", MCIERR_INVALID_FILE, ""},
        {"status f mode", MCIERR_INVALID_DEVICE_NAME, ""},
        {"close all", 0, ""},
        {"status b mode", MCIERR_INVALID_DEVICE_NAME, ""},
        {"close all", 0, ""},
        {"open testdev alias again", 0, "1"},
    });
    EXPECT_EQ(fake.opened, (std::vector<std::string>{"", "x", "", "y", "e:", "with blank", "fail", ""}));
    EXPECT_EQ(fake.destroyed, 6);
}

TEST_F(MciParser, ShareableOpensShareOneDriver) {
    runSteps({
        {"open testdev!s alias s1 shareable", 0, "1"},
        {"open testdev!s alias s2 shareable", 0, "2"},
        {"open testdev!s alias s3", MCIERR_MUST_USE_SHAREABLE, ""},
        {"open testdev!t alias t1", 0, "3"},
        {"open testdev!t alias t2 shareable", MCIERR_MUST_USE_SHAREABLE, ""},
    });
    EXPECT_EQ(fake.opened, (std::vector<std::string>{"s", "t"}));
    fake.calls.clear();
    runSteps({{"close s1", 0, ""}, {"stop s2", 0, ""}});
    EXPECT_EQ(fake.destroyed, 0) << "the device stays open for its other user";
    ASSERT_EQ(fake.calls.size(), 1u);
    EXPECT_EQ(fake.calls[0].message, UINT(MCI_STOP));
    runSteps({{"close s2", 0, ""}});
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[1].message, UINT(MCI_CLOSE)) << "the last close reaches the driver";
    EXPECT_EQ(fake.destroyed, 1);
}

TEST_F(MciParser, BinaryCommands) {
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "testdev";
    open.lpstrAlias = "bin";
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ALIAS, DWORD_PTR(&open)), 0u);
    EXPECT_EQ(open.wDeviceID, 1u);
    EXPECT_EQ(send("open testdev alias bin"), MCIERROR(MCIERR_DUPLICATE_ALIAS));

    fake.value = 42;
    fake.result = winshim::MCI_INTEGER_RETURNED;
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, DWORD_PTR(&status)), 0u)
        << "the return flags stay inside";
    EXPECT_EQ(status.dwReturn, 42u);
    EXPECT_EQ(mciSendCommandA(7, MCI_STATUS, MCI_STATUS_ITEM, DWORD_PTR(&status)), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, 0), MCIERROR(MCIERR_NULL_PARAMETER_BLOCK));
    EXPECT_EQ(mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_STOP, 0, 0), MCIERROR(MCIERR_CANNOT_USE_ALL));

    ASSERT_EQ(send("open testdev!two alias two"), 0u);
    EXPECT_EQ(mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, MCI_WAIT, 0), 0u);
    EXPECT_EQ(fake.destroyed, 2);
    EXPECT_EQ(send("status bin mode"), MCIERROR(MCIERR_INVALID_DEVICE_NAME));
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0), MCIERROR(MCIERR_INVALID_DEVICE_ID));
}

// Random command strings built from the vocabulary and from junk: each gives
// 0 or an MCI error, a NUL-terminated reply inside the buffer, and no fault
// (the sanitizer build runs this too).
TEST_F(MciParser, RandomCommandsNeverMisbehave) {
    const char* words[] = {"open",    "close",  "play",       "status",    "set",   "seek",        "info", "capability",
                           "d",       "all",    "testdev",    "testdev!q", "alias", "q",           "type", "shareable",
                           "from",    "to",     "track",      "position",  "mode",  "number",      "of",   "tracks",
                           "time",    "format", "tmsf",       "1:2:3",     "256",   "99999999999", ":",    "\"",
                           "\"a b\"", "!",      "notify",     "wait",      "start", "door",        "open", "\t",
                           "",        "-1",     "4294967295", "x\"y"};
    std::mt19937 random(1234);
    for (int i = 0; i < 3000; ++i) {
        std::string command;
        const int count = int(random() % 7);
        for (int w = 0; w < count; ++w) command += std::string(words[random() % std::size(words)]) + " ";
        const UINT length = UINT(random() % 12);
        char buffer[16];
        std::memset(buffer, 'z', sizeof buffer);
        const MCIERROR error = mciSendStringA(command.c_str(), buffer, length, HWND(nullptr));
        SCOPED_TRACE("'" + command + "' length " + std::to_string(length));
        EXPECT_TRUE(error == 0 || (error > MCIERR_BASE && error <= MCIERR_NO_IDENTITY)) << error;
        EXPECT_EQ(buffer[length], 'z');
        if (length > 0) {
            EXPECT_NE(std::memchr(buffer, '\0', length), nullptr);
        }
        if (error && length > 0) {
            EXPECT_EQ(buffer[0], '\0');
        }
    }
}

// Threads that open, command and close devices of their own at once: each
// sees only its own results, and every driver made is destroyed (the
// sanitizer build finds no fault).
TEST_F(MciParser, CommandsFromSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4);
    for (int n = 0; n < 4; ++n) {
        threads.emplace_back([n, &failures] {
            const std::string alias = "t" + std::to_string(n);
            const std::string open = "open testdev!" + alias + " alias " + alias;
            const std::string status = "status " + alias + " mode";
            const std::string close = "close " + alias;
            for (int i = 0; i < 200; ++i) {
                char reply[16];
                if (mciSendStringA(open.c_str(), reply, sizeof reply, nullptr) ||
                    mciSendStringA(status.c_str(), reply, sizeof reply, nullptr) || std::string(reply) != "0" ||
                    mciSendStringA(close.c_str(), nullptr, 0, nullptr))
                    ++failures[n];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    EXPECT_EQ(fake.opened.size(), 800u);
    EXPECT_EQ(fake.destroyed, 800);
}

// The callback window hears MM_MCINOTIFY for a command that asked with
// `notify` and succeeded; not for play (its end is not reported), not for an
// error, not without `notify`.
std::vector<std::pair<WPARAM, LPARAM>> notices;
LRESULT CALLBACK noticeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) notices.emplace_back(wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(MciParser, NotifyPostsToTheCallbackWindow) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = noticeProc;
    wc.lpszClassName = "MciNoticeTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "MciNoticeTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(send("open testdev alias d"), 0u);
    struct Case {
        const char* command;
        MCIERROR error;
        size_t notices;
    };
    const Case cases[] = {
        {"status d mode notify", 0, 1},
        {"status d mode", 0, 0},
        {"seek d to start notify", 0, 1},
        {"play d from 1 notify", 0, 0},
        {"status d bogus notify", MCIERR_UNRECOGNIZED_KEYWORD, 0},
        {"open testdev!n alias n notify", 0, 1},
        {"close n notify", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        notices.clear();
        EXPECT_EQ(send(c.command, nullptr, window), c.error);
        testsupport::pumpFor(50);
        ASSERT_EQ(notices.size(), c.notices);
        if (c.notices) {
            EXPECT_EQ(notices[0].first, WPARAM(MCI_NOTIFY_SUCCESSFUL));
        }
    }
    notices.clear();
    send("status d mode notify", nullptr, window);
    testsupport::pumpFor(50);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].second, LPARAM(1)) << "lParam is the device id";
    EXPECT_EQ(fake.lastCallback, window) << "the callback travels in dwCallback";
    DestroyWindow(window);
}
}  // namespace
