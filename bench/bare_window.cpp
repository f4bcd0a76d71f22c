// The yardstick: an empty Qt window of the program's size, reporting its first paint.
#include "FirstPaint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vexor Moralto - v2.5"));
    window.setFixedSize(460, 252);
    window.show();
    vexor::bench::ReportFirstPaint(window);
    return QApplication::exec();
}
