#include "Win32Console.h"

#include "WinText.h"

#include <windows.h>

// shellapi.h needs the types windows.h declares.
#include <shellapi.h>

namespace vexor::win32 {
namespace {

bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    const UniqueHandle<LPWSTR, LocalFree> owned(CommandLineToArgvW(GetCommandLineW(), &count));
    LPWSTR* words = owned.get();
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(words[i]));
    }
    return arguments;
}

ConsoleStreams::ConsoleStreams() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if ((!Usable(output) || !Usable(error)) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        // A GUI program gets no console handles of its own: the parent's console is opened.
        HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (Usable(console)) {
            console_.reset(console);
        }
        output = Usable(output) ? output : console;
        error = Usable(error) ? error : console;
    }
    out_ = HandleOutput(output);
    err_ = HandleOutput(error);
}

ConsoleStreams::~ConsoleStreams() = default;

void ConsoleStreams::ConsolePolicy::Close(void* console) {
    CloseHandle(console);
}

bool ConsoleStreams::HandleOutput::write(std::string_view bytes) {
    if (!Usable(handle_)) {
        return true;
    }
    // A console is given the characters themselves: written as bytes, they
    // would be read in the console's own code page (the OEM one), not in the
    // ANSI code page they are in. Redirected output keeps its bytes.
    if (DWORD mode = 0; GetConsoleMode(handle_, &mode)) {
        const std::wstring text = AnsiToWide(bytes);
        std::size_t shown = 0;
        while (shown < text.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(handle_, text.data() + shown,
                               static_cast<DWORD>(text.size() - shown), &written, nullptr) ||
                written == 0) {
                return false;
            }
            shown += written;
        }
        return true;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace vexor::win32
