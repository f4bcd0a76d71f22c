#include "LinuxProgram.h"

#include "main_window/ReportCommand.h"
#include "main_window/WindowDescription.h"
#include "main_window/frmPrincipal.h"
#include "platform/posix/LinuxNetwork.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSockets.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtToolkit.h"

#include <QApplication>

namespace vexor {

int RunLinuxProgram(int argc, char** argv, const ProgramObservers& observers) {
    // The walk starts resolving the names it finds; the address pass then finds
    // the answers ready in the same resolver.
    const auto resolver = std::make_shared<PosixNameResolver>();
    PosixSockets sockets(resolver);
    const auto network = MakeLinuxNetwork(resolver);
    PosixShell shell;
    if (argc > 1) {
        StdioOutput out(stdout);
        StdioOutput err(stderr);
        return *RunReportCommand(std::vector<std::string>(argv + 1, argv + argc), sockets, *network,
                                 shell, out, err);
    }
    return RunLinuxWindow(argc, argv, sockets, *network, shell, observers);
}

int RunLinuxWindow(int argc, char** argv, ISocketsLibrary& sockets, INetworkEnumeration& network,
                   IShell& shell, const ProgramObservers& observers) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Windows"));
    LoadApplicationFonts();
    if (observers.started) {
        observers.started();
    }

    QtMainWindow window(kMainWindow);
    QtToolkit toolkit(window);
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
