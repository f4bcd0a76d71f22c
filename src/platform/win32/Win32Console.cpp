#include "Win32Console.h"

#include "WinText.h"

#include <windows.h>

// shellapi.h needs the types windows.h declares.
#include <shellapi.h>

namespace vexor::win32 {
namespace {

// Bytes written straight to a handle; a handle that cannot be had takes nothing.
class HandleBuffer : public std::streambuf {
  public:
    explicit HandleBuffer(HANDLE handle) : handle_(handle) {}

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
            return count;
        }
        std::streamsize done = 0;
        while (done < count) {
            DWORD written = 0;
            if (!WriteFile(handle_, bytes + done, static_cast<DWORD>(count - done), &written,
                           nullptr) ||
                written == 0) {
                return done;
            }
            done += written;
        }
        return done;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

  private:
    HANDLE handle_;
};

bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(words[i]));
    }
    if (words != nullptr) {
        LocalFree(words);
    }
    return arguments;
}

ConsoleStreams::ConsoleStreams() : out_(nullptr), err_(nullptr) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if ((!Usable(output) || !Usable(error)) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        // A GUI program gets no console handles of its own: the parent's console is opened.
        HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        output = Usable(output) ? output : console;
        error = Usable(error) ? error : console;
    }
    outBuffer_ = std::make_unique<HandleBuffer>(output);
    errBuffer_ = std::make_unique<HandleBuffer>(error);
    out_.rdbuf(outBuffer_.get());
    err_.rdbuf(errBuffer_.get());
}

ConsoleStreams::~ConsoleStreams() {
    out_.flush();
    err_.flush();
}

} // namespace vexor::win32
