#include "PosixShell.h"

#include "platform/FileReplace.h"

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vexor {

std::filesystem::path PosixShell::programDirectory() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : program.parent_path();
}

ShellResult PosixShell::writeReport(const std::filesystem::path& path, const std::string& text) {
    return ReplaceFileContents(path, text);
}

ShellResult PosixShell::openInTextEditor(const std::filesystem::path& path) {
    return StartDetached({"xdg-open", path.string()});
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
    // The program does not wait for what it started, but something must collect
    // the child's exit status so that no zombie stays behind.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return {};
}

} // namespace vexor
