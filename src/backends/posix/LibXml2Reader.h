#pragma once

#include "seams/DiscoverySeams.h"

#include <memory>
#include <string_view>

namespace vexor {

// The pull XML reader over libxml2's xmlTextReader: no network access, no DTD
// loaded, no entity expanded, and a document type declaration is an error.
std::unique_ptr<IXmlReader> NewLibXml2Reader(std::string_view document);

} // namespace vexor
