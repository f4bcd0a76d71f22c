#pragma once

#include "DnsCodec.h"
#include "base/OemCodePage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexor::netbios {

// The NetBIOS name service messages (RFC 1001, RFC 1002) over the DNS codec,
// with names in an OEM code page.

constexpr std::uint16_t kPort = 137;
// The suffix (16th byte) of a workstation's name and of the file server's.
constexpr std::uint8_t kWorkstation = 0x00;
constexpr std::uint8_t kServer = 0x20;
// A NetBIOS name is 15 bytes of the code page and a suffix.
constexpr std::size_t kMaxNameBytes = 15;

// `name` as NetBIOS carries it: upper-cased (ASCII and Latin-1 letters), in
// `codePage`; nothing when it is empty, has a dot, has a character the code
// page lacks, or takes more than 15 bytes there.
std::optional<std::string> OemName(std::string_view name, const IOemCodePage& codePage);

// The first-level encoding of RFC 1001 (14.1): the 15 bytes padded with
// blanks, the suffix, each byte as two letters 'A'..'P'. `oemName` is in the
// code page already (see OemName); nothing when longer than 15 bytes.
std::optional<std::string> EncodeName(std::string_view oemName, std::uint8_t suffix);
// The 16 bytes a 32-letter encoded label stands for; nothing when it is not one.
std::optional<std::array<std::uint8_t, 16>> DecodeName(std::string_view label);

// A name query for `name` with `suffix` (RFC 1002, 4.2.12), broadcast or not;
// nothing when NetBIOS cannot carry the name (see OemName).
std::optional<std::vector<std::uint8_t>> NameQuery(std::uint16_t id, std::string_view name,
                                                   std::uint8_t suffix, bool broadcast,
                                                   const IOemCodePage& codePage);

// A node status request (RFC 1002, 4.2.17): the name "*" padded with zero
// bytes, type NBSTAT, sent to one address.
std::vector<std::uint8_t> NodeStatusRequest(std::uint16_t id);

struct NameQueryAnswer {
    // False for a negative answer (an error code); then there is no address.
    bool positive = false;
    std::vector<Ipv4> addresses;
};

// Reads `bytes` as the answer to the name query `id` for `name` with `suffix`:
// nothing when it is not one (another ID, a query, another name, malformed).
std::optional<NameQueryAnswer> ReadNameQueryAnswer(std::span<const std::uint8_t> bytes,
                                                   std::uint16_t id, std::string_view name,
                                                   std::uint8_t suffix,
                                                   const IOemCodePage& codePage);

// One name of a node's name table.
struct NodeName {
    // In UTF-8, the trailing blanks removed.
    std::string name;
    std::uint8_t suffix = 0;
    bool group = false;
    // The name flags as sent (group bit, owner type, state bits).
    std::uint16_t flags = 0;
};

struct NodeStatus {
    std::vector<NodeName> names;
    // The unit ID the node gave (its MAC address, or zeros).
    std::array<std::uint8_t, 6> unitId{};

    // The node's unique <00> name: its workstation (computer) name.
    std::optional<std::string> Workstation() const;
    // The group <00> name: its workgroup or domain.
    std::optional<std::string> Workgroup() const;
};

// Reads `bytes` as the node status response to request `id`: nothing when it
// is not one. A name table holds at most 255 names, each read from the code
// page; one that does not fit in the record ends the reading.
std::optional<NodeStatus> ReadNodeStatus(std::span<const std::uint8_t> bytes, std::uint16_t id,
                                         const IOemCodePage& codePage);

// A positive name query response (used by the tests and the fuzz corpus):
// `oemName` with `suffix` answered by `addresses`.
std::vector<std::uint8_t> NameQueryResponse(std::uint16_t id, std::string_view oemName,
                                            std::uint8_t suffix,
                                            const std::vector<Ipv4>& addresses);
// A node status response listing `names` (names already in the code page).
std::vector<std::uint8_t> NodeStatusResponse(std::uint16_t id, const std::vector<NodeName>& names);

} // namespace vexor::netbios
