#include "program_fixture.h"

#include <sys/stat.h>
#include <winmm/mcidriver.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <cstdlib>
#include <sstream>

#include "varnel.h"

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
}

void ProgramTest::SetUp() {
    g_test = this;
    // A runtime folder of our own: the windows of tests running side by side,
    // and their single-instance lookups, never meet.
    const std::string run = home.path() + "/run";
    mkdir(run.c_str(), 0700);
    if (const char* old = getenv("XDG_RUNTIME_DIR")) oldRuntime_ = old;
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    winshim::MCI_SetStringHook([](const char* command, char* reply, UINT length) -> MCIERROR {
        if (!g_test) return MCIERR_DEVICE_NOT_READY;
        g_test->commands.push_back(command);
        auto it = g_test->answers.find(command);
        if (it == g_test->answers.end()) return MCIERR_DEVICE_NOT_READY;
        if (it->second.size() >= length) return MCIERR_PARAM_OVERFLOW;
        memcpy(reply, it->second.c_str(), it->second.size() + 1);
        return 0;
    });
}

void ProgramTest::TearDown() {
    if (main_ && IsWindow(main_)) Exit();
    winshim::MCI_SetStringHook(nullptr);
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
