#include "Win32Program.h"

#include "cli/ReportCommand.h"
#include "main_window/WindowDescription.h"
#include "main_window/frmPrincipal.h"
#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32Neighbourhood.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32Toolkit.h"
#include "platform/win32/Win32Window.h"

#include <cstdio>

namespace vexor {
namespace {

// A source left behind at a refresh's deadline may still be inside a system
// library: the program ends without the teardown that would free it under it.
int EndProgram(int status, const MergedNetwork& network) {
    if (network.SourcesOverrunning()) {
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(status));
    }
    return status;
}

} // namespace

int RunWin32Program(HINSTANCE instance, int showCommand) {
    const auto learnt = std::make_shared<NameAnswerCache>();
    win32::Win32Sockets sockets(learnt);
    const auto ahead = sockets.ahead();
    const auto network = win32::MakeWin32Network(
        learnt, {[ahead](SteadyTime deadline) { ahead->NewRound(deadline); },
                 [ahead](const std::string& name) { ahead->Prefetch(name); }});
    win32::Win32Shell shell;
    if (const auto arguments = win32::CommandLineArguments(); !arguments.empty()) {
        win32::ConsoleStreams console;
        const int status =
            *RunReportCommand(arguments, sockets, *network, shell, console.out(), console.err());
        return EndProgram(status, *network);
    }
    return EndProgram(RunWin32Window(instance, showCommand, sockets, *network, shell), *network);
}

int RunWin32Window(HINSTANCE instance, int showCommand, ISocketsLibrary& sockets,
                   INetworkEnumeration& network, IShell& shell) {
    win32::Win32Window window(instance, kMainWindow);
    win32::Win32Toolkit toolkit(window);
    frmPrincipal form(PlatformServices{sockets, network, shell, toolkit}, window.controls());
    window.setEventSink(&form);

    // The load handler runs before the window is first shown.
    form.Load();
    window.showCentred(showCommand);
    return window.RunMessageLoop();
}

} // namespace vexor
