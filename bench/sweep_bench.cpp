// The sweep of the local subnets and the names of what it finds, with no other
// source: one refresh's worth through the merged neighbourhood, then each line
// as the walk and its address pass make it. Prints the lines and the seconds.
#include "FakeWindow.h"
#include "app/LinuxNetwork.h"
#include "backends/posix/NetlinkNeighbours.h"
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"
#include "backends/posix/PosixSockets.h"
#include "backends/posix/ResolvConf.h"
#include "core/discovery/AddressNamer.h"
#include "core/discovery/SweepSource.h"
#include "core/network/modNetwork.h"
#include "core/resolver/clsIPHostResolver.h"

#include <chrono>
#include <cstdio>

int main() {
    using namespace vexor;
    const auto start = std::chrono::steady_clock::now();
    const auto names = MakeLinuxNames();
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, {}, {}, {}};
    std::vector<std::shared_ptr<INeighbourhoodSource>> sources{std::make_shared<SweepSource>(
        seams, NeighbourSeams{LocalInterfaces, ReadNetlinkNeighbours}, NetbiosCodePage())};
    MergedNetwork network(
        "Rede", std::move(sources), names->learnt(), {}, MergedNetwork::kRefreshDeadline,
        AddressNaming{std::make_shared<AddressNamer>(seams, ResolvConfServers, NetbiosCodePage()),
                      LocalInterfaceAddresses});
    fakes::FakeListBox list;
    ListNetworkMachines(network, list);
    PosixSockets sockets(names);
    clsIPHostResolver resolver(sockets);
    for (const auto& name : list.lines()) {
        std::printf("%s %s\n", name.c_str(), resolver.NameToAddress(name).c_str());
    }
    std::printf("seconds=%.3f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
