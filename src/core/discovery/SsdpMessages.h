#pragma once

#include "seams/Ipv4.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexor {

// The SSDP search a control point multicasts over HTTPU (UPnP Device
// Architecture, discovery), and the reading of the unicast answers to it.

constexpr std::uint16_t kSsdpPort = 1900;
constexpr Ipv4 kSsdpGroup{239, 255, 255, 250};
// Answers are a status line and a dozen short headers; a datagram longer than
// this is not one.
constexpr std::size_t kMaxSsdpAnswerBytes = 8192;

// An M-SEARCH for every device and service (ST: ssdp:all), answered within
// `maxWaitSeconds` (MX).
std::string SsdpSearch(int maxWaitSeconds);

struct SsdpAnswer {
    // The URL of the root device's description; empty when the answer gave
    // none usable: missing, given twice, too long, or with blanks or controls.
    std::string location;
};

// Reads a datagram as the answer to an M-SEARCH: an "HTTP/1.x 200" status line
// and headers (names case-insensitive, folded lines joined); nothing when it is
// another message, malformed, or longer than kMaxSsdpAnswerBytes.
std::optional<SsdpAnswer> ParseSsdpAnswer(std::string_view datagram);

} // namespace vexor
