#include "SsdpDescription.h"

#include "base/AsciiText.h"

#include <vector>

namespace vexor {
namespace {

// Descriptions nest root, device, deviceList, device, ... a few levels deep.
constexpr std::size_t kMaxDepth = 32;
// Element names and namespace URIs of a description are short.
constexpr std::size_t kMaxName = 256;
// Far more than any name the list can show; a longer text is not a name.
constexpr std::size_t kMaxFriendlyName = 4096;

} // namespace

std::optional<std::string> ReadFriendlyName(const XmlReaderFactory& xml,
                                            std::string_view description) {
    const auto reader = xml(description);
    if (!reader) {
        return std::nullopt;
    }
    // Local names of the elements open, outermost first; only those in the
    // description's namespace matter, the others are kept as "".
    std::vector<std::string> open;
    bool rootDeviceSeen = false;
    bool inName = false;
    std::string name;
    XmlNodeType type{};
    while (reader->Read(type)) {
        switch (type) {
        case XmlNodeType::Element: {
            // A friendlyName is text; one holding elements is none.
            if (inName) {
                return std::nullopt;
            }
            const std::string uri = reader->NamespaceUri();
            std::string local = reader->LocalName();
            if (open.size() >= kMaxDepth || uri.size() > kMaxName || local.size() > kMaxName) {
                return std::nullopt;
            }
            if (uri != kUpnpDeviceNamespace) {
                local.clear();
            }
            if (open.empty() && local != "root") {
                return std::nullopt;
            }
            if (open.size() == 1 && local == "device") {
                // Only the first device of the root is the root device.
                if (rootDeviceSeen) {
                    return std::nullopt;
                }
                rootDeviceSeen = true;
            }
            const bool isName = open.size() == 2 && open[1] == "device" && local == "friendlyName";
            if (reader->IsEmptyElement()) {
                if (isName) {
                    return std::nullopt;
                }
                break;
            }
            inName = isName;
            open.push_back(std::move(local));
            break;
        }
        case XmlNodeType::EndElement:
            if (open.empty()) {
                return std::nullopt;
            }
            if (inName) {
                std::string trimmed = std::string(TrimBlanks(name));
                return trimmed.empty() ? std::nullopt : std::optional<std::string>(trimmed);
            }
            open.pop_back();
            break;
        case XmlNodeType::Text:
            if (inName) {
                name += reader->Value();
                if (name.size() > kMaxFriendlyName) {
                    return std::nullopt;
                }
            }
            break;
        case XmlNodeType::Other:
            break;
        }
    }
    return std::nullopt;
}

} // namespace vexor
