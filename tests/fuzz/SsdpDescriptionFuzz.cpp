// Reads any document as a UPnP device description, through libxml2.
#include "backends/posix/LibXml2Reader.h"
#include "core/discovery/Neighbourhood.h"
#include "core/discovery/SsdpDescription.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    const auto name = ReadFriendlyName(NewLibXml2Reader, document);
    if (!name) {
        return 0;
    }
    // No entity is expanded: the name is never longer than the document, and
    // never empty or blank at its ends.
    if (name->empty() || name->size() > size || name->front() == ' ' || name->back() == ' ') {
        std::abort();
    }
    // What the list shows of it has no control or bidirectional character left.
    if (const auto clean = CleanNetworkName(*name)) {
        for (const unsigned char c : *clean) {
            if (c < 0x20 || c == 0x7f) {
                std::abort();
            }
        }
        if (clean->find("\xe2\x80\xae") != std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
