#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexor {

// The most lines a list box holds: its counts and indexes are 16-bit signed.
constexpr int kMaxListLines = 32767;

// Thrown by a list box asked to hold a line past kMaxListLines.
class ListFullError : public std::runtime_error {
  public:
    ListFullError() : std::runtime_error("list box is full") {}
};

// The rule every list box keeps before it takes one more line: one that holds
// `lines` already refuses it when they are kMaxListLines.
inline void EnsureRoomForOneMoreLine(std::size_t lines) {
    if (lines >= static_cast<std::size_t>(kMaxListLines)) {
        throw ListFullError();
    }
}

// Anything that takes new lines at its end.
class IItemSink {
  public:
    virtual ~IItemSink() = default;
    virtual void AddItem(const std::string& text) = 0;
};

class IListBox : public IItemSink {
  public:
    virtual void clear() = 0;
    virtual std::int16_t count() const = 0;
    virtual std::string item(std::int16_t index) const = 0;
    virtual void setItem(std::int16_t index, const std::string& text) = 0;
    virtual void setVisible(bool visible) = 0;
};

class ITextBox {
  public:
    virtual ~ITextBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
};

class ILabel {
  public:
    virtual ~ILabel() = default;
    virtual void setVisible(bool visible) = 0;
};

// Message box flags with their Win32 values.
namespace mb {
constexpr unsigned kOk = 0x0;
constexpr unsigned kIconStop = 0x10;
constexpr unsigned kIconInformation = 0x40;
} // namespace mb

// Mouse pointer styles of the window.
enum class MousePointer { Default = 0, Hourglass = 11 };

constexpr const char* kApplicationTitle = "Vexor Moralto";

// Shift state bits of a key event.
namespace shift {
constexpr int kShift = 1;
constexpr int kCtrl = 2;
constexpr int kAlt = 4;
} // namespace shift

// The controls of the window that its handlers read and write.
struct FormControls {
    ITextBox& txtIPS;
    IListBox& lstIPS;
    IListBox& lstIPRede;
    ILabel& rtlIPRede;
};

// The events a window toolkit delivers to the window's handlers, each run to its
// end before the next one.
class IFormEvents {
  public:
    virtual ~IFormEvents() = default;
    virtual void Load() = 0;
    // Seen before the control that has the focus; `keyCode` is a Windows
    // virtual-key code.
    virtual void KeyDown(std::uint16_t& keyCode, int shiftState) = 0;
    // A button of the window description was clicked, named as it is there.
    virtual void Click(std::string_view control) = 0;
    // The window is being closed; a non-zero `cancel` would keep it open.
    virtual void Unload(std::int16_t& cancel) = 0;
};

// What the window toolkit does for the window as a whole.
class IToolkit {
  public:
    virtual ~IToolkit() = default;
    // Modal; returns when the user presses OK. An empty caption shows the
    // application title.
    virtual void messageBox(const std::string& text, unsigned flags,
                            const std::string& caption = {}) = 0;
    virtual void setMousePointer(MousePointer pointer) = 0;
    // Ends the process at once with exit status `status` (0 when the user ends
    // it, 1 after a failure): no further handler and no destructor runs.
    [[noreturn]] virtual void endProgram(int status) = 0;
};

} // namespace vexor
