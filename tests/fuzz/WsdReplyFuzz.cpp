// Reads any document as a WS-Discovery reply and as metadata, through libxml2.
#include "backends/posix/LibXml2Reader.h"
#include "core/discovery/WsdMessages.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    const auto reply = ParseWsdReply(NewLibXml2Reader, document);
    if (reply) {
        for (const WsdMatch& match : reply->matches) {
            // Matches with no endpoint are dropped; nothing read can be longer
            // than the document.
            if (match.endpoint.empty() || match.endpoint.size() > size) {
                std::abort();
            }
            // Whatever the XAddrs say, a Get goes only to the sender.
            if (const auto xaddr = UsableXaddr(match.xaddrs, {10, 0, 0, 1});
                xaddr && xaddr->rfind("http://10.0.0.1", 0) != 0) {
                std::abort();
            }
        }
    }
    if (const auto computer = ParseMetadataComputer(NewLibXml2Reader, document)) {
        const WsdComputer parsed = ParseComputerText(*computer);
        if (computer->empty() || parsed.name.size() + parsed.workgroup.size() > computer->size()) {
            std::abort();
        }
    }
    return 0;
}
