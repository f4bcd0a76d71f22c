// The program's window with its controls, built by the program's own window
// code and showing what the program shows at start (a name, one address), with
// nothing behind it: no form, no start-up lookups, no network. What a window of
// these controls costs in Qt, whatever program it belongs to.
#include "FirstPaint.h"
#include "backends/qt/QtMainWindow.h"
#include "core/main_window/MainWindowDescription.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Windows"));
    vexor::LoadApplicationFonts();
    vexor::UseFontByDefault(vexor::kMainWindow.font);
    vexor::QtMainWindow window(vexor::kMainWindow);
    const vexor::FormControls controls = window.controls();
    controls.txtIPS.setText("VM");
    controls.lstIPS.AddItem("192.0.2.2");
    controls.lstIPRede.setVisible(false);
    window.showCentred();
    vexor::bench::ReportFirstPaint(window);
    return QApplication::exec();
}
