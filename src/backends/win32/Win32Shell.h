#pragma once

#include "seams/Shell.h"

#include <string>

namespace vexor::win32 {

constexpr const wchar_t* kBrowserPath =
    L"C:\\Arquivos de Programas\\Internet Explorer\\IEXPLORE.EXE";
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;

// Notepad's path and the command line that opens `report` in it.
std::wstring NotepadPath(const std::wstring& windowsDirectory);
std::wstring NotepadCommandLine(const std::wstring& windowsDirectory, const std::wstring& report);
std::wstring BrowserCommandLine(const std::wstring& url);

// Starts `application` with `commandLine` without waiting for it. The program's
// path is given on its own as well, so a path with blanks is never tried piece
// by piece ("C:\Arquivos.exe" for "C:\Arquivos de Programas\...").
ShellResult StartProcess(const std::wstring& application, const std::wstring& commandLine,
                         int showCommand);

// Files and processes on Windows: the report in the ANSI code page, Notepad and
// the browser at their fixed places.
class Win32Shell : public IShell {
  public:
    FilePath programDirectory() override;
    FilePath documentsDirectory() override;
    bool canWriteIn(const FilePath& directory) override;
    ShellResult writeReport(const FilePath& path, const std::string& text) override;
    std::string reportBytes(const std::string& text) override;
    std::string upperCase(const std::string& text) override;
    ShellResult openInTextEditor(const FilePath& path) override;
    ShellResult openInBrowser(const std::string& url) override;
};

} // namespace vexor::win32
