#include "HeadlessToolkit.h"

namespace vexor {

void HeadlessListBox::AddItem(const std::string& text) {
    EnsureRoomForOneMoreLine(lines_.size());
    if (lines_.size() >= capacity_) {
        throw ListFullError();
    }
    lines_.push_back(text);
    added_.push_back(text);
}

void HeadlessListBox::clear() {
    lines_.clear();
    added_.clear();
}

void HeadlessToolkit::messageBox(const std::string& text, unsigned /*flags*/,
                                 const std::string& caption) {
    const std::string line =
        (!caption.empty() && caption != kApplicationTitle ? caption + ": " : std::string()) + text;
    errors_.write(encode_(line) + "\n");
}

} // namespace vexor
