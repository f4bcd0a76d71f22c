#pragma once

#include <functional>

class QWidget;

namespace vexor {

class INetworkEnumeration;
class IShell;
class ISocketsLibrary;

// Callbacks for those who watch the program run: `started` once the application
// exists and before the load handler runs, `shown` with the window once it is on
// the screen, `ending` when the window ends the program, once the application
// is gone and right before the process ends.
struct ProgramObservers {
    std::function<void()> started;
    std::function<void(QWidget&)> shown;
    std::function<void()> ending;
};

// Runs the Linux program: the Qt window over the POSIX platform.
int RunLinuxProgram(int argc, char** argv, const ProgramObservers& observers = {});

// Runs the window over the given sockets library, network and shell.
int RunLinuxWindow(int argc, char** argv, ISocketsLibrary& sockets, INetworkEnumeration& network,
                   IShell& shell, const ProgramObservers& observers = {});

} // namespace vexor
