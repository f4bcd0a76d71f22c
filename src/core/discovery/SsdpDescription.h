#pragma once

#include "seams/DiscoverySeams.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexor {

// The UPnP device description's namespace (UPnP Device Architecture 1.0 and later).
constexpr std::string_view kUpnpDeviceNamespace = "urn:schemas-upnp-org:device-1-0";

// The friendlyName of the root device a UPnP device description describes (the
// first <device> of <root>, not the devices nested in its deviceList), blanks
// trimmed; nothing when it has none, it is empty, or the document is not a
// description, is malformed before it, has a DTD, or nests deeper than a
// description does. The text is as the peer wrote it: clean it before use.
std::optional<std::string> ReadFriendlyName(const XmlReaderFactory& xml,
                                            std::string_view description);

} // namespace vexor
