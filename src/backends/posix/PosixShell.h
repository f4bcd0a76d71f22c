#pragma once

#include "seams/Clock.h"
#include "seams/Shell.h"

#include <chrono>
#include <string>
#include <vector>

namespace vexor {

// Files and desktop actions on Linux: the report is written in UTF-8, and the
// desktop's opener shows it and the help page.
class PosixShell : public IShell {
  public:
    FilePath programDirectory() override;
    FilePath documentsDirectory() override;
    bool canWriteIn(const FilePath& directory) override;
    ShellResult writeReport(const FilePath& path, const std::string& text) override;
    std::string reportBytes(const std::string& text) override { return text; }
    std::string upperCase(const std::string& text) override;
    ShellResult openInTextEditor(const FilePath& path) override;
    ShellResult openInBrowser(const std::string& url) override;
};

// How long a started program is given, on the clock, to say that it failed.
inline constexpr std::chrono::milliseconds kOpenerWait{1500};

// Starts `arguments` (the program looked up on PATH) without waiting for it; the
// errno of a start that fails, or the status of a program that fails within
// kOpenerWait.
ShellResult StartDetached(const std::vector<std::string>& arguments,
                          const IClock& clock = SystemClock());

} // namespace vexor
