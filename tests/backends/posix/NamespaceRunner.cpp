#include "NamespaceRunner.h"

#include <cerrno>
#include <cstdlib>
#include <sched.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vexor::testing {
namespace {

constexpr char kNotPermitted[] = "\x01namespaces not permitted";

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::optional<std::string> RunInNetworkNamespace(const std::string& setUp,
                                                 const std::function<std::string()>& probe) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        // A D-Bus socket is not bound to a network namespace: the system's mDNS
        // daemon, if one runs, must not be asked to browse the real network.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vexor-no-bus", 1);
        if (unshare(CLONE_NEWNET) != 0) {
            WriteAll(pipeFds[1], kNotPermitted);
            _exit(0);
        }
        const std::string commands = "ip link set lo up && " + (setUp.empty() ? "true" : setUp);
        if (std::system(commands.c_str()) != 0) {
            WriteAll(pipeFds[1], "setup failed: " + commands);
            _exit(1);
        }
        WriteAll(pipeFds[1], probe());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (output == kNotPermitted) {
        return std::nullopt;
    }
    return output;
}

} // namespace vexor::testing
