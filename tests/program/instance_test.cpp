// The real binary started while a player runs: it hands over to the running copy
// (restored and brought forward) and ends with 0, touching neither the settings
// file nor the device. The running copy is this process's own main window.
#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QWidget>

#include "program_fixture.h"
#include "user32/window.h"

namespace {

using InstanceTest = ProgramTest;

QProcess* StartPlayer(const std::string& home) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("WINSHIM_AUDIO", "null");
    env.insert("WINSHIM_DEBUG", "mci");
    p->setProcessEnvironment(env);
    p->start(VARNEL_PATH, {});
    return p;
}

bool IsActive(HWND hwnd) {
    return winshim::WIN_FromWidget(QApplication::activeWindow()) == winshim::WIN_Get(hwnd);
}

TEST_F(InstanceTest, SecondStartHandsOverAndEnds) {
    InsertDisc("255", 2);
    Start();
    ShowWindow(main_, SW_SHOWNORMAL);
    OpenNow();
    ShowWindow(main_, SW_MINIMIZE);
    QWidget other;  // another window has the focus
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testsupport::pumpUntil([&] { return QApplication::activeWindow() == &other; }));
    ASSERT_TRUE(IsIconic(main_));
    std::remove(IniPath().c_str());

    // The hand-over reaches this process's window: the message loop runs meanwhile.
    std::unique_ptr<QProcess> second(StartPlayer(home.path()));
    ASSERT_TRUE(testsupport::pumpUntil([&] { return second->state() == QProcess::NotRunning; }));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    const std::string said = second->readAllStandardError().toStdString();
    EXPECT_EQ(said.find("winshim:mci"), std::string::npos) << "the second copy sent device commands:\n" << said;
    EXPECT_EQ(GetFileAttributesA(IniPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the second copy wrote settings";
    EXPECT_FALSE(IsIconic(main_)) << "the running copy is restored";
    EXPECT_TRUE(testsupport::pumpUntil([&] { return IsActive(main_); })) << "the running copy is brought forward";
    Exit();

    // Alone, the same start opens the device and says so in the same log.
    std::unique_ptr<QProcess> alone(StartPlayer(home.path()));
    std::string heard;
    EXPECT_TRUE(testsupport::pumpUntil([&] {
        alone->waitForReadyRead(50);
        heard += alone->readAllStandardError().toStdString();
        return heard.find("winshim:mci") != std::string::npos;
    })) << "no device command was logged by a copy that runs alone:\n"
        << heard;
    alone->terminate();
    alone->waitForFinished(5000);
}

}  // namespace
