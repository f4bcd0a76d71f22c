#pragma once

#include "seams/Window.h"

#include <windows.h>

namespace vexor::win32 {

// The list box of the window seam over a Win32 LISTBOX.
class Win32ListBox : public IListBox {
  public:
    explicit Win32ListBox(HWND control) : control_(control) {}
    void AddItem(const std::string& text) override;
    void clear() override;
    std::int16_t count() const override;
    std::string item(std::int16_t index) const override;
    void setItem(std::int16_t index, const std::string& text) override;
    void setVisible(bool visible) override;

  private:
    HWND control_;
};

class Win32TextBox : public ITextBox {
  public:
    explicit Win32TextBox(HWND control) : control_(control) {}
    std::string text() const override;
    void setText(const std::string& text) override;

  private:
    HWND control_;
};

class Win32Label : public ILabel {
  public:
    explicit Win32Label(HWND control) : control_(control) {}
    void setVisible(bool visible) override;

  private:
    HWND control_;
};

} // namespace vexor::win32
