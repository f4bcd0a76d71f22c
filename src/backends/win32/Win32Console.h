#pragma once

#include "base/UniqueHandle.h"
#include "seams/TextOutput.h"

#include <string>
#include <vector>

namespace vexor::win32 {

// The program's arguments as UTF-8, without its own name (CommandLineToArgvW).
std::vector<std::string> CommandLineArguments();

// Standard output and standard error of a GUI program started from a console
// or with its output redirected: the handles it inherited, else those of the
// console of the process that started it (AttachConsole(ATTACH_PARENT_PROCESS)).
class ConsoleStreams {
  public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

    ITextOutput& out() { return out_; }
    ITextOutput& err() { return err_; }

  private:
    // Bytes written straight to a handle; a handle that cannot be had takes nothing.
    class HandleOutput : public ITextOutput {
      public:
        explicit HandleOutput(void* handle) : handle_(handle) {}
        bool write(std::string_view bytes) override;

      private:
        void* handle_;
    };

    // The parent's console opened for this process; nullptr owns nothing.
    struct ConsolePolicy {
        using Value = void*;
        static constexpr void* Invalid() noexcept { return nullptr; }
        static void Close(void* console);
    };

    UniqueResource<ConsolePolicy> console_;
    HandleOutput out_{nullptr};
    HandleOutput err_{nullptr};
};

} // namespace vexor::win32
