#pragma once

#include "Win32Window.h"
#include "seams/Window.h"

namespace vexor::win32 {

// Message boxes, the mouse pointer and the end of the program with user32.
class Win32Toolkit : public IToolkit {
  public:
    explicit Win32Toolkit(Win32Window& window) : window_(window) {}
    void messageBox(const std::string& text, unsigned flags, const std::string& caption) override;
    void setMousePointer(MousePointer pointer) override;
    [[noreturn]] void endProgram(int status) override;

  private:
    Win32Window& window_;
};

// Ends this process with `status` once the C library's buffers are written:
// TerminateProcess, not ExitProcess, since a source left behind may still be
// inside a system library whose detach would then wait on it under the loader
// lock.
[[noreturn]] void TerminateOwnProcess(int status);

} // namespace vexor::win32
