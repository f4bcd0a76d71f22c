#include "PosixShell.h"

#include "XdgUserDirs.h"
#include "base/FileReplace.h"
#include "base/Utf8Text.h"
#include "seams/Utf8Codec.h"

#include <locale.h>
#include <wctype.h>

#include <chrono>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vexor {
namespace {

// How long the opener is given to say that it failed.
constexpr std::chrono::milliseconds kOpenerWait{1500};

} // namespace

FilePath PosixShell::programDirectory() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : program.parent_path();
}

FilePath PosixShell::documentsDirectory() {
    return UserDocumentsDirectory();
}

bool PosixShell::canWriteIn(const FilePath& directory) {
    return DirectoryAcceptsNewFiles(directory);
}

ShellResult PosixShell::writeReport(const FilePath& path, const std::string& text) {
    return ReplaceFileContents(path, text);
}

std::string PosixShell::upperCase(const std::string& text) {
    // The C library's Unicode case mapping in a UTF-8 locale of its own,
    // whatever the process's locale is. Bytes that are not valid UTF-8 pass
    // through one by one.
    static const locale_t utf8 =
        newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 == static_cast<locale_t>(nullptr)) {
        return Utf8ToUpper(text);
    }
    std::string upper;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        const auto code = NextFromUtf8(text, at);
        if (!code) {
            upper += text[start];
            continue;
        }
        // A mapping to another length in bytes is taken as it is.
        AppendUtf8(upper, static_cast<char32_t>(towupper_l(static_cast<wint_t>(*code), utf8)));
    }
    return upper;
}

ShellResult PosixShell::openInTextEditor(const FilePath& path) {
    return StartDetached({"xdg-open", path.native()});
}

ShellResult PosixShell::openInBrowser(const std::string& url) {
    return StartDetached({"xdg-open", url});
}

ShellResult StartDetached(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        return ShellResult{error, std::strerror(error)};
    }
    // The desktop's opener hands the file or page over and exits at once; one
    // that exits with a failure found no program for it. Waited for a short
    // while only: still running after that counts as started.
    const auto deadline = std::chrono::steady_clock::now() + kOpenerWait;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
                return ShellResult{WEXITSTATUS(status), arguments[0] + " terminou com o código " +
                                                            std::to_string(WEXITSTATUS(status))};
            }
            if (WIFSIGNALED(status)) {
                return ShellResult{128 + WTERMSIG(status), arguments[0] + " foi interrompido"};
            }
            return {};
        }
        if (done < 0) {
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Something must still collect the exit status so that no zombie stays behind.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return {};
}

} // namespace vexor
