#pragma once

#include "seams/DiscoverySeams.h"

namespace vexor::testing {

// The system's own pull XML reader: libxml2 on Linux, XmlLite on Windows.
XmlReaderFactory SystemXmlReader();

// The folder of captured and hostile messages.
std::string DiscoveryData(const std::string& name);

} // namespace vexor::testing
