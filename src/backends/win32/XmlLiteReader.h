#pragma once

#include "seams/DiscoverySeams.h"

#include <memory>
#include <string_view>

namespace vexor::win32 {

// The pull XML reader over XmlLite (CreateXmlReader over SHCreateMemStream),
// DTD processing prohibited, no external resolver.
std::unique_ptr<IXmlReader> NewXmlLiteReader(std::string_view document);

} // namespace vexor::win32
