#pragma once

#include "seams/TextOutput.h"
#include "seams/Window.h"
#include "seams/WindowlessWindow.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexor {

// A list box with no window: its lines in memory, the text each line was
// first added with (the walk's machine name, before the address pass), and
// whether the form last showed it. The tests take it as their list box too.
class HeadlessListBox : public IListBox {
  public:
    // A list that takes fewer lines than a list box may stands for one that is full.
    explicit HeadlessListBox(std::size_t capacity = kMaxListLines) : capacity_(capacity) {}
    void AddItem(const std::string& text) override;
    void clear() override;
    std::int16_t count() const override { return static_cast<std::int16_t>(lines_.size()); }
    std::string item(std::int16_t index) const override { return lines_.at(index); }
    void setItem(std::int16_t index, const std::string& text) override { lines_.at(index) = text; }
    void setVisible(bool visible) override { visible_ = visible; }

    const std::vector<std::string>& lines() const { return lines_; }
    bool visible() const { return visible_; }
    const std::vector<std::string>& added() const { return added_; }

  private:
    std::vector<std::string> lines_;
    std::vector<std::string> added_;
    bool visible_ = true;
    std::size_t capacity_;
};

class HeadlessTextBox : public ITextBox {
  public:
    std::string text() const override { return value_; }
    void setText(const std::string& text) override { value_ = text; }

  private:
    std::string value_;
};

class HeadlessLabel : public ILabel {
  public:
    void setVisible(bool /*visible*/) override {}
};

// The window toolkit with no window: every message box is written to `errors`
// in the encoding `encode` gives (its caption when it has one of its own, then
// its text), nothing waits for a user, and ending the program unwinds to the caller.
class HeadlessToolkit : public IToolkit {
  public:
    using Encoding = std::function<std::string(const std::string&)>;
    HeadlessToolkit(ITextOutput& errors, Encoding encode)
        : errors_(errors), encode_(std::move(encode)) {}
    void messageBox(const std::string& text, unsigned flags, const std::string& caption) override;
    void setMousePointer(MousePointer /*pointer*/) override {}
    // Every end a load handler can reach is a failure: the command ends with 1.
    [[noreturn]] void endProgram(int /*status*/) override { throw WindowlessProgramEnd(); }

  private:
    ITextOutput& errors_;
    Encoding encode_;
};

// The controls and toolkit of a window with no screen, for the command line.
class HeadlessWindow : public IWindowlessWindow {
  public:
    HeadlessWindow(ITextOutput& errors, HeadlessToolkit::Encoding encode)
        : toolkit_(errors, std::move(encode)) {}
    IToolkit& toolkit() override { return toolkit_; }
    FormControls controls() override { return {txtIPS_, lstIPS_, lstIPRede_, rtlIPRede_}; }
    std::vector<std::string> networkLinesAsAdded() const override { return lstIPRede_.added(); }

  private:
    HeadlessToolkit toolkit_;
    HeadlessTextBox txtIPS_;
    HeadlessListBox lstIPS_;
    HeadlessListBox lstIPRede_;
    HeadlessLabel rtlIPRede_;
};

} // namespace vexor
