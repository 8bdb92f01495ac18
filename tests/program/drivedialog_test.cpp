// The Drive dialog opened from the main window's Player menu: the CD drives it
// lists, the selection it stores on every close, and the device opened afresh on
// the stored drive.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>

#include "program_fixture.h"
#include "resource.h"

namespace {

std::vector<std::string> Entries(HWND dialog) {
    std::vector<std::string> entries;
    const int count = int(SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; i++) {
        char text[64] = "";
        SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

int Selected(HWND dialog) {
    return int(SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0));
}

// The user's way out: the close box.
void CloseBox(HWND dialog) {
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

class DriveDialogTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        answers["open cdaudio alias cd"] = "1";
        answers["status cd media present"] = "false";
        for (char letter = 'a'; letter <= 'z'; letter++)
            answers[std::string("open cdaudio!") + letter + ": alias cd"] = "1";
        Start();
        OpenNow();
    }
    // Player > "Drive..."; `script` runs against the dialog once it is up, inside
    // the command's modal loop, and must end it.
    void Choose(const std::function<void(HWND)>& script) {
        commands.clear();
        RunDialog(IDM_DRIVE, "Drive", script);
    }
    void AddDrives(const std::vector<std::string>& letters) {
        for (const std::string& letter : letters)
            testsupport::writeFile(home.windowsDir() + "/drives/" + letter, home.path() + "/disc.cue\n");
    }
    std::string StoredDrive() {
        char value[64] = "";
        GetPrivateProfileStringA("Varnel", "Drive", "(none)", value, sizeof value, IniPath().c_str());
        return value;
    }
};

TEST_F(DriveDialogTest, ListsTheCdDrivesAndStoresTheFirstOnClose) {
    struct Case {
        const char* name;
        std::vector<std::string> drives;  // entries of the drives folder
        std::vector<std::string> listed;
    } cases[] = {
        // An empty drive table holds the demo disc on d:.
        {"no entries", {}, {"d:"}},
        {"one drive", {"d:"}, {"d:"}},
        {"e and g", {"g:", "e:"}, {"e:", "g:"}},
        {"z is never probed", {"z:", "f:"}, {"f:"}},
        {"a and b are never drives", {"a:", "b:", "x:", "y:"}, {"x:", "y:"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home.windowsDir() + "/drives");
        AddDrives(c.drives);
        Choose([&](HWND dialog) {
            EXPECT_EQ(Entries(dialog), c.listed);
            EXPECT_EQ(Selected(dialog), 0);
            EXPECT_FALSE(IsWindowEnabled(main_));
            CloseBox(dialog);
        });
        EXPECT_EQ(StoredDrive(), c.listed.front());
        // The device is closed and opened again on the stored drive.
        EXPECT_EQ(commands, (std::vector<std::string>{"close cd", "open cdaudio!" + c.listed.front() + " alias cd",
                                                      "status cd media present"}));
        EXPECT_TRUE(IsWindowEnabled(main_));
    }
}

TEST_F(DriveDialogTest, AChoiceIsStoredAndTheNextOpeningStartsFromTheFirst) {
    AddDrives({"e:", "g:"});
    Choose([&](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, 1, 0);
        CloseBox(dialog);
    });
    EXPECT_EQ(StoredDrive(), "g:");
    EXPECT_EQ(Sent("open"), (std::vector<std::string>{"open cdaudio!g: alias cd"}));
    Choose([&](HWND dialog) {
        EXPECT_EQ(Selected(dialog), 0) << "the stored value is not read back";
        CloseBox(dialog);
    });
    EXPECT_EQ(StoredDrive(), "e:");
}

TEST_F(DriveDialogTest, EnterAndEscapeLeaveItOpenAndStoreNothing) {
    AddDrives({"e:"});
    Choose([&](HWND dialog) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            PressKey(key);
            testsupport::pumpFor(50);
            EXPECT_TRUE(IsWindowVisible(dialog)) << key;
            EXPECT_EQ(StoredDrive(), "(none)") << key;
        }
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        testsupport::pumpFor(50);
        EXPECT_TRUE(IsWindowVisible(dialog));
        CloseBox(dialog);
    });
    EXPECT_EQ(StoredDrive(), "e:");
}

// Only z: is a CD drive: the list is empty and the setting keeps what it held.
TEST_F(DriveDialogTest, AnEmptyListStoresNothing) {
    AddDrives({"z:"});
    WritePrivateProfileStringA("Varnel", "Drive", "q:", IniPath().c_str());
    Choose([&](HWND dialog) {
        EXPECT_TRUE(Entries(dialog).empty());
        EXPECT_EQ(Selected(dialog), CB_ERR);
        CloseBox(dialog);
    });
    EXPECT_EQ(StoredDrive(), "q:");
    EXPECT_EQ(commands, (std::vector<std::string>{"close cd", "open cdaudio!q: alias cd", "status cd media present"}));
}

}  // namespace
