#include "Win32Shell.h"

#include "WinText.h"
#include "base/FileReplace.h"
#include "base/UniqueHandle.h"

#include <memory>
#include <vector>
// windows.h comes before the shell's headers, which use its types.
#include <windows.h>
// The known folder's GUID is defined here rather than taken from libuuid, whose
// one object holds every GUID of the system.
#include <initguid.h>
//
#include <knownfolders.h>
#include <shlobj.h>

namespace vexor::win32 {
namespace {

// A kernel handle that CreateProcess hands out (never INVALID_HANDLE_VALUE).
using KernelHandle = UniqueHandle<void, CloseHandle>;

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const UniqueHandle<wchar_t, LocalFree> owned(text);
    std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
        message.pop_back();
    }
    return message.empty() ? "erro " + std::to_string(error) : WideToUtf8(message);
}

// Frees the text a shell call allocated with the COM task allocator.

std::wstring WindowsDirectory() {
    const DWORD length = GetEnvironmentVariableW(L"WINDIR", nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring value(length, L'\0');
    value.resize(GetEnvironmentVariableW(L"WINDIR", value.data(), length));
    return value;
}

} // namespace

std::wstring NotepadPath(const std::wstring& windowsDirectory) {
    return windowsDirectory + L"\\Notepad.exe";
}

std::wstring NotepadCommandLine(const std::wstring& windowsDirectory, const std::wstring& report) {
    return NotepadPath(windowsDirectory) + L" " + report;
}

std::wstring BrowserCommandLine(const std::wstring& url) {
    return std::wstring(kBrowserPath) + L" " + url;
}

ShellResult StartProcess(const std::wstring& application, const std::wstring& commandLine,
                         int showCommand) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        return ShellResult{static_cast<int>(error), SystemMessage(error)};
    }
    const KernelHandle thread(process.hThread);
    const KernelHandle started(process.hProcess);
    return {};
}

FilePath Win32Shell::programDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return FilePath(path).parent();
}

FilePath Win32Shell::documentsDirectory() {
    wchar_t* found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &found);
    const UniqueHandle<wchar_t, CoTaskMemFree> path(found);
    if (FAILED(result) || !path) {
        return {};
    }
    return FilePath(std::wstring(path.get()));
}

bool Win32Shell::canWriteIn(const FilePath& directory) {
    return DirectoryAcceptsNewFiles(directory);
}

ShellResult Win32Shell::writeReport(const FilePath& path, const std::string& text) {
    return ReplaceFileContents(path, reportBytes(text));
}

std::string Win32Shell::upperCase(const std::string& text) {
    // Windows' own Unicode case mapping (the invariant culture's).
    std::wstring wide = Utf8ToWide(text);
    if (!wide.empty()) {
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    return WideToUtf8(wide);
}

std::string Win32Shell::reportBytes(const std::string& text) {
    return Utf8ToAnsi(text);
}

ShellResult Win32Shell::openInTextEditor(const FilePath& path) {
    const std::wstring windows = WindowsDirectory();
    return StartProcess(NotepadPath(windows), NotepadCommandLine(windows, path.native()),
                        kShowNormal);
}

ShellResult Win32Shell::openInBrowser(const std::string& url) {
    return StartProcess(kBrowserPath, BrowserCommandLine(Utf8ToWide(url)), kShowMaximized);
}

} // namespace vexor::win32
