// The least a window with text costs: the bare window with one line of text in
// the program's own font. Text brings fontconfig's set-up and a font file, which
// the bare window, drawing none, never pays.
#include "FirstPaint.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vexor Moralto - v2.5"));
    window.setFixedSize(460, 252);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSizeF(8.25);
    window.setFont(tahoma);
    QLabel label(QStringLiteral("Nome do computador"), &window);
    window.show();
    vexor::bench::ReportFirstPaint(window);
    return QApplication::exec();
}
