#include "Win32Program.h"

#include "Win32Console.h"
#include "Win32Neighbourhood.h"
#include "Win32Shell.h"
#include "Win32Sockets.h"
#include "Win32Toolkit.h"
#include "Win32Window.h"
#include "main_window/ReportCommand.h"
#include "main_window/WindowDescription.h"
#include "main_window/frmPrincipal.h"

namespace vexor {

int RunWin32Program(HINSTANCE instance, int showCommand) {
    const auto learnt = std::make_shared<NameAnswerCache>();
    win32::Win32Sockets sockets(learnt);
    const auto network = win32::MakeWin32Network(learnt);
    win32::Win32Shell shell;
    if (const auto arguments = win32::CommandLineArguments(); !arguments.empty()) {
        win32::ConsoleStreams console;
        return *RunReportCommand(arguments, sockets, *network, shell, console.out(), console.err());
    }
    return RunWin32Window(instance, showCommand, sockets, *network, shell);
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
