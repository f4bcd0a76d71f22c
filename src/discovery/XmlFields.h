#pragma once

#include "DiscoverySeams.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// One element of a document with the text directly inside it.
struct XmlField {
    // The elements from the root down to this one, each "namespace-uri local-name".
    std::vector<std::string> path;
    std::string text;
};

struct XmlLimits {
    std::size_t maxFields = 4096;
    std::size_t maxDepth = 32;
    std::size_t maxText = 64 * 1024;
};

// Every element of `document` in document order, read through `xml`; nothing
// when the document is malformed, has a DTD, or passes any of `limits`.
std::optional<std::vector<XmlField>>
ReadXmlFields(const XmlReaderFactory& xml, std::string_view document, const XmlLimits& limits = {});

// True when `field` ends with the elements `tail` (innermost last).
bool PathEndsWith(const XmlField& field, std::initializer_list<std::string_view> tail);

} // namespace vexor
