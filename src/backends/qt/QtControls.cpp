#include "QtControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <stdexcept>

namespace vexor {

void QtListBox::AddItem(const std::string& text) {
    EnsureRoomForOneMoreLine(static_cast<std::size_t>(widget_.count()));
    widget_.addItem(QString::fromStdString(text));
}

void QtListBox::clear() {
    widget_.clear();
}

std::int16_t QtListBox::count() const {
    return static_cast<std::int16_t>(widget_.count());
}

std::string QtListBox::item(std::int16_t index) const {
    const QListWidgetItem* line = widget_.item(index);
    if (line == nullptr) {
        throw std::out_of_range("list box index");
    }
    return line->text().toStdString();
}

void QtListBox::setItem(std::int16_t index, const std::string& text) {
    QListWidgetItem* line = widget_.item(index);
    if (line == nullptr) {
        throw std::out_of_range("list box index");
    }
    line->setText(QString::fromStdString(text));
}

void QtListBox::setVisible(bool visible) {
    widget_.setVisible(visible);
}

std::string QtTextBox::text() const {
    return widget_.text().toStdString();
}

void QtTextBox::setText(const std::string& text) {
    widget_.setText(QString::fromStdString(text));
}

void QtLabel::setVisible(bool visible) {
    widget_.setVisible(visible);
}

} // namespace vexor
