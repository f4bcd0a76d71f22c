// Asks the local link for one name as the resolver's last step does, and prints
// the answer and the milliseconds it took.
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"
#include "core/discovery/LinkNameQuery.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_resolve NAME\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto socket = vexor::OpenPosixDatagramSocket();
    if (!socket) {
        std::fprintf(stderr, "no socket\n");
        return 1;
    }
    // The refresh's own bound.
    const auto addresses = vexor::QueryLinkName(
        *socket, vexor::SystemClock(), argv[1], vexor::LinkTargetsOf(vexor::LocalInterfaces()),
        start + std::chrono::milliseconds(1500), vexor::NetbiosCodePage());
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (const auto& a : addresses) {
        std::printf("%u.%u.%u.%u ", a[0], a[1], a[2], a[3]);
    }
    std::printf("ms=%.2f\n", ms);
    return addresses.empty() ? 1 : 0;
}
