// The sweep of the local subnets and the names of what it finds, with no other
// source: one refresh's worth through the merged neighbourhood, then each line
// as the walk and its address pass make it. Prints the lines and the seconds.
#include "FakeWindow.h"
#include "discovery/AddressNamer.h"
#include "discovery/SweepSource.h"
#include "network/modNetwork.h"
#include "platform/posix/NetlinkNeighbours.h"
#include "platform/posix/PosixDatagram.h"
#include "platform/posix/PosixInterfaces.h"
#include "platform/posix/PosixSockets.h"
#include "platform/posix/ResolvConf.h"
#include "resolver/clsIPHostResolver.h"

#include <chrono>
#include <cstdio>

int main() {
    using namespace vexor;
    const auto start = std::chrono::steady_clock::now();
    const auto names = std::make_shared<PosixNameResolver>();
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, {}, {}, {}};
    std::vector<std::shared_ptr<INeighbourhoodSource>> sources{std::make_shared<SweepSource>(
        seams, NeighbourSeams{LocalInterfaces, ReadNetlinkNeighbours}, NetbiosCodePage())};
    MergedNetwork network(
        "Rede", std::move(sources), names->learntShared(), {}, MergedNetwork::kRefreshDeadline,
        AddressNaming{std::make_shared<AddressNamer>(seams, ResolvConfServers, NetbiosCodePage()),
                      LocalInterfaceAddresses});
    fakes::FakeListBox list;
    ListNetworkMachines(network, list);
    PosixSockets sockets(names);
    clsIPHostResolver resolver(sockets);
    for (const auto& name : list.lines) {
        std::printf("%s %s\n", name.c_str(), resolver.NameToAddress(name).c_str());
    }
    std::printf("seconds=%.3f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
