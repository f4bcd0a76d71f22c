// Each source of the neighbourhood alone, one after another, as the program
// runs them on Linux: the machines each reports, when it reported the last of
// them, and the milliseconds it took to return.
#include "app/LinuxDnsSdSource.h"
#include "backends/posix/CurlHttp.h"
#include "backends/posix/LibXml2Reader.h"
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"
#include "backends/posix/SmbNetwork.h"
#include "core/discovery/SsdpClient.h"
#include "core/discovery/WsdClient.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

int main() {
    using namespace vexor;
    using Clock = std::chrono::steady_clock;
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost,
                               NewLibXml2Reader, CurlGet};
    const struct {
        const char* name;
        std::shared_ptr<INeighbourhoodSource> source;
    } sources[] = {{"browse list", std::make_shared<SmbBrowser>()},
                   {"WS-Discovery", std::make_shared<WsdSource>(seams)},
                   {"DNS-SD", std::make_shared<LinuxDnsSdSource>(seams)},
                   {"SSDP", std::make_shared<SsdpSource>(seams)}};
    for (const auto& [name, source] : sources) {
        std::atomic<int> found{0};
        std::atomic<long long> last{0};
        const auto start = Clock::now();
        const auto since = [start] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                .count();
        };
        source->Find(
            [&](FoundMachine) {
                ++found;
                last = since();
            },
            start + MergedNetwork::kRefreshDeadline);
        const long long took = since();
        std::printf("%-13s %4d machines, the last at %5lld ms, returned at %5lld ms\n", name,
                    found.load(), last.load(), took);
    }
    return 0;
}
