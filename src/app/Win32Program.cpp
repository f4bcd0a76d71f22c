#include "Win32Program.h"

#include "app/Win32Neighbourhood.h"
#include "backends/headless/HeadlessToolkit.h"
#include "backends/win32/Win32Console.h"
#include "backends/win32/Win32Shell.h"
#include "backends/win32/Win32Sockets.h"
#include "backends/win32/Win32Toolkit.h"
#include "backends/win32/Win32Window.h"
#include "core/cli/ReportCommand.h"
#include "core/cli/ReportOptions.h"
#include "core/discovery/NameChain.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

namespace vexor {
namespace {

// Lookups started ahead, namers and sources may still be inside a system
// library when the program is done (a lookup is never waited for): a normal
// exit would run every DLL's detach under them, and a thread ended while it
// held the loader lock leaves that detach waiting for ever. Every output is
// written unbuffered and every file is closed by now, so the program ends
// without the teardown.
[[noreturn]] void EndProgram(int status) {
    win32::TerminateOwnProcess(status);
}

} // namespace

void RunWin32Program(HINSTANCE instance, int showCommand) {
    // The walk starts resolving the names it finds; the address pass then finds
    // the answers ready in the same chain.
    const auto names =
        std::make_shared<NameChain>(std::make_shared<NameAnswerCache>(), win32::WinsockNameLookup);
    win32::Win32Sockets sockets(names);
    const auto arguments = win32::CommandLineArguments();
    const StartOptions start = ReadStartOptions(arguments);
    const auto network =
        win32::MakeWin32Network(names->learnt(),
                                {[names](SteadyTime deadline) { names->BeginRefresh(deadline); },
                                 [names](const std::string& name) { names->Prefetch(name); }},
                                start.sweep);
    win32::Win32Shell shell;
    if (!start.window) {
        win32::ConsoleStreams console;
        HeadlessWindow window(
            console.err(), [&shell](const std::string& text) { return shell.reportBytes(text); });
        const int status = *RunReportCommand(arguments, sockets, *network, shell, window,
                                             console.out(), console.err());
        EndProgram(status);
    }
    EndProgram(RunWin32Window(instance, showCommand, sockets, *network, shell));
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
