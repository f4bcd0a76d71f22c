#pragma once

#include "seams/DiscoverySeams.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// An element as "namespace-uri local-name", with the element it stands in.
// Fields share their ancestors, so a path costs each element once however
// many fields lie below it.
struct XmlElement {
    std::string name;
    std::shared_ptr<const XmlElement> parent;
};

// One element of a document with the text directly inside it.
struct XmlField {
    std::shared_ptr<const XmlElement> element;
    std::string text;
};

struct XmlLimits {
    std::size_t maxFields = 4096;
    std::size_t maxDepth = 32;
    std::size_t maxText = 64 * 1024;
    // Names and namespace URIs of the protocols read are short; a longer one
    // is an error, so no peer can make each element cost a datagram's size.
    std::size_t maxName = 256;
};

// Every element of `document` in document order, read through `xml`; nothing
// when the document is malformed, has a DTD, or passes any of `limits`.
std::optional<std::vector<XmlField>>
ReadXmlFields(const XmlReaderFactory& xml, std::string_view document, const XmlLimits& limits = {});

// True when `field` ends with the elements `tail` (innermost last).
bool PathEndsWith(const XmlField& field, std::initializer_list<std::string_view> tail);

} // namespace vexor
