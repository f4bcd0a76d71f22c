#include "Win32Toolkit.h"

#include "WinText.h"

#include <cstdio>
#include <cstdlib>

namespace vexor::win32 {

void Win32Toolkit::messageBox(const std::string& text, unsigned flags, const std::string& caption) {
    // Until the window is on the screen (the load handler at start-up) a box has
    // no owner.
    const HWND owner = IsWindowVisible(window_.handle()) ? window_.handle() : nullptr;
    MessageBoxW(owner, Utf8ToWide(text).c_str(),
                Utf8ToWide(caption.empty() ? kApplicationTitle : caption).c_str(), flags);
}

void Win32Toolkit::setMousePointer(MousePointer pointer) {
    window_.setWaitCursor(pointer == MousePointer::Hourglass);
}

void Win32Toolkit::endProgram(int status) {
    TerminateOwnProcess(status);
}

void TerminateOwnProcess(int status) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    // TerminateProcess on the own process does not return once it succeeds.
    std::abort();
}

} // namespace vexor::win32
