#include "FakeClock.h"
#include "FakeShell.h"
#include "FakeWindow.h"
#include "NamespaceRunner.h"
#include "app/LinuxNetwork.h"
#include "backends/posix/PosixShell.h"
#include "backends/posix/PosixSockets.h"
#include "backends/posix/SmbNetwork.h"
#include "backends/posix/XdgUserDirs.h"
#include "contracts/BackendContracts.h"
#include "core/network/modNetwork.h"
#include "core/resolver/AddressText.h"
#include "core/resolver/clsIPHostResolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <optional>
#include <thread>
#include <unistd.h>

namespace vexor {
namespace {

std::string LocalHostAddresses() {
    PosixSockets sockets;
    char name[256] = {};
    if (sockets.hostName(name, sizeof name) != 0) {
        return "hostName failed";
    }
    const HostEnt* found = sockets.hostByName(name);
    if (found == nullptr) {
        return "not found";
    }
    std::string joined;
    for (const auto& address : HostAddresses(*found)) {
        joined += address + " ";
    }
    return joined;
}

TEST(PosixSockets, LocalHostNameGivesTheUpInterfacesInOrder) {
    const struct {
        const char* name;
        std::string setUp;
        std::string expected;
    } cases[] = {
        {"three addresses on one interface",
         "ip link add vx0 type veth peer name vy0 && ip addr add 192.0.2.10/24 dev vx0 && "
         "ip addr add 198.51.100.20/24 dev vx0 && ip addr add 203.0.113.30/24 dev vx0 && "
         "ip link set vx0 up",
         "192.0.2.10 198.51.100.20 203.0.113.30 "},
        {"an interface that is down is left out",
         "ip link add vx0 type veth peer name vy0 && ip addr add 192.0.2.10/24 dev vx0 && ip link "
         "set vx0 up "
         "&& ip link add vx1 type veth peer name vy1 && ip addr add 198.51.100.9/24 dev vx1",
         "192.0.2.10 "},
        {"loopback alone when nothing else is up", "", "127.0.0.1 "},
    };
    for (const auto& c : cases) {
        const auto output = testing::RunInNetworkNamespace(c.setUp, LocalHostAddresses);
        if (!output) {
            GTEST_SKIP() << "network namespaces are not permitted here; run as root to test "
                            "the local addresses";
        }
        EXPECT_EQ(*output, c.expected) << c.name;
    }
}

TEST(PosixSockets, KeepsTheSocketsContract) {
    PosixSockets sockets;
    contracts::ExpectStartupAndCleanup(sockets);
    contracts::ExpectNameLookups(sockets);
    EXPECT_EQ(clsIPHostResolver(sockets).NameToAddress(""), "");
    // Winsock's own figure for the sockets a 1.1 library supports.
    SocketsStartupRecord record;
    ASSERT_EQ(sockets.startup(0x0101, record), 0);
    EXPECT_EQ(record.iMaxSockets, 32767);
}

TEST(PosixSockets, AnswersTheRefreshsNames) {
    contracts::ExpectRefreshNamesAnswered(
        [](std::shared_ptr<IRefreshNames> names) -> std::unique_ptr<ISocketsLibrary> {
            return std::make_unique<PosixSockets>(std::move(names));
        });
}

TEST(LinuxNetwork, WalkWithoutANetworkEndsWithAnEmptyList) {
    const auto output = testing::RunInNetworkNamespace("", [] {
        // On a thread of its own, so that a walk that hangs fails the test
        // rather than holding it; the namespace's process ends without it.
        const auto walked = std::make_shared<std::promise<std::string>>();
        auto outcome = walked->get_future();
        std::thread([walked] {
            const auto network = MakeLinuxNetwork(MakeLinuxNames());
            fakes::FakeListBox list;
            const bool result = ListNetworkMachines(*network, list);
            walked->set_value(std::string(result ? "true" : "false") + " " +
                              std::to_string(list.lines().size()));
        }).detach();
        return outcome.wait_for(std::chrono::seconds(30)) == std::future_status::ready
                   ? outcome.get()
                   : std::string("hangs");
    });
    if (!output) {
        GTEST_SKIP() << "network namespaces are not permitted here";
    }
    EXPECT_EQ(*output, "true 0");
}

// Opening the root runs every discovery source: only inside an empty namespace.
std::string RootAndItsErrors() {
    const auto network = MakeLinuxNetwork(MakeLinuxNames());
    std::string out;
    NetEnumHandle handle = nullptr;
    out += std::to_string(network->openEnum(net::kScopeGlobalNet, 0, 0, nullptr, &handle)) + " ";
    alignas(NetResource) std::byte buffer[1024];
    std::int32_t count = -1;
    std::uint32_t size = sizeof buffer;
    out += std::to_string(network->enumResource(handle, &count, buffer, &size)) + " ";
    NetResource provider;
    std::memcpy(&provider, buffer, sizeof provider);
    out += std::to_string(count) + " " + std::to_string(provider.dwDisplayType) + " " +
           provider.lpRemoteName + " ";
    count = -1;
    out += std::to_string(network->enumResource(handle, &count, buffer, &size)) + " ";
    out += std::to_string(network->closeEnum(handle)) + " ";
    out += std::to_string(network->closeEnum(handle)) + " ";
    NetResource share{};
    share.dwDisplayType = net::kDisplayShare;
    share.lpRemoteName = const_cast<char*>("\\\\X\\y");
    out += std::to_string(network->openEnum(net::kScopeGlobalNet, 0, 0, &share, &handle));
    return out;
}

TEST(LinuxNetwork, RootListsOneProvider) {
    const auto output = testing::RunInNetworkNamespace("", RootAndItsErrors);
    if (!output) {
        GTEST_SKIP() << "network namespaces are not permitted here";
    }
    EXPECT_EQ(*output, "0 0 1 6 Rede Microsoft Windows 259 0 6 1207");
}

TEST(SmbBrowser, WorkgroupNamesCannotNameAnotherHostInAUrl) {
    EXPECT_EQ(SmbUrlSegment("CLASSICO"), "CLASSICO");
    for (const char* name : {"x@10.1.2.3:4455", "a/b", "g%41", "w?x#y", "sp ace"}) {
        const std::string segment = SmbUrlSegment(name);
        EXPECT_EQ(segment.find_first_of("@:/?# "), std::string::npos) << name << " -> " << segment;
        EXPECT_FALSE(segment.empty()) << name;
    }
}

TEST(PosixShell, UpperCaseFollowsUnicodeAndPassesBadBytesThrough) {
    PosixShell shell;
    contracts::ExpectUnicodeUpperCase(shell);
    EXPECT_EQ(shell.upperCase("x\xC3"
                              "a\xFF"),
              "X\xC3"
              "A\xFF");
}

TEST(PosixShell, StartsProgramsAndReportsTheErrorOfOneThatCannotStart) {
    EXPECT_TRUE(StartDetached({"true"}).ok());
    // An opener that finds no browser or editor exits with a failure: its status
    // is the error; one still running after a short while counts as started.
    const struct {
        std::vector<std::string> arguments;
        int error;
    } exits[] = {{{"false"}, 1}, {{"sh", "-c", "exit 3"}, 3}, {{"sleep", "5"}, 0}};
    for (const auto& c : exits) {
        fakes::FakeClock clock;
        auto started =
            std::async(std::launch::async, [&] { return StartDetached(c.arguments, clock).error; });
        const auto ended = [&] {
            return started.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        };
        // A program that exits is told at once; one still running, once the
        // clock has moved past the wait and no earlier.
        if (c.error == 0) {
            ASSERT_TRUE(clock.AwaitWaiters(1, ended)) << c.arguments[0];
            clock.Advance(kOpenerWait - std::chrono::milliseconds(1));
            ASSERT_TRUE(clock.AwaitWaiters(1, ended)) << c.arguments[0];
            EXPECT_FALSE(ended()) << c.arguments[0];
            clock.Advance(std::chrono::milliseconds(1));
        }
        if (started.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << c.arguments[0] << " is waited for past its exit";
            clock.Advance(std::chrono::hours(1));
        }
        EXPECT_EQ(started.get(), c.error) << c.arguments[0];
    }
    const ShellResult missing = StartDetached({"programa-que-nao-existe-vexor"});
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(missing.reason.empty());

    PosixShell shell;
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(shell.programDirectory(), std::filesystem::path(self).parent_path());
}

TEST(PosixShell, DocumentsFolderAsXdgUserDirNamesIt) {
    const struct {
        const char* contents;
        const char* expected;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Mesa\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n",
         "/home/ana/Documentos"},
        {"# comentário\n  XDG_DOCUMENTS_DIR = \"$HOME/Meus Documentos/\"\r\n",
         "/home/ana/Meus Documentos"},
        {"XDG_DOCUMENTS_DIR=\"/srv/documentos\"\n", "/srv/documentos"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/a\\\"b\"\n", "/home/ana/a\"b"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/um\"\nXDG_DOCUMENTS_DIR=\"$HOME/dois\"\n", "/home/ana/dois"},
        // Turned off, missing, unquoted or relative: none.
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", ""},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", ""},
        {"XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", ""},
        {"XDG_DOCUMENTS_DIR=$HOME/Documentos\n", ""},
        {"XDG_DOCUMENTS_DIR=\"Documentos\"\n", ""},
        {"XDG_DOCUMENTS_DIRX=\"$HOME/x\"\n", ""},
        {"XDG_DOCUMENTS_DIR=\"$HOMEX/y\"\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentsFromUserDirs(c.contents, "/home/ana").string(), c.expected)
            << c.contents;
    }

    // The real lookup: a named folder that exists, else the home folder.
    fakes::FakeShell scratch;
    const auto home = scratch.directory;
    std::filesystem::create_directories(home / ".config");
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr ? std::optional<std::string>() : std::string(value);
    };
    const auto savedHome = saved("HOME");
    const auto savedConfig = saved("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    {
        std::ofstream dirs(home / ".config" / "user-dirs.dirs");
        dirs << "XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n";
    }
    PosixShell shell;
    EXPECT_EQ(shell.documentsDirectory(), home) << "the named folder does not exist yet";
    std::filesystem::create_directories(home / "Documentos");
    EXPECT_EQ(shell.documentsDirectory(), home / "Documentos");
    setenv("XDG_CONFIG_HOME", (home / "outra").c_str(), 1);
    EXPECT_EQ(shell.documentsDirectory(), home);
    for (const auto& [name, value] :
         {std::pair{"HOME", savedHome}, {"XDG_CONFIG_HOME", savedConfig}}) {
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

    EXPECT_TRUE(shell.canWriteIn(home));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home),
                            std::filesystem::directory_iterator()),
              2)
        << "the trial file was left behind";
    EXPECT_FALSE(shell.canWriteIn(home / "pasta-que-nao-existe"));
    EXPECT_FALSE(shell.canWriteIn(FilePath(std::string("/proc"))));
    EXPECT_FALSE(shell.canWriteIn(home / ".config" / "user-dirs.dirs"));
}

} // namespace
} // namespace vexor
