// Each source of the neighbourhood alone, one after another, as the program
// runs them on Linux: the machines each reports and the milliseconds it took.
#include "discovery/WsdClient.h"
#include "platform/posix/AvahiDnsSd.h"
#include "platform/posix/CurlHttp.h"
#include "platform/posix/LibXml2Reader.h"
#include "platform/posix/PosixDatagram.h"
#include "platform/posix/SmbNetwork.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

int main() {
    using namespace vexor;
    using Clock = std::chrono::steady_clock;
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost,
                               NewLibXml2Reader};
    const struct {
        const char* name;
        std::shared_ptr<INeighbourhoodSource> source;
    } sources[] = {{"browse list", std::make_shared<SmbBrowser>()},
                   {"WS-Discovery", std::make_shared<WsdSource>(seams)},
                   {"DNS-SD", std::make_shared<LinuxDnsSdSource>(seams)}};
    for (const auto& [name, source] : sources) {
        std::atomic<int> found{0};
        const auto start = Clock::now();
        source->Find([&](FoundMachine) { ++found; }, start + MergedNetwork::kRefreshDeadline);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        std::printf("%-13s %4d machines in %5lld ms\n", name, found.load(),
                    static_cast<long long>(took));
    }
    return 0;
}
