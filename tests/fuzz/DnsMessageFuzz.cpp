// Reads any datagram as an mDNS answer for the DNS-SD browser.
#include "discovery/DnsMessage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const auto message = ReadDnsMessage({data, size});
    if (!message) {
        return 0;
    }
    // Every record takes at least 11 bytes of the message, and no name read
    // can be longer than a DNS name.
    if (message->records.size() * 11 > size) {
        std::abort();
    }
    for (const DnsRecord& record : message->records) {
        if (record.name.size() > 255 || record.target.size() > 255) {
            std::abort();
        }
    }
    return 0;
}
