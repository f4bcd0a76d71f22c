#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
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

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

  private:
    std::unique_ptr<std::streambuf> outBuffer_;
    std::unique_ptr<std::streambuf> errBuffer_;
    std::ostream out_;
    std::ostream err_;
};

} // namespace vexor::win32
