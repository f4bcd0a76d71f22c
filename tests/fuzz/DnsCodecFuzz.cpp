// Reads any datagram with the one DNS-format codec, as every kind of message
// the program reads: a DNS or mDNS reply, a query, a NetBIOS name query answer
// and a node status. The transaction ID is taken from the datagram itself so
// that the readers go past the header.
#include "base/OemCodePage.h"
#include "core/discovery/DnsCodec.h"
#include "core/discovery/NetbiosMessages.h"

#include <cstdlib>

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::span<const std::uint8_t> datagram(data, size);
    const auto id = dns::PeekId(datagram);
    for (const bool response : {true, false}) {
        for (const bool netbios : {false, true}) {
            const auto message = dns::Read(datagram, {id, response, netbios});
            if (!message) {
                continue;
            }
            Check(message->id == id && message->response() == response);
            // Every record's data lies inside the datagram.
            std::size_t data = 0;
            for (const auto* section :
                 {&message->answers, &message->authority, &message->additional}) {
                for (const dns::Record& record : *section) {
                    data += record.data.size();
                    Check(record.name.size() <= dns::kMaxNameBytes);
                }
            }
            Check(data <= size);
            // What was read writes out again, and reads back to as many records.
            if (const auto written = dns::Write(*message)) {
                const auto again = dns::Read(*written, {id, response, netbios});
                Check(!netbios || (again && again->answers.size() == message->answers.size()));
            }
            (void)dns::AddressesOf(*message, "alfa.local");
        }
    }
    if (id) {
        const auto answer =
            netbios::ReadNameQueryAnswer(datagram, *id, "recepção", netbios::kServer, Cp850());
        Check(!answer || answer->addresses.size() <= size / 6);
        Check(!answer || answer->positive || answer->addresses.empty());
        if (const auto status = netbios::ReadNodeStatus(datagram, *id, Cp850())) {
            Check(status->names.size() <= 255 && status->names.size() * 18 <= size);
            (void)status->Workstation();
            (void)status->Workgroup();
        }
    }
    return 0;
}
