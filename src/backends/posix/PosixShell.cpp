#include "PosixShell.h"

#include "XdgUserDirs.h"
#include "base/FileReplace.h"
#include "base/Utf8Text.h"
#include "seams/Utf8Codec.h"

#include <locale.h>
#include <wctype.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vexor {
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

ShellResult StartDetached(const std::vector<std::string>& arguments, const IClock& clock) {
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
    // A thread collects the exit status, so that no zombie stays behind
    // however long the program runs; it outlives this call when need be.
    struct Exit {
        std::mutex mutex;
        std::condition_variable ended;
        bool collected = false;
        bool failed = false;
        int status = 0;
    };
    const auto outcome = std::make_shared<Exit>();
    try {
        std::thread([child, outcome] {
            int status = 0;
            const pid_t done = waitpid(child, &status, 0);
            {
                const std::lock_guard lock(outcome->mutex);
                outcome->collected = true;
                outcome->failed = done != child;
                outcome->status = status;
            }
            outcome->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the program started, and is not waited for.
        return {};
    }
    // The desktop's opener hands the file or page over and exits at once; one
    // that exits with a failure found no program for it. Waited for a short
    // while only: still running after that counts as started.
    std::unique_lock lock(outcome->mutex);
    if (!clock.WaitUntil(lock, outcome->ended, clock.Now() + kOpenerWait,
                         [&] { return outcome->collected; }) ||
        outcome->failed) {
        return {};
    }
    if (WIFEXITED(outcome->status) && WEXITSTATUS(outcome->status) != 0) {
        return ShellResult{WEXITSTATUS(outcome->status),
                           arguments[0] + " terminou com o código " +
                               std::to_string(WEXITSTATUS(outcome->status))};
    }
    if (WIFSIGNALED(outcome->status)) {
        return ShellResult{128 + WTERMSIG(outcome->status), arguments[0] + " foi interrompido"};
    }
    return {};
}

} // namespace vexor
