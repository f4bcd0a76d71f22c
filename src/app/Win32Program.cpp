#include "Win32Program.h"

#include "backends/win32/Win32Console.h"
#include "app/Win32Neighbourhood.h"
#include "backends/win32/Win32Shell.h"
#include "backends/win32/Win32Sockets.h"
#include "backends/win32/Win32Toolkit.h"
#include "backends/win32/Win32Window.h"
#include "core/cli/ReportCommand.h"
#include "core/cli/ReportOptions.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

namespace vexor {
namespace {

// A source left behind at a refresh's deadline may still be inside a system
// library: the program ends without the teardown that would free it under it.
int EndProgram(int status, const MergedNetwork& network) {
    if (network.SourcesOverrunning()) {
        win32::TerminateOwnProcess(status);
    }
    return status;
}

} // namespace

int RunWin32Program(HINSTANCE instance, int showCommand) {
    const auto learnt = std::make_shared<NameAnswerCache>();
    win32::Win32Sockets sockets(learnt);
    const auto ahead = sockets.ahead();
    const auto arguments = win32::CommandLineArguments();
    const StartOptions start = ReadStartOptions(arguments);
    const auto network =
        win32::MakeWin32Network(learnt,
                                {[ahead](SteadyTime deadline) { ahead->NewRound(deadline); },
                                 [ahead](const std::string& name) { ahead->Prefetch(name); }},
                                start.sweep);
    win32::Win32Shell shell;
    if (!start.window) {
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
