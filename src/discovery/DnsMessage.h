#pragma once

#include "HostName.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexor {

// The few DNS record types DNS-SD browsing reads (RFC 1035, RFC 2782, RFC 6763).
namespace dns {
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypePtr = 12;
constexpr std::uint16_t kTypeTxt = 16;
constexpr std::uint16_t kTypeSrv = 33;
} // namespace dns

// One resource record of an answer, with the parts browsing uses. Names keep
// their case (DNS compares them without regard to ASCII case); their labels
// are joined by dots.
struct DnsRecord {
    std::string name;
    std::uint16_t type = 0;
    // PTR: the name pointed to; SRV: the target host.
    std::string target;
    std::uint16_t port = 0;
    // A: the address.
    Ipv4 address{};
};

struct DnsMessage {
    std::uint16_t id = 0;
    bool response = false;
    // The answer, authority and additional records, in that order; records of
    // other types are skipped.
    std::vector<DnsRecord> records;
};

// Reads a DNS message; nothing when it is malformed: truncated, a compression
// pointer that does not point backwards, a name over 255 bytes, counts the
// message cannot hold.
std::optional<DnsMessage> ReadDnsMessage(std::span<const std::uint8_t> bytes);

// A standard query with one question of `type` for `name` (dotted, no trailing dot).
std::vector<std::uint8_t> DnsQuery(std::uint16_t id, const std::string& name, std::uint16_t type);

} // namespace vexor
