// Runs as the client machine CLIENTE of the Samba network that
// samba_network.sh brings up (see tests/CMakeLists.txt).
#include "FakeShell.h"
#include "FakeWindow.h"
#include "app/LinuxNetwork.h"
#include "backends/posix/PosixSockets.h"
#include "core/main_window/frmPrincipal.h"
#include "core/network/modNetwork.h"
#include "core/resolver/clsIPHostResolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vexor {
namespace {

using Lines = std::vector<std::string>;

// Workgroups in name order, each with its servers in name order, as the browse
// masters list them.
const Lines kServers{"ALFA", "BETA", "GAMA", "DELTA", "EPSILON"};
const Lines kAddresses{"10.211.73.11", "10.211.73.12", "10.211.73.13", "10.211.73.21",
                       "10.211.73.22"};

std::string Line(const std::string& name, const std::string& address) {
    return name + std::string(20 - name.size(), ' ') + address;
}

TEST(SambaNetwork, WalkListsEveryServerDepthFirst) {
    const auto network = MakeLinuxNetwork(MakeLinuxNames());
    fakes::FakeListBox list;
    EXPECT_TRUE(ListNetworkMachines(*network, list));
    EXPECT_EQ(list.lines(), kServers);
}

TEST(SambaNetwork, ServerNamesResolveToTheirAddresses) {
    PosixSockets sockets(MakeLinuxNames());
    clsIPHostResolver resolver(sockets);
    for (std::size_t i = 0; i < kServers.size(); ++i) {
        EXPECT_EQ(resolver.NameToAddress(kServers[i]), kAddresses[i]) << kServers[i];
    }
    EXPECT_EQ(resolver.NameToAddress("NINGUEM"), "");
}

// A listed server opens from what the browse list said: nothing is asked of it,
// so one that refuses SMB1, or drops every connection, costs nothing.
TEST(SambaNetwork, ListedServersOpenFromMemoryWithNothingInThem) {
    const auto network = MakeLinuxNetwork(MakeLinuxNames());
    fakes::FakeListBox list;
    ASSERT_TRUE(ListNetworkMachines(*network, list));
    NetResource server{};
    server.dwDisplayType = net::kDisplayServer;
    server.lpRemoteName = const_cast<char*>("\\\\GAMA");
    const auto start = std::chrono::steady_clock::now();
    NetEnumHandle handle = nullptr;
    ASSERT_EQ(network->openEnum(net::kScopeGlobalNet, 0, 0, &server, &handle), net::kNoError);
    alignas(NetResource) std::byte buffer[4096];
    std::int32_t count = -1;
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(network->enumResource(handle, &count, buffer, &size), net::kErrorNoMoreItems);
    network->closeEnum(handle);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    server.lpRemoteName = const_cast<char*>("\\\\NAO-LISTADO");
    EXPECT_EQ(network->openEnum(net::kScopeGlobalNet, 0, 0, &server, &handle),
              net::kErrorBadNetPath);
}

// One refresh as the program makes it, with a resolver of its own shared by the
// walk and the address pass; the window's lists and the time it took.
struct Refreshed {
    std::string name;
    Lines local;
    Lines network;
    std::size_t messages = 0;
    std::chrono::steady_clock::duration took{};
};

// The program as it runs from start to exit: one network for every refresh.
struct Client {
    std::shared_ptr<NameChain> resolver = MakeLinuxNames();
    PosixSockets sockets{resolver};
    std::unique_ptr<MergedNetwork> network = MakeLinuxNetwork(resolver);

    // Waits, a bounded while, for every source left behind to end.
    bool Settled() const {
        for (int i = 0; i < 600 && network->SourcesOverrunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return !network->SourcesOverrunning();
    }
};

Refreshed Refresh(Client& client) {
    fakes::FakeShell shell;
    fakes::FakeToolkit toolkit;
    fakes::FakeTextBox txtIPS;
    fakes::FakeListBox lstIPS;
    fakes::FakeListBox lstIPRede;
    fakes::FakeLabel rtlIPRede;
    frmPrincipal form(PlatformServices{client.sockets, *client.network, shell, toolkit},
                      FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede});
    const auto start = std::chrono::steady_clock::now();
    form.btnAtualizar_Click();
    return {txtIPS.value, lstIPS.lines(), lstIPRede.lines(), toolkit.messages.size(),
            std::chrono::steady_clock::now() - start};
}

Refreshed Refresh() {
    Client client;
    return Refresh(client);
}

Lines ExpectedLines(const std::vector<std::string>& unreachable = {}) {
    Lines expected;
    for (std::size_t i = 0; i < kServers.size(); ++i) {
        const bool gone =
            std::find(unreachable.begin(), unreachable.end(), kServers[i]) != unreachable.end();
        expected.push_back(Line(kServers[i], gone ? "" : kAddresses[i]));
    }
    return expected;
}

TEST(SambaNetwork, RefreshListsTheClientAndEveryServerWithItsAddress) {
    const Refreshed refreshed = Refresh();
    EXPECT_EQ(refreshed.messages, 0u);
    EXPECT_EQ(refreshed.name, "CLIENTE");
    EXPECT_EQ(refreshed.local, Lines{"10.211.73.100"});
    EXPECT_EQ(refreshed.network, ExpectedLines());
}

// Run by run_walk_tests.sh decoy: ZETA is the browse master of a workgroup
// named 10.211.73.50, the address of a listener that logs every connection.
// libsmbclient, asked for that workgroup, would connect to that address.
TEST(SambaNetworkDecoy, NoConnectionGoesToTheAddressAWorkgroupNameSpells) {
    const char* log = std::getenv("VEXOR_LISTENER_LOG");
    if (log == nullptr) {
        GTEST_SKIP() << "run by run_walk_tests.sh decoy, which names the listener's log";
    }
    Client client;
    const Refreshed first = Refresh(client);
    Refresh(client);
    // Whatever the browse does after the refreshes is counted too.
    ASSERT_TRUE(client.Settled());
    // The sweep lists both live machines: ZETA under the workgroup its node
    // status names, the listener by its address.
    Lines expected = ExpectedLines();
    expected.insert(expected.begin(), Line("ZETA", "10.211.73.31"));
    expected.push_back(Line("10.211.73.50", "10.211.73.50"));
    EXPECT_EQ(first.network, expected);
    std::string connections;
    if (std::FILE* file = std::fopen(log, "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            connections += line;
        }
        std::fclose(file);
    }
    EXPECT_EQ(connections.find("10.211.73.100 "), std::string::npos) << connections;
}

// Run by run_walk_tests.sh silent: DELTA, GRUPOB's browse master, stops
// answering SMB between two refreshes while its name service still answers,
// so listing GRUPOB waits out libsmbclient's time-out. The refreshes end in
// their time and still list GRUPOB, from the last complete browse list, and a
// refresh while that listing still waits lists the browse list too.
TEST(SambaNetworkSilent, ASilentBrowseMasterCostsNothingPastTheDeadline) {
    const char* silence = std::getenv("VEXOR_SILENCE");
    const char* resume = std::getenv("VEXOR_UNSILENCE");
    if (silence == nullptr || resume == nullptr) {
        GTEST_SKIP() << "run by run_walk_tests.sh silent, which silences the master";
    }
    Client client;
    Refresh(client);
    ASSERT_TRUE(client.Settled());
    const Refreshed before = Refresh(client);
    EXPECT_EQ(before.network, ExpectedLines());
    ASSERT_TRUE(client.Settled());
    ASSERT_EQ(std::system(silence), 0);
    const Refreshed first = Refresh(client);
    const Refreshed second = Refresh(client);
    EXPECT_EQ(std::system(resume), 0);
    EXPECT_EQ(first.network, ExpectedLines());
    EXPECT_EQ(second.network, ExpectedLines());
    std::printf("refreshes with a silent browse master: %.3f s, %.3f s\n",
                std::chrono::duration<double>(first.took).count(),
                std::chrono::duration<double>(second.took).count());
    EXPECT_LE(first.took, std::chrono::milliseconds(2500));
    EXPECT_LE(second.took, std::chrono::milliseconds(2500));
    EXPECT_TRUE(client.Settled());
}

// Two servers taken off the network after the browse masters listed them: they
// stay listed with no address, and since their names are resolved side by side
// the refresh waits about one time-out for both.
TEST(SambaNetworkStale, ServersOffTheNetworkCostAtMostOneTimeOut) {
    const char* down = std::getenv("VEXOR_LINKS_DOWN");
    const char* up = std::getenv("VEXOR_LINKS_UP");
    if (down == nullptr || up == nullptr) {
        GTEST_SKIP() << "run by run_walk_tests.sh stale, which takes the links down";
    }
    // The first listing after the network came up finds its browse masters
    // slowly; the refresh compared against is a later one.
    Refresh();
    const Refreshed before = Refresh();
    EXPECT_EQ(before.network, ExpectedLines());
    ASSERT_EQ(std::system(down), 0);
    const Refreshed after = Refresh();
    EXPECT_EQ(std::system(up), 0);
    // Their neighbour entries were confirmed moments ago, so the sweep still
    // counts the two machines as on the link, by their addresses.
    Lines expected = ExpectedLines({"BETA", "EPSILON"});
    expected.push_back(Line("10.211.73.12", "10.211.73.12"));
    expected.push_back(Line("10.211.73.22", "10.211.73.22"));
    EXPECT_EQ(after.network, expected);
    const auto extra = after.took - before.took;
    std::printf("refresh with every server up: %.3f s; with two down: %.3f s\n",
                std::chrono::duration<double>(before.took).count(),
                std::chrono::duration<double>(after.took).count());
    EXPECT_LE(extra, std::chrono::milliseconds(1500));
}

// As the client of the modern network (modern_network.sh): no browse list but
// one classic workgroup; the rest found by WS-Discovery and DNS-SD.
TEST(ModernNetwork, RefreshListsEveryMachineOnceInOrderWithinItsBound) {
    const Lines expected{Line("APOLO", "10.211.74.11"),   Line("zeus", "10.211.74.14"),
                         Line("ATENA", "10.211.74.12"),   Line("DEMETER", "10.211.74.15"),
                         Line("HERMES", "10.211.74.13"),  Line("estacao", "10.211.74.22"),
                         Line("macbook", "10.211.74.23"), Line("nas-sala", "10.211.74.21")};
    // The first listing after the network came up finds its browse master slowly.
    Refresh();
    const Refreshed refreshed = Refresh();
    EXPECT_EQ(refreshed.name, "CLIENTE");
    EXPECT_EQ(refreshed.local, Lines{"10.211.74.100"});
    EXPECT_EQ(refreshed.network, expected);
    std::printf("refresh on the modern network: %.3f s\n",
                std::chrono::duration<double>(refreshed.took).count());
    // What the refresh needed was loaded for it, not at start-up.
    std::string maps;
    if (std::FILE* file = std::fopen("/proc/self/maps", "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            maps += line;
        }
        std::fclose(file);
    }
    for (const char* library :
         {"libcurl.so", "libxml2.so", "libavahi-client.so", "libsmbclient.so"}) {
        EXPECT_NE(maps.find(library), std::string::npos) << library << " was not loaded";
    }
    EXPECT_LE(refreshed.took, std::chrono::milliseconds(1500));
}

// Run after the daemons of EPSILON were killed: the browse master still lists
// it, but its name no longer resolves and it cannot be opened. Its machine
// still answers ARP, so the sweep lists it once more by its address, with the
// machines of no workgroup: nothing tells that address the name EPSILON.
TEST(SambaNetworkStopped, ServerThatStoppedIsListedWithoutAddress) {
    PosixSockets sockets(MakeLinuxNames());
    const auto network = MakeLinuxNetwork(MakeLinuxNames());
    fakes::FakeListBox list;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ListNetworkMachines(*network, list));
    Lines expected = kServers;
    expected.push_back("10.211.73.22");
    EXPECT_EQ(list.lines(), expected);

    clsIPHostResolver resolver(sockets);
    EXPECT_EQ(resolver.NameToAddress("EPSILON"), "");
    EXPECT_EQ(resolver.NameToAddress("DELTA"), "10.211.73.21");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace
} // namespace vexor
