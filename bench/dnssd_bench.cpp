// The DNS-SD source alone, as the program runs it on Linux: through
// avahi-daemon, or by its own mDNS queries when told `--itself` (or when no
// daemon answers). Prints each host found, each withdrawn, and the milliseconds taken.
#include "app/LinuxDnsSdSource.h"
#include "backends/posix/CurlHttp.h"
#include "backends/posix/LibXml2Reader.h"
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

int main(int argc, char** argv) {
    using namespace vexor;
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost,
                               NewLibXml2Reader, CurlGet};
    std::mutex mutex;
    auto line = [&](const char* mark, const FoundMachine& machine) {
        const std::lock_guard lock(mutex);
        const Ipv4& a = machine.address;
        std::printf("%s%s %u.%u.%u.%u\n", mark, machine.name.c_str(), a[0], a[1], a[2], a[3]);
    };
    // A host withdrawn after a goodbye is printed again, marked.
    const FoundSink print{[&](FoundMachine machine) { line("", machine); },
                          [&](FoundMachine machine) { line("- ", machine); }};
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(1500);
    if (argc > 1 && std::strcmp(argv[1], "--itself") == 0) {
        DnsSdBrowserSource(seams).Find(print, deadline);
    } else {
        LinuxDnsSdSource(seams).Find(print, deadline);
    }
    std::printf("ms=%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    return 0;
}
