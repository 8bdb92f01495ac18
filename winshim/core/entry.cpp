// The process entry point of a program written against WinMain.
#include <windows.h>

#include <iostream>
#include <string>

#include "core/app.h"
#include "desktop/cmdline.h"

int main(int argc, char** argv) {
    if (auto answered = winshim::DESKTOP_AnswerCommandLine(argc, argv, std::cout)) return *answered;
    std::string commandLine = winshim::DESKTOP_CommandLine(argc, argv);
    const int status = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    winshim::APP_Shutdown();
    return status;
}
