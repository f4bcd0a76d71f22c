#pragma once

#include "Win32Controls.h"
#include "base/StaleInput.h"
#include "base/UniqueHandle.h"
#include "seams/WindowDescription.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>
#include <windows.h>

namespace vexor::win32 {

using FontHandle = UniqueHandle<std::remove_pointer_t<HFONT>, DeleteObject>;

// The main window built with user32 from a window description. Frames are
// group boxes beside the controls they hold; the message loop gives the window
// every key first (key preview) and then lets the dialog manager handle Tab and
// the access keys.
class Win32Window {
  public:
    Win32Window(HINSTANCE instance, const WindowDescription& description);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void setEventSink(IFormEvents* sink) { sink_ = sink; }
    // The program's clock in milliseconds, against which a message's time
    // tells what waited while a handler ran; GetTickCount unless told.
    void setClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }
    FormControls controls();
    HWND handle() const { return window_; }
    HWND control(std::string_view name) const;
    int dpi() const { return dpi_; }

    void showCentred(int showCommand);
    void setWaitCursor(bool wait);
    // Key preview and dialog keys for one message; true when it was consumed.
    // A key held down (bit 30 of lParam) never reaches the key preview, and a
    // press or a click made before the last handler returned is dropped.
    bool PreTranslate(MSG& message);
    int RunMessageLoop();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Build(HINSTANCE instance, const WindowDescription& description);
    HFONT Font(const FontSpec& entry);
    // Runs a handler of the sink; input made before it returns is then stale.
    template <typename Handler> void Deliver(Handler handler);

    HWND window_ = nullptr;
    IFormEvents* sink_ = nullptr;
    std::function<std::uint32_t()> clock_ = [] {
        return static_cast<std::uint32_t>(GetTickCount());
    };
    StaleInput staleInput_;
    int dpi_ = 96;
    bool waiting_ = false;
    HWND firstInTabOrder_ = nullptr;
    std::vector<FontHandle> fonts_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<int, std::string> buttons_;
    std::unique_ptr<Win32TextBox> txtIPS_;
    std::unique_ptr<Win32ListBox> lstIPS_;
    std::unique_ptr<Win32ListBox> lstIPRede_;
    std::unique_ptr<Win32Label> rtlIPRede_;
};

// The Windows virtual-key code's shift state as the window's key handler takes it.
int CurrentShiftState();

} // namespace vexor::win32
