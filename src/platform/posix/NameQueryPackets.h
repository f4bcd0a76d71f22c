#pragma once

#include "discovery/HostName.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// The query messages that find a single-label machine name on the local link,
// and the reading of their answers: a NetBIOS name query (RFC 1002) and a
// one-shot mDNS query (RFC 6762, legacy unicast). Both share the DNS message
// format, so glibc's libresolv builds and parses them.

// True when NetBIOS can carry `name`: at most 15 bytes, no dot, not empty.
bool IsNetbiosName(std::string_view name);

// `name` in the first-level encoding of RFC 1001: upper-cased, padded with blanks
// to 15 bytes, the server suffix 0x20, each byte as two letters 'A'..'P'.
std::string NetbiosEncodedName(std::string_view name);

// A broadcast name query for the server name `name`; empty when NetBIOS cannot
// carry it.
std::vector<std::uint8_t> BuildNetbiosNameQuery(std::string_view name, std::uint16_t id);

// An mDNS question for the address (type A) of `host`, e.g. "alfa.local".
std::vector<std::uint8_t> BuildMdnsQuery(std::string_view host, std::uint16_t id);

// Reads a datagram as the answer to the NetBIOS query `id` for `name`. Nothing
// when it is not such an answer (another id, a query, another name, malformed or
// truncated); an empty list for a negative answer; else the addresses in order.
std::optional<std::vector<Ipv4>> ParseNetbiosAnswer(std::span<const std::uint8_t> datagram,
                                                    std::uint16_t id, std::string_view name);

// Reads a datagram as the answer to the mDNS query `id` for `host`: the
// addresses of its A records for that host, or nothing when it holds none (an
// mDNS responder has no negative answer) or is not such an answer.
std::optional<std::vector<Ipv4>> ParseMdnsAnswer(std::span<const std::uint8_t> datagram,
                                                 std::uint16_t id, std::string_view host);

} // namespace vexor
