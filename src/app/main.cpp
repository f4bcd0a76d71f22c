// The program's entry point: runs this system's build of the program.
#ifdef _WIN32
#include "Win32Program.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    vexor::RunWin32Program(instance, showCommand);
}
#else
#include "LinuxProgram.h"

int main(int argc, char** argv) {
    return vexor::RunLinuxProgram(argc, argv);
}
#endif
