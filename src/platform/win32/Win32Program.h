#pragma once

#include <windows.h>

namespace vexor {

// Runs the Windows program: the user32 window over Winsock, WNet and the shell.
int RunWin32Program(HINSTANCE instance, int showCommand);

} // namespace vexor
