#include "InterfaceAddresses.h"

namespace vexor {

std::vector<Ipv4> MulticastAddresses(const std::vector<LocalInterface>& interfaces) {
    std::vector<Ipv4> addresses;
    for (const LocalInterface& local : interfaces) {
        if (local.up && local.multicast && !local.loopback && local.address[0] != 127) {
            addresses.push_back(local.address);
        }
    }
    return addresses;
}

} // namespace vexor
