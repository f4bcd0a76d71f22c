#pragma once

#include "Clock.h"
#include "Ipv4.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// The three small services the discovery protocols need of a system, shaped
// like what Windows offers (Winsock datagrams, WinHTTP, XmlLite) so that both
// builds fill them with their own libraries.

struct UdpEndpoint {
    Ipv4 address{};
    std::uint16_t port = 0;
};

struct Datagram {
    std::vector<std::uint8_t> bytes;
    UdpEndpoint from;
    // True when this is no datagram but the word that nothing listens at
    // `from`, an endpoint this socket sent to (an ICMP port unreachable);
    // `bytes` is then empty.
    bool unreachable = false;
};

// A UDP socket bound to an ephemeral port of every interface.
class IDatagramSocket {
  public:
    virtual ~IDatagramSocket() = default;
    // Sends `bytes` to `to`, out of the interface whose address is `via`
    // (what IP_MULTICAST_IF chooses for a multicast group).
    virtual bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                        const Ipv4& via) = 0;
    // The next datagram that arrives before `deadline`, or the next port
    // unreachable for an endpoint it sent to; nothing when none does.
    virtual std::optional<Datagram>
    ReceiveUntil(std::chrono::steady_clock::time_point deadline) = 0;
};

// The kinds of node a pull XML reader stops at, as XmlLite's XmlNodeType names them.
enum class XmlNodeType { Element, EndElement, Text, Other };

// A forward-only XML reader over one document, shaped like XmlLite's IXmlReader
// (and libxml2's xmlTextReader). It resolves no external entity, loads no DTD
// and expands no entity; a document with a DTD is an error.
class IXmlReader {
  public:
    virtual ~IXmlReader() = default;
    // Moves to the next node; false at the end of the document or on an error.
    virtual bool Read(XmlNodeType& type) = 0;
    // True when the document ended well (no error stopped Read).
    virtual bool Complete() const = 0;
    virtual std::string LocalName() const = 0;
    virtual std::string NamespaceUri() const = 0;
    virtual std::string Value() const = 0;
    virtual bool IsEmptyElement() const = 0;
};

using XmlReaderFactory = std::function<std::unique_ptr<IXmlReader>(std::string_view document)>;

// An HTTP POST of `body` to `url` with the SOAP content type; the response body,
// or nothing on any failure, a status other than 200, more than `maxBytes`, or
// when `limit` passes first.
using HttpPost = std::function<std::optional<std::string>(
    const std::string& url, const std::string& body, std::chrono::milliseconds limit,
    std::size_t maxBytes)>;

// An HTTP GET of `url`, under the same rules as the POST: the response body, or
// nothing on any failure, a status other than 200, more than `maxBytes`, or
// when `limit` passes first (the whole request, however slowly the peer sends).
using HttpGet = std::function<std::optional<std::string>(
    const std::string& url, std::chrono::milliseconds limit, std::size_t maxBytes)>;

struct DiscoverySeams {
    // The IPv4 addresses of the up, non-loopback, multicast-capable interfaces.
    std::function<std::vector<Ipv4>()> interfaces;
    std::function<std::unique_ptr<IDatagramSocket>()> openSocket;
    HttpPost post;
    XmlReaderFactory xml;
    HttpGet get;
    // Where the protocols read the time; tests put a clock of their own here
    // and a socket that waits on it.
    const IClock* clock = &SystemClock();
};

} // namespace vexor
