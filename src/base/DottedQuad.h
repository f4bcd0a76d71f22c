#pragma once

#include "seams/Ipv4.h"

#include <optional>
#include <string_view>

namespace vexor {

// `text` read as a dotted IPv4 literal of exactly four decimal parts, each 0
// to 255 in at most three digits and with no leading zero (which other
// parsers read as octal); nothing for any other text.
std::optional<Ipv4> ParseDottedQuad(std::string_view text);

} // namespace vexor
