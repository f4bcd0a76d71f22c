// Runs as the client machine CLIENTE of the Samba network that
// samba_network.sh brings up (see tests/CMakeLists.txt).
#include "FakeShell.h"
#include "FakeWindow.h"
#include "main_window/frmPrincipal.h"
#include "network/modNetwork.h"
#include "platform/posix/PosixSockets.h"
#include "platform/posix/SmbNetwork.h"
#include "resolver/clsIPHostResolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

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
    SmbNetwork network;
    fakes::FakeListBox list;
    EXPECT_TRUE(ListNetworkMachines(network, list));
    EXPECT_EQ(list.lines, kServers);
}

TEST(SambaNetwork, ServerNamesResolveToTheirAddresses) {
    PosixSockets sockets;
    clsIPHostResolver resolver(sockets);
    for (std::size_t i = 0; i < kServers.size(); ++i) {
        EXPECT_EQ(resolver.NameToAddress(kServers[i]), kAddresses[i]) << kServers[i];
    }
    EXPECT_EQ(resolver.NameToAddress("NINGUEM"), "");
}

TEST(SambaNetwork, SharesOfAServerThatRefusesSmb1AreRead) {
    SmbNetwork network;
    NetResource server{};
    server.dwDisplayType = net::kDisplayServer;
    server.lpRemoteName = const_cast<char*>("\\\\GAMA");
    NetEnumHandle handle = nullptr;
    ASSERT_EQ(network.openEnum(net::kScopeGlobalNet, 0, 0, &server, &handle), net::kNoError);
    alignas(NetResource) std::byte buffer[4096];
    std::int32_t count = -1;
    std::uint32_t size = sizeof buffer;
    ASSERT_EQ(network.enumResource(handle, &count, buffer, &size), net::kNoError);
    Lines shares;
    for (std::int32_t i = 0; i < count; ++i) {
        NetResource share;
        std::memcpy(&share, buffer + i * sizeof share, sizeof share);
        EXPECT_EQ(share.dwDisplayType, net::kDisplayShare);
        shares.emplace_back(share.lpRemoteName);
    }
    EXPECT_NE(std::find(shares.begin(), shares.end(), "\\\\GAMA\\publico"), shares.end());
    network.closeEnum(handle);
}

TEST(SambaNetwork, RefreshListsTheClientAndEveryServerWithItsAddress) {
    PosixSockets sockets;
    SmbNetwork network;
    fakes::FakeShell shell;
    fakes::FakeToolkit toolkit;
    fakes::FakeTextBox txtIPS;
    fakes::FakeListBox lstIPS;
    fakes::FakeListBox lstIPRede;
    fakes::FakeLabel rtlIPRede;
    frmPrincipal form(PlatformServices{sockets, network, shell, toolkit},
                      FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede});
    form.btnAtualizar_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(txtIPS.value, "CLIENTE");
    EXPECT_EQ(lstIPS.lines, Lines{"10.211.73.100"});
    Lines expected;
    for (std::size_t i = 0; i < kServers.size(); ++i) {
        expected.push_back(Line(kServers[i], kAddresses[i]));
    }
    EXPECT_EQ(lstIPRede.lines, expected);
}

// Run after the daemons of EPSILON were killed: the browse master still lists
// it, but its name no longer resolves and it cannot be opened.
TEST(SambaNetworkStopped, ServerThatStoppedIsListedWithoutAddress) {
    PosixSockets sockets;
    SmbNetwork network;
    fakes::FakeListBox list;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ListNetworkMachines(network, list));
    EXPECT_EQ(list.lines, kServers);

    clsIPHostResolver resolver(sockets);
    EXPECT_EQ(resolver.NameToAddress("EPSILON"), "");
    EXPECT_EQ(resolver.NameToAddress("DELTA"), "10.211.73.21");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace
} // namespace vexor
