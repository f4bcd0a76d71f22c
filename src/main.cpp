// The program's entry point: builds this system's platform, creates the main
// window, runs its load handler before the window is first shown, and runs the
// message loop.
#include "main_window/WindowDescription.h"
#include "main_window/frmPrincipal.h"

#ifdef _WIN32
#include "platform/win32/Win32Program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return vexor::RunWin32Program(instance, showCommand);
}
#else
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSockets.h"
#include "platform/posix/SmbNetwork.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtToolkit.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Windows"));
    vexor::LoadApplicationFonts();

    vexor::PosixSockets sockets;
    vexor::SmbNetwork network;
    vexor::PosixShell shell;
    vexor::QtMainWindow window(vexor::kMainWindow);
    vexor::QtToolkit toolkit(window);
    vexor::frmPrincipal form(vexor::PlatformServices{sockets, network, shell, toolkit},
                             window.controls());
    window.setEventSink(&form);

    form.Load();
    window.showCentred();
    return QApplication::exec();
}
#endif
