#pragma once

#include "backends/headless/HeadlessToolkit.h"
#include "seams/Window.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vexor::fakes {

// The program's own list box with no window keeps what the form puts in it.
using FakeListBox = HeadlessListBox;

class FakeTextBox : public ITextBox {
  public:
    std::string value;
    std::string text() const override { return value; }
    void setText(const std::string& text) override { value = text; }
};

class FakeLabel : public ILabel {
  public:
    bool visible = true;
    void setVisible(bool show) override { visible = show; }
};

// Thrown where the real program would have ended the process.
class ProgramEnded : public std::exception {
  public:
    const char* what() const noexcept override { return "program ended"; }
};

struct ShownMessage {
    std::string text;
    unsigned flags;
    std::string caption;

    bool operator==(const ShownMessage&) const = default;
};

class FakeToolkit : public IToolkit {
  public:
    std::vector<ShownMessage> messages;
    std::vector<MousePointer> pointers;
    bool ended = false;
    int endStatus = -1;

    void messageBox(const std::string& text, unsigned flags, const std::string& caption) override;
    void setMousePointer(MousePointer pointer) override { pointers.push_back(pointer); }
    [[noreturn]] void endProgram(int status) override;
};

} // namespace vexor::fakes
