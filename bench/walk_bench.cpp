// One walk of the network neighbourhood plus a lookup of every machine found,
// as a refresh makes them; prints the machines and the seconds taken.
#include "FakeWindow.h"
#include "app/LinuxNetwork.h"
#include "backends/posix/PosixSockets.h"
#include "core/network/modNetwork.h"
#include "core/resolver/clsIPHostResolver.h"

#include <chrono>
#include <cstdio>

int main() {
    using namespace vexor;
    const auto start = std::chrono::steady_clock::now();
    const auto names = MakeLinuxNames();
    const auto network = MakeLinuxNetwork(names);
    fakes::FakeListBox list;
    ListNetworkMachines(*network, list);
    PosixSockets sockets(names);
    clsIPHostResolver resolver(sockets);
    for (const auto& name : list.lines()) {
        std::printf("%s %s\n", name.c_str(), resolver.NameToAddress(name).c_str());
    }
    std::printf("seconds=%.3f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
