#pragma once

#include "seams/DiscoverySeams.h"

#include <optional>
#include <string>
#include <vector>

namespace vexor {

// The WS-Discovery (2005/04) and WS-Transfer messages a client sends to find
// the computers on its link, and the reading of their answers.

constexpr std::uint16_t kWsdPort = 3702;
constexpr Ipv4 kWsdGroup{239, 255, 255, 250};

// A Probe for devices (wsdp:Device), with no scopes.
std::string WsdProbe(const std::string& messageId);
// A Resolve for the device whose endpoint address is `endpoint`.
std::string WsdResolve(const std::string& messageId, const std::string& endpoint);
// A WS-Transfer Get of the metadata of the device `endpoint`.
std::string WsdGetMetadata(const std::string& messageId, const std::string& endpoint);

struct WsdMatch {
    std::string endpoint;
    std::vector<std::string> types;
    std::vector<std::string> xaddrs;
};

// A ProbeMatches or ResolveMatches message.
struct WsdReply {
    std::string messageId;
    std::string relatesTo;
    std::vector<WsdMatch> matches;
};

// Reads a datagram as a ProbeMatches or ResolveMatches message; nothing when it
// is neither, or not well-formed.
std::optional<WsdReply> ParseWsdReply(const XmlReaderFactory& xml, std::string_view document);

// The host computer that a metadata GetResponse describes, as its pub:Computer
// text ("NAME/Workgroup:WG", "NAME/Domain:D", "NAME/NotJoined"); nothing when
// the device publishes no computer.
std::optional<std::string> ParseMetadataComputer(const XmlReaderFactory& xml,
                                                 std::string_view document);

struct WsdComputer {
    std::string name;
    // The workgroup or domain; empty when the computer has joined neither.
    std::string workgroup;
};

WsdComputer ParseComputerText(std::string_view text);

// The first of a device's XAddrs that may be fetched: an http:// URL whose host
// is the IPv4 literal `from` (the address the message came from), with no user
// information and, when a port is given, one from 1 to 65535. A peer can thus
// send the client's requests nowhere but to itself, and no name is resolved.
std::optional<std::string> UsableXaddr(const std::vector<std::string>& xaddrs, const Ipv4& from);

// A fresh "urn:uuid:..." message identifier (random, RFC 4122 version 4).
std::string NewMessageId();

} // namespace vexor
