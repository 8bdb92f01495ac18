// The process entry point of a program written against WinMain.
#include <windows.h>

int main(int, char**) {
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
