// Asks the link for an accented NetBIOS name and a node for its name table,
// with the system's OEM code page, as the program does; prints what came back.
// usage: oem_name_check BROADCAST NODE
//   prints "address A.B.C.D" (or "address -") and "node NAME GROUP" (or "node -")
#include "base/OemCodePage.h"
#include "core/discovery/LinkNameQuery.h"
#include "core/discovery/NetbiosMessages.h"
#include "core/discovery/QueryEngine.h"

#ifdef _WIN32
#include "backends/win32/WinsockDatagram.h"
#else
#include "backends/posix/PosixDatagram.h"
#endif

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using namespace vexor;
using namespace std::chrono_literals;

std::optional<Ipv4> Parse(const char* text) {
    unsigned parts[4] = {};
    if (std::sscanf(text, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) != 4) {
        return std::nullopt;
    }
    Ipv4 address{};
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i] > 255) {
            return std::nullopt;
        }
        address[i] = static_cast<std::uint8_t>(parts[i]);
    }
    return address;
}

std::unique_ptr<IDatagramSocket> OpenSocket() {
#ifdef _WIN32
    return win32::OpenWinsockDatagramSocket();
#else
    return OpenPosixDatagramSocket();
#endif
}

} // namespace

int main(int argc, char** argv) {
    const auto broadcast = argc == 3 ? Parse(argv[1]) : std::nullopt;
    const auto node = argc == 3 ? Parse(argv[2]) : std::nullopt;
    const auto socket = OpenSocket();
    if (!broadcast || !node || !socket) {
        std::fprintf(stderr, "usage: oem_name_check BROADCAST NODE\n");
        return 2;
    }
    const IClock& clock = SystemClock();
    LinkTargets targets;
    targets.netbios.push_back({{*broadcast, netbios::kPort}, Ipv4{}});
    // Asked in lower case, as a user types it: NetBIOS carries it upper-cased.
    const auto addresses =
        QueryLinkName(*socket, clock, "Recepção", targets, clock.Now() + 1500ms, NetbiosCodePage());
    if (addresses.empty()) {
        std::printf("address -\n");
    } else {
        const Ipv4& a = addresses.front();
        std::printf("address %u.%u.%u.%u\n", a[0], a[1], a[2], a[3]);
    }

    QueryEngine engine(*socket, clock, clock.Now() + 1500ms);
    const std::uint16_t id = NewQueryId();
    std::optional<netbios::NodeStatus> status;
    engine.Ask({netbios::NodeStatusRequest(id),
                {{{*node, netbios::kPort}, Ipv4{}}},
                schedules::kNetbios,
                [&](const Datagram& datagram) {
                    if (datagram.from.address != *node || datagram.from.port != netbios::kPort) {
                        return Reply::NotMine;
                    }
                    status = netbios::ReadNodeStatus(datagram.bytes, id, NetbiosCodePage());
                    return status ? Reply::Settles : Reply::NotMine;
                }});
    engine.Run();
    if (status) {
        std::printf("node %s %s\n", status->Workstation().value_or("-").c_str(),
                    status->Workgroup().value_or("-").c_str());
    } else {
        std::printf("node -\n");
    }
    return 0;
}
