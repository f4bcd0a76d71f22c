#pragma once

#include <windows.h>

namespace vexor {

class INetworkEnumeration;
class IShell;
class ISocketsLibrary;

// Runs the Windows program: the user32 window over Winsock, WNet and the shell,
// and ends the process with its exit status.
[[noreturn]] void RunWin32Program(HINSTANCE instance, int showCommand);

// Runs the window over the given sockets library, network and shell.
int RunWin32Window(HINSTANCE instance, int showCommand, ISocketsLibrary& sockets,
                   INetworkEnumeration& network, IShell& shell);

} // namespace vexor
