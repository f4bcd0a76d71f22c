#pragma once

#include "seams/Shell.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vexor::fakes {

// A shell whose program directory and documents folder are fresh temporary
// folders, removed with the fake. Reports are written there for real; processes are only recorded.
class FakeShell : public IShell {
  public:
    FakeShell();
    ~FakeShell() override;
    FakeShell(const FakeShell&) = delete;
    FakeShell& operator=(const FakeShell&) = delete;

    std::filesystem::path directory;
    // The documents folder it names, and whether the program's folder takes new
    // files; every folder asked about is recorded.
    std::filesystem::path documents;
    bool programDirectoryWritable = true;
    std::vector<std::filesystem::path> writableAsked;
    ShellResult editorResult;
    ShellResult browserResult;
    std::vector<std::filesystem::path> editorOpened;
    std::vector<std::string> browserOpened;

    FilePath programDirectory() override { return directory; }
    FilePath documentsDirectory() override { return documents; }
    bool canWriteIn(const FilePath& folder) override;
    ShellResult writeReport(const FilePath& path, const std::string& text) override;
    std::string reportBytes(const std::string& text) override { return text; }
    // The ASCII and Latin-1 mapping stands in for the system's in core tests.
    std::string upperCase(const std::string& text) override;
    ShellResult openInTextEditor(const FilePath& path) override;
    ShellResult openInBrowser(const std::string& url) override;

  private:
    std::filesystem::path scratch_;
};

std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace vexor::fakes
