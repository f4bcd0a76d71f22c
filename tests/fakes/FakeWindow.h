#pragma once

#include "seams/Window.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vexor::fakes {

class FakeListBox : public IListBox {
  public:
    std::vector<std::string> lines;
    bool visible = true;
    // Lines past this count are refused, as a full list box refuses them.
    std::size_t capacity = kMaxListLines;

    void AddItem(const std::string& text) override;
    void clear() override { lines.clear(); }
    std::int16_t count() const override { return static_cast<std::int16_t>(lines.size()); }
    std::string item(std::int16_t index) const override { return lines.at(index); }
    void setItem(std::int16_t index, const std::string& text) override { lines.at(index) = text; }
    void setVisible(bool show) override { visible = show; }
};

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
