#include "LinuxProgram.h"

#include "app/LinuxNetwork.h"
#include "backends/headless/HeadlessToolkit.h"
#include "backends/posix/PosixShell.h"
#include "backends/posix/PosixSockets.h"
#include "backends/qt/QtMainWindow.h"
#include "backends/qt/QtToolkit.h"
#include "core/cli/ReportCommand.h"
#include "core/cli/ReportOptions.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace vexor {

int RunLinuxProgram(int argc, char** argv, const ProgramObservers& observers) {
    // The walk starts resolving the names it finds; the address pass then finds
    // the answers ready in the same resolver.
    const auto names = MakeLinuxNames();
    PosixSockets sockets(names);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const StartOptions start = ReadStartOptions(arguments);
    const auto network = MakeLinuxNetwork(names, start.sweep);
    PosixShell shell;
    int status = 0;
    if (!start.window) {
        StdioOutput out(stdout);
        StdioOutput err(stderr);
        HeadlessWindow window(
            err, [&shell](const std::string& text) { return shell.reportBytes(text); });
        status = *RunReportCommand(arguments, sockets, *network, shell, window, out, err);
    } else {
        status = RunLinuxWindow(argc, argv, sockets, *network, shell, observers);
    }
    // A source left behind at a refresh's deadline (libsmbclient waiting on a
    // silent browse master) may still be inside a library that the normal exit
    // would tear down under it: the program ends without that teardown.
    if (network->SourcesOverrunning()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

int RunLinuxWindow(int argc, char** argv, ISocketsLibrary& sockets, INetworkEnumeration& network,
                   IShell& shell, const ProgramObservers& observers) {
    std::optional<QApplication> application(std::in_place, argc, argv);
    QApplication::setStyle(QStringLiteral("Windows"));
    LoadApplicationFonts();
    UseFontByDefault(kMainWindow.font);
    if (observers.started) {
        observers.started();
    }

    QtMainWindow window(kMainWindow);
    QtToolkit toolkit(window, [&application, &observers] {
        application.reset();
        if (observers.ending) {
            observers.ending();
        }
    });
    frmPrincipal form(PlatformServices{sockets, network, shell, toolkit}, window.controls());
    window.setEventSink(&form);

    // The load handler runs before the window is first shown; its message boxes
    // appear with no window behind them.
    form.Load();
    window.showCentred();
    if (observers.shown) {
        observers.shown(window);
    }
    return QApplication::exec();
}

} // namespace vexor
