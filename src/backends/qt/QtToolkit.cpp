#include "QtToolkit.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace vexor {
namespace {

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
    case 0x10:
        return QMessageBox::Critical;
    case 0x20:
        return QMessageBox::Question;
    case 0x30:
        return QMessageBox::Warning;
    case 0x40:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

QtToolkit::~QtToolkit() {
    if (waiting_) {
        QApplication::restoreOverrideCursor();
    }
}

void QtToolkit::messageBox(const std::string& text, unsigned flags, const std::string& caption) {
    // Qt breaks lines at LF alone; a CR before it would show as a stray glyph.
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(flags),
                    QString::fromStdString(caption.empty() ? kApplicationTitle : caption), shown,
                    QMessageBox::Ok, window_.isVisible() ? &window_ : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // The wait cursor of a running refresh must not hide the arrow over the box.
    if (waiting_) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    box.exec();
    if (waiting_) {
        QApplication::restoreOverrideCursor();
    }
}

void QtToolkit::setMousePointer(MousePointer pointer) {
    const bool wait = pointer == MousePointer::Hourglass;
    if (wait == waiting_) {
        return;
    }
    waiting_ = wait;
    if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtToolkit::endProgram(int status) {
    if (endApplication_) {
        endApplication_();
    }
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace vexor
