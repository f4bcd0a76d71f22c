// Reads any datagram as the answer to an M-SEARCH.
#include "core/discovery/SsdpMessages.h"
#include "core/discovery/WsdMessages.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const auto answer = ParseSsdpAnswer(datagram);
    if (!answer) {
        return 0;
    }
    // Only a bounded datagram is read, and its LOCATION is printable ASCII.
    if (size > kMaxSsdpAnswerBytes || answer->location.size() > size) {
        std::abort();
    }
    for (const char c : answer->location) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            std::abort();
        }
    }
    // Whatever the LOCATION says, a fetch goes only to the sender.
    if (const auto url = UsableXaddr({answer->location}, {10, 0, 0, 1});
        url && url->rfind("http://10.0.0.1", 0) != 0) {
        std::abort();
    }
    return 0;
}
