// The real binary, twice: the second start hands over to the running copy and
// ends with 0, touching neither the settings file nor the device.
#include <QProcess>
#include <QProcessEnvironment>

#include "program_fixture.h"

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

TEST_F(InstanceTest, SecondStartHandsOverAndEnds) {
    QProcess* first = StartPlayer(home.path());
    ASSERT_TRUE(first->waitForStarted(5000));
    // Wait until the first copy's window can be found.
    HWND running = nullptr;
    for (int i = 0; i < 400 && !running; i++) {
        testsupport::pumpFor(50);
        running = FindWindowA("Varnel", nullptr);
    }
    ASSERT_NE(running, nullptr);
    std::remove(IniPath().c_str());

    QProcess* second = StartPlayer(home.path());
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    const std::string said = second->readAllStandardError().toStdString();
    EXPECT_EQ(said.find("winshim:mci"), std::string::npos) << "the second copy sent device commands:\n" << said;
    EXPECT_EQ(GetFileAttributesA(IniPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the second copy wrote settings";
    EXPECT_EQ(first->state(), QProcess::Running) << "the first copy runs on";

    first->terminate();
    first->waitForFinished(5000);
    delete first;
    delete second;
}

}  // namespace
