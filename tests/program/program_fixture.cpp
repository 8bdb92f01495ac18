#include "program_fixture.h"

#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "varnel.h"
#include "winmm/commands.h"
#include "winmm/reply.h"

void PressKey(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    ASSERT_NE(target, nullptr) << "no window takes keys";
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

BoxWatcher::BoxWatcher() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            seen.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
        }
    });
    timer.start(20);
}

void ProgramTest::RunDialog(UINT command, const char* caption, const std::function<void(HWND)>& script) {
    bool ran = false;
    int waited = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        HWND dialog = FindWindowA("#32770", caption);
        if (ran || !dialog || !IsWindowVisible(dialog)) return;
        // Keys go where the focus is: wait for the dialog to take it, as a user would.
        if (GetParent(GetFocus()) != dialog && ++waited < 100) return;
        ran = true;
        EXPECT_FALSE(IsWindowEnabled(main_)) << "the owner of a modal dialog takes no input";
        script(dialog);
    });
    timer.start(20);
    SendMessageA(main_, WM_COMMAND, command, 0);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(FindWindowA("#32770", caption));
}

namespace {
ProgramTest* g_test = nullptr;

// A status reply as a driver returns it, for winmm to write: a word winmm writes, a time
// with colons (mm:ss:ff or tt:mm:ss:ff), or a number. False for a text no driver can return.
bool ValueOf(const std::string& text, DWORD* result, DWORD_PTR* value) {
    if (const UINT word = winshim::MCI_ResourceId(text)) {
        *result = winshim::MCI_RESOURCE_RETURNED;
        *value = winshim::MCI_MakeResource(WORD(word), WORD(word));
        return true;
    }
    int fields[4] = {}, used = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d:%2d%n", &fields[0], &fields[1], &fields[2], &used) == 3 &&
        size_t(used) == text.size()) {
        *result = winshim::MCI_COLONIZED3_RETURN;
        *value = MCI_MAKE_MSF(fields[0], fields[1], fields[2]);
        return true;
    }
    if (std::sscanf(text.c_str(), "%2d:%2d:%2d:%2d%n", &fields[0], &fields[1], &fields[2], &fields[3], &used) == 4 &&
        size_t(used) == text.size()) {
        *result = winshim::MCI_COLONIZED4_RETURN;
        *value = MCI_MAKE_TMSF(fields[0], fields[1], fields[2], fields[3]);
        return true;
    }
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end) return false;
    *result = winshim::MCI_INTEGER_RETURNED;
    *value = DWORD_PTR(DWORD(number));
    return true;
}

// The scripted CD device: a driver of type cdaudio behind winmm's own parser and
// reply code, which records each command and answers it from the test's table.
class ScriptedDevice : public winshim::MciDriver {
public:
    explicit ScriptedDevice(std::string alias) : alias_(std::move(alias)) {}
    DWORD command(UINT message, DWORD_PTR flags, void* parms) override {
        // The command as the player's string for it, in the words of winmm's own tables.
        const std::optional<std::string> command = winshim::MCI_CommandString(alias_, message, flags, parms);
        if (!command) {
            ADD_FAILURE() << "the scripted device cannot take message 0x" << std::hex << message << " flags 0x"
                          << flags;
            return MCIERR_UNSUPPORTED_FUNCTION;
        }
        const std::string& text = *command;
        const std::string* answer = g_test ? g_test->Hear(text) : nullptr;
        if (!answer) return MCIERR_DEVICE_NOT_READY;
        if (message == MCI_INFO) {
            auto* info = static_cast<MCI_INFO_PARMSA*>(parms);
            std::snprintf(info->lpstrReturn, info->dwRetSize, "%s", answer->c_str());
        } else if (message == MCI_STATUS) {
            DWORD result = 0;
            DWORD_PTR value = 0;
            if (!ValueOf(*answer, &result, &value)) {
                ADD_FAILURE() << "no device answers '" << text << "' with '" << *answer << "'";
                return MCIERR_DEVICE_NOT_READY;
            }
            static_cast<MCI_STATUS_PARMS*>(parms)->dwReturn = value;
            return result;
        }
        return 0;
    }

private:
    const std::string alias_;
};
}  // namespace

void ProgramTest::SetUp() {
    g_test = this;
    // A runtime folder of our own: the windows of tests running side by side,
    // and their single-instance lookups, never meet.
    const std::string run = home.path() + "/run";
    mkdir(run.c_str(), 0700);
    if (const char* old = getenv("XDG_RUNTIME_DIR")) oldRuntime_ = old;
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    realDevice_ = winshim::MCI_RegisterDeviceType(
        "cdaudio", [](const std::string& element, const std::string& alias, MCIERROR* error) {
            std::unique_ptr<winshim::MciDriver> device;
            const std::string text = "open cdaudio" + (element.empty() ? "" : "!" + element) + " alias " + alias;
            if (g_test && g_test->Hear(text))
                device = std::make_unique<ScriptedDevice>(alias);
            else
                *error = MCIERR_DEVICE_NOT_READY;
            return device;
        });
}

const std::string* ProgramTest::Hear(const std::string& command) {
    commands.push_back(command);
    const auto answer = answers.find(command);
    return answer == answers.end() ? nullptr : &answer->second;
}

void ProgramTest::UseRealDevice() {
    winshim::MCI_RegisterDeviceType("cdaudio", realDevice_);
}

void ProgramTest::TearDown() {
    if (main_ && IsWindow(main_)) Exit();
    mciSendStringA("close all", nullptr, 0, nullptr);
    winshim::MCI_RegisterDeviceType("cdaudio", realDevice_);
    g_test = nullptr;
    if (oldRuntime_.empty())
        unsetenv("XDG_RUNTIME_DIR");
    else
        setenv("XDG_RUNTIME_DIR", oldRuntime_.c_str(), 1);
}

void ProgramTest::InsertDisc(const std::string& identity, int tracks, const std::string& length) {
    answers["open cdaudio alias cd"] = "1";
    answers["status cd media present"] = "true";
    answers["info cd identity"] = identity;
    answers["set cd time format tmsf"] = "";
    answers["status cd number of tracks"] = std::to_string(tracks);
    for (int t = 1; t <= tracks; t++) answers["status cd length track " + std::to_string(t)] = length;
}

HWND ProgramTest::Start() {
    static const bool registered = registerMainClass(GetModuleHandleA(nullptr)) != 0;
    EXPECT_TRUE(registered);
    main_ = createMainWindow(GetModuleHandleA(nullptr));
    EXPECT_NE(main_, nullptr);
    return main_;
}

void ProgramTest::OpenNow() {
    SendMessageA(main_, WM_TIMER, TIMER_OPEN, 0);
}

void ProgramTest::Exit() {
    DestroyWindow(main_);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    main_ = nullptr;
}

std::string ProgramTest::Text(int id) {
    char text[300] = "";
    GetDlgItemTextA(main_, id, text, sizeof text);
    return text;
}

HWND ProgramTest::TrackList() {
    return IDC_TRACKLIST;
}

std::string ProgramTest::ItemText(int row, int column) {
    char text[300] = "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(IDC_TRACKLIST, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int ProgramTest::Rows() {
    return int(SendMessageA(IDC_TRACKLIST, LVM_GETITEMCOUNT, 0, 0));
}

std::string ProgramTest::StatusText(int part) {
    char text[300] = "";
    SendMessageA(IDC_STATUS, SB_GETTEXTA, WPARAM(part), reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::pair<std::string, std::string>> ProgramTest::IniKeys() {
    std::vector<std::pair<std::string, std::string>> keys;
    std::istringstream in(testsupport::readFile(IniPath()));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq != std::string::npos) keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return keys;
}

std::vector<std::string> ProgramTest::Sent(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : commands)
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}
