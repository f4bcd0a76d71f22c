// Reads any datagram as a NetBIOS and as an mDNS answer. The transaction id is
// taken from the datagram itself so that the readers go past the header.
#include "platform/posix/NameQueryPackets.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::span<const std::uint8_t> datagram(data, size);
    const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : 0;
    const auto netbios = ParseNetbiosAnswer(datagram, id, "FRED");
    // Every address comes out of an entry of six bytes inside the datagram.
    if (netbios && netbios->size() > size / 6) {
        std::abort();
    }
    if (ParseNetbiosAnswer(datagram, id, "FRED") != netbios) {
        std::abort();
    }
    const auto mdns = ParseMdnsAnswer(datagram, id, "alfa.local");
    if (mdns) {
        // An answer has at least one address, each once.
        auto sorted = *mdns;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty() || std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end() ||
            sorted.size() > size / 4) {
            std::abort();
        }
    }
    return 0;
}
