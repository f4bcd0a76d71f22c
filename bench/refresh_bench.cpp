// Times a refresh that fills the real Qt list box from a fake network and
// resolver, per line, for a list of 4096 and one of 32767 machines.
#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "FakeWindow.h"
#include "backends/qt/QtMainWindow.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

#include <QApplication>
#include <QListWidget>
#include <chrono>
#include <cstdio>

using namespace vexor;

namespace {

double MicrosecondsPerLine(int machines) {
    std::vector<fakes::FakeNode> servers;
    fakes::FakeSockets sockets;
    sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 1}}};
    for (int i = 0; i < machines; ++i) {
        const std::string name = "ESTACAO" + std::to_string(i);
        servers.push_back(fakes::Server("\\\\" + name));
        sockets.hostsByName[name] = {
            name,
            {{10, static_cast<unsigned char>(i >> 16), static_cast<unsigned char>(i >> 8),
              static_cast<unsigned char>(i)}}};
    }
    fakes::FakeNetwork network({fakes::Provider("Rede", {fakes::Domain("GRUPO", servers)})});
    fakes::FakeShell shell;
    fakes::FakeToolkit toolkit;
    QtMainWindow window(kMainWindow);
    frmPrincipal form(PlatformServices{sockets, network, shell, toolkit}, window.controls());
    form.Load();
    window.show();
    QApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    form.btnAtualizar_Click();
    QApplication::processEvents();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const int lines = qobject_cast<QListWidget*>(window.control("lstIPRede"))->count();
    if (lines != machines) {
        std::fprintf(stderr, "expected %d lines, got %d\n", machines, lines);
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(elapsed).count() / lines;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Windows"));
    MicrosecondsPerLine(512); // warm-up
    const double small = MicrosecondsPerLine(4096);
    const double large = MicrosecondsPerLine(32767);
    std::printf("refresh  4096 machines: %.2f us per line\n", small);
    std::printf("refresh 32767 machines: %.2f us per line\n", large);
    std::printf("per-line cost ratio (32767 vs 4096): %.2f (%s)\n", large / small,
                large / small < 1.5 ? "linear" : "NOT linear");
    return 0;
}
