// The List Editor opened from the main window's Edit menu: what it shows, Add and
// the selection, Save's bytes and its failures, how it ends, and the device opened
// afresh afterwards.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "program_fixture.h"
#include "resource.h"

namespace {

std::string DlgText(HWND dialog, int id) {
    char text[400] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::vector<std::string> ListRows(HWND dialog) {
    std::vector<std::string> rows;
    const int count = int(SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; row++) {
        char text[400] = "";
        SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(text));
        rows.push_back(text);
    }
    return rows;
}

// A click on a row: the list selects it and tells the dialog.
void SelectRow(HWND dialog, int row) {
    SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_SETCURSEL, WPARAM(row), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TITLE_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_TITLE_LIST)));
}

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::string Placeholders(int tracks) {
    std::string out;
    for (int t = 1; t <= tracks; t++) out += "track " + std::to_string(t) + "  (Unknown)\r\n";
    return out;
}

class ListEditorTest : public ProgramTest {
protected:
    // Edit > "Song List..." with the disc shown; `script` runs against the dialog
    // once it is up, inside the command's modal loop, and must end it.
    void Edit(const std::function<void(HWND)>& script) { RunDialog(IDM_SONG_LIST, "List Editor", script); }
    // The disc shown, and the commands since then forgotten.
    void ShowDisc(const std::string& identity, int tracks) {
        InsertDisc(identity, tracks);
        Start();
        OpenNow();
        commands.clear();
    }
    // Types the fields and saves, answering the box; the boxes seen.
    std::vector<std::string> TypeAndSave(HWND dialog, const std::string& composer, const std::string& album) {
        SetDlgItemTextA(dialog, IDC_EDIT_COMPOSER, composer.c_str());
        SetDlgItemTextA(dialog, IDC_EDIT_ALBUM, album.c_str());
        BoxWatcher boxes;
        Click(dialog, IDC_SAVE);
        return boxes.seen;
    }
};

TEST_F(ListEditorTest, OpeningShowsTheDiscAndItsFile) {
    struct Case {
        const char* name;
        const char* identity;
        int tracks;
        const char* file;  // null: no track list file
        const char* discId;
        const char* composer;
        const char* album;
        std::vector<std::string> rows;
    } cases[] = {
        {"no file",
         "255",
         3,
         nullptr,
         "FF",
         "",
         "",
         {"track 1  (Unknown)", "track 2  (Unknown)", "track 3  (Unknown)"}},
        {"whole file", "255", 2, "Comp\r\nAlb\r\nOne\r\nTwo\r\n", "FF", "Comp", "Alb", {"One", "Two"}},
        {"line feeds alone", "255", 2, "Comp\nAlb\nOne\nTwo\n", "FF", "Comp", "Alb", {"One", "Two"}},
        {"five titles, twelve tracks",
         "4096",
         12,
         "C\r\nA\r\n1\r\n2\r\n3\r\n4\r\n5\r\n",
         "1000",
         "C",
         "A",
         {"1", "2", "3", "4", "5"}},
        {"titles beyond the disc", "255", 1, "C\r\nA\r\nOne\r\nTwo\r\n", "FF", "C", "A", {"One"}},
        {"one line without line end", "255", 2, "Composer", "FF", "Compose", "", {}},
        {"empty file", "255", 2, "", "FF", "", "", {}},
        {"empty title", "255", 2, "C\r\nA\r\n\r\nTwo\r\n", "FF", "C", "A", {"", "Two"}},
        {"no tracks", "255", 0, nullptr, "FF", "", "", {}},
        {"identity without digits", "abc", 1, nullptr, "0", "", "", {"track 1  (Unknown)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file) testsupport::writeFile(ListPath(c.discId), c.file);
        ShowDisc(c.identity, c.tracks);
        Edit([&](HWND dialog) {
            EXPECT_EQ(DlgText(dialog, IDC_DISC_ID), c.discId);
            EXPECT_EQ(DlgText(dialog, IDC_TRACK_COUNT), std::to_string(c.tracks));
            EXPECT_EQ(DlgText(dialog, IDC_EDIT_COMPOSER), c.composer);
            EXPECT_EQ(DlgText(dialog, IDC_EDIT_ALBUM), c.album);
            EXPECT_EQ(DlgText(dialog, IDC_EDIT_TRACK), "");
            EXPECT_EQ(ListRows(dialog), c.rows);
            Click(dialog, IDC_CLOSE);
        });
        EXPECT_EQ(
            std::vector<std::string>(commands.begin(), commands.begin() + 3),
            (std::vector<std::string>{"status cd number of tracks", "info cd identity", "status cd number of tracks"}));
        Exit();
        std::remove(ListPath(c.discId).c_str());
    }
}

TEST_F(ListEditorTest, ReadOnlyFileStillShowsItsTitles) {
    testsupport::writeFile(ListPath("FF"), "C\r\nA\r\nOne\r\n");
    chmod(ListPath("FF").c_str(), 0444);
    ShowDisc("255", 1);
    Edit([&](HWND dialog) {
        EXPECT_EQ(DlgText(dialog, IDC_EDIT_COMPOSER), "C");
        EXPECT_EQ(ListRows(dialog), (std::vector<std::string>{"One"}));
        Click(dialog, IDC_CLOSE);
    });
}

TEST_F(ListEditorTest, SelectionAndAdd) {
    const std::string long300(300, 'x');
    struct Step {
        int select;         // row clicked before the step, -1 for none
        const char* title;  // typed into the title field, null to leave it
        std::vector<std::string> rows;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"replace the selected row", {{1, "X", {"A", "X", "C"}}}},
        {"append without a selection", {{-1, "X", {"A", "B", "C", "X"}}}},
        {"a second Add after a replacement appends", {{0, "X", {"X", "B", "C"}}, {-1, nullptr, {"X", "B", "C", "X"}}}},
        {"empty title replaces", {{2, "", {"A", "B", ""}}}},
        {"empty title appends", {{-1, "", {"A", "B", "C", ""}}}},
        {"the selected row's text comes along", {{1, nullptr, {"A", "B", "C"}}}},
        {"300 characters become 255", {{-1, long300.c_str(), {"A", "B", "C", std::string(255, 'x')}}}},
    };
    testsupport::writeFile(ListPath("FF"), "C\r\nA\r\nA\r\nB\r\nC\r\n");
    ShowDisc("255", 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Edit([&](HWND dialog) {
            for (const Step& s : c.steps) {
                if (s.select >= 0) {
                    SelectRow(dialog, s.select);
                    EXPECT_EQ(DlgText(dialog, IDC_EDIT_TRACK), ListRows(dialog)[size_t(s.select)]);
                }
                if (s.title) SetDlgItemTextA(dialog, IDC_EDIT_TRACK, s.title);
                const std::string typed = DlgText(dialog, IDC_EDIT_TRACK);
                Click(dialog, IDC_ADD);
                EXPECT_EQ(ListRows(dialog), s.rows);
                EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_TITLE_LIST, LB_GETCURSEL, 0, 0), LB_ERR);
                EXPECT_EQ(DlgText(dialog, IDC_EDIT_TRACK), typed) << "the title field is not cleared";
            }
            Click(dialog, IDC_CLOSE);
        });
    }
    // Changing the field alone, and closing without Save, changes no file.
    EXPECT_EQ(testsupport::readFile(ListPath("FF")), "C\r\nA\r\nA\r\nB\r\nC\r\n");
}

TEST_F(ListEditorTest, SaveWritesExactlyTheseBytes) {
    const std::string long300(300, 'c');
    struct Case {
        const char* name;
        int tracks;
        const char* file;
        std::string composer, album;
        std::vector<std::string> added;  // titles appended with Add before saving
        std::string saved;
    } cases[] = {
        {"placeholders", 3, nullptr, "", "", {}, "\r\n\r\n" + Placeholders(3)},
        {"typed names", 2, nullptr, "Comp", "Alb", {}, "Comp\r\nAlb\r\n" + Placeholders(2)},
        {"five titles, twelve tracks",
         12,
         "C\r\nA\r\n1\r\n2\r\n3\r\n4\r\n5\r\n",
         "C",
         "A",
         {},
         "C\r\nA\r\n1\r\n2\r\n3\r\n4\r\n5\r\n"},
        {"the count limits the rows", 2, "C\r\nA\r\nOne\r\nTwo\r\n", "C", "A", {"Three"}, "C\r\nA\r\nOne\r\nTwo\r\n"},
        {"an added row within the count",
         3,
         "C\r\nA\r\nOne\r\nTwo\r\n",
         "C",
         "A",
         {"Three"},
         "C\r\nA\r\nOne\r\nTwo\r\nThree\r\n"},
        // Written whole, a 255-character field would read back as two lines.
        {"300-character composer",
         1,
         nullptr,
         long300,
         "A",
         {},
         long300.substr(0, 254) + "\r\nA\r\n" + Placeholders(1)},
        {"255-character title", 1, "C\r\nA\r\n", "C", "A", {long300}, "C\r\nA\r\n" + long300.substr(0, 254) + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(ListPath("FF").c_str());
        if (c.file) testsupport::writeFile(ListPath("FF"), c.file);
        ShowDisc("255", c.tracks);
        Edit([&](HWND dialog) {
            for (const std::string& title : c.added) {
                SetDlgItemTextA(dialog, IDC_EDIT_TRACK, title.c_str());
                Click(dialog, IDC_ADD);
            }
            EXPECT_EQ(TypeAndSave(dialog, c.composer, c.album), (std::vector<std::string>{"Varnel: File saved!"}));
            EXPECT_TRUE(IsWindowVisible(dialog)) << "Save leaves the dialog open";
            EXPECT_EQ(testsupport::readFile(ListPath("FF")), c.saved);
            Click(dialog, IDC_CLOSE);
        });
        EXPECT_EQ(GetFileAttributesA((ListPath("FF") + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
        Exit();
    }
}

TEST_F(ListEditorTest, SavedNamesShowInTheMainWindowAtOnce) {
    ShowDisc("255", 2);
    Edit([&](HWND dialog) {
        SelectRow(dialog, 1);
        SetDlgItemTextA(dialog, IDC_EDIT_TRACK, "Second");
        Click(dialog, IDC_ADD);
        TypeAndSave(dialog, "Comp", "Alb");
        Click(dialog, IDC_CLOSE);
    });
    EXPECT_EQ(Text(IDC_COMPOSER), "Comp\n");
    EXPECT_EQ(Text(IDC_ALBUM), "Alb\n");
    EXPECT_EQ(ItemText(0, 1), "track 1  (Unknown)");
    EXPECT_EQ(ItemText(1, 1), "Second");
}

TEST_F(ListEditorTest, SaveWritesTheFileNamedWhenItOpened) {
    ShowDisc("255", 1);
    Edit([&](HWND dialog) {
        answers["info cd identity"] = "256";  // another disc while the dialog is open
        TypeAndSave(dialog, "First", "A");
        EXPECT_EQ(testsupport::readFile(ListPath("FF")), "First\r\nA\r\n" + Placeholders(1));
        TypeAndSave(dialog, "Again", "");
        Click(dialog, IDC_CLOSE);
    });
    EXPECT_EQ(testsupport::readFile(ListPath("FF")), "Again\r\n\r\n" + Placeholders(1));
    EXPECT_EQ(GetFileAttributesA(ListPath("100").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The target cannot be written: the box, and the old file as it was.
TEST_F(ListEditorTest, SaveThatCannotWriteKeepsTheOldFile) {
    const std::string dir = home.windowsDir() + "/CD Track Lists";
    struct Case {
        const char* name;
        std::function<void()> arrange, undo;
        const char* box;
        bool keepsFile;
    } cases[] = {
        {"read-only file", [&] { chmod(ListPath("FF").c_str(), 0444); }, [&] { chmod(ListPath("FF").c_str(), 0644); },
         "Error: Error opening file for writing", true},
        {"no folder to write in",
         [&] {
             std::remove(ListPath("FF").c_str());
             rmdir(dir.c_str());
             testsupport::writeFile(dir, "a file where the folder should be");
         },
         [&] {
             std::remove(dir.c_str());
             mkdir(dir.c_str(), 0755);
         },
         "Error: Error opening file for writing", false},
        // A full disk: writes beyond a few bytes fail.
        {"full disk",
         [] {
             signal(SIGXFSZ, SIG_IGN);
             rlimit limit{16, RLIM_INFINITY};
             getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = 16;
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         [] {
             rlimit limit{};
             getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = limit.rlim_max;
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         "Error: Error writing file", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(ListPath("FF"), "Old\r\nAlbum\r\nTitle\r\n");
        ShowDisc("255", 1);
        Edit([&](HWND dialog) {
            c.arrange();
            const std::vector<std::string> boxes = TypeAndSave(dialog, "A composer name longer than the limit", "B");
            c.undo();
            EXPECT_EQ(boxes, (std::vector<std::string>{c.box}));
            EXPECT_EQ(DlgText(dialog, IDC_EDIT_COMPOSER), "A composer name longer than the limit");
            EXPECT_TRUE(IsWindowVisible(dialog));
            Click(dialog, IDC_CLOSE);
        });
        if (c.keepsFile) {
            EXPECT_EQ(testsupport::readFile(ListPath("FF")), "Old\r\nAlbum\r\nTitle\r\n");
        }
        EXPECT_EQ(GetFileAttributesA((ListPath("FF") + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
        Exit();
    }
}

TEST_F(ListEditorTest, EndsOnlyByCloseAndTheCloseBox) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        bool closes;
    } cases[] = {
        {"Escape", [](HWND) { PressKey(Qt::Key_Escape); }, false},
        {"IDOK", [](HWND d) { SendMessageA(d, WM_COMMAND, IDOK, 0); }, false},
        {"IDCANCEL", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }, false},
        {"Close", [](HWND d) { Click(d, IDC_CLOSE); }, true},
        {"close box", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, true},
    };
    ShowDisc("255", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        commands.clear();
        Edit([&](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_EDIT_COMPOSER, "Unsaved");
            c.act(dialog);
            testsupport::pumpFor(50);
            EXPECT_EQ(IsWindowVisible(dialog) != FALSE, !c.closes);
            if (!c.closes) Click(dialog, IDC_CLOSE);
        });
        // However it ended, the device is closed and opened afresh, and the disc shown again.
        const std::vector<std::string> after(commands.begin() + 3, commands.begin() + 6);
        EXPECT_EQ(after, (std::vector<std::string>{"close cd", "open cdaudio alias cd", "status cd media present"}));
        EXPECT_EQ(Sent("info cd identity").size(), 2u);
        EXPECT_TRUE(IsWindowEnabled(main_));
    }
    EXPECT_EQ(GetFileAttributesA(ListPath("FF").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing unsaved is written";
}

}  // namespace
