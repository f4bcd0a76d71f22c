#pragma once

#include "seams/Ipv4.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexor::dns {

// The one reader and writer of DNS-format messages (RFC 1035), which unicast
// DNS, mDNS and DNS-SD (RFC 6762, 6763) and the NetBIOS name service (RFC 1002)
// all speak. It includes no platform header.

constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypePtr = 12;
constexpr std::uint16_t kTypeTxt = 16;
constexpr std::uint16_t kTypeSrv = 33;
// NetBIOS general name service record and node status record (RFC 1002, 4.2.1.3).
constexpr std::uint16_t kTypeNb = 0x20;
constexpr std::uint16_t kTypeNbstat = 0x21;
constexpr std::uint16_t kClassIn = 1;

// The header flags this program sets or reads.
constexpr std::uint16_t kFlagResponse = 0x8000;
constexpr std::uint16_t kFlagAuthoritative = 0x0400;
constexpr std::uint16_t kFlagRecursionDesired = 0x0100;
// NetBIOS: the query was broadcast (RFC 1002, 4.2.1.1).
constexpr std::uint16_t kFlagBroadcast = 0x0010;

// A name may follow at most this many compression pointers, and only pointers
// that lead backwards: a chain of pointers then costs nothing to read.
constexpr std::size_t kMaxPointers = 16;
// A name on the wire, length bytes included (RFC 1035, 3.1).
constexpr std::size_t kMaxNameBytes = 255;

struct Question {
    // Labels joined by dots, as sent (no case folding, no trailing dot).
    std::string name;
    std::uint16_t type = 0;
    std::uint16_t klass = kClassIn;
    // mDNS: the QU bit, asking for a unicast reply (RFC 6762, 5.4).
    bool unicastReply = false;
};

struct Record {
    std::string name;
    std::uint16_t type = 0;
    // Without mDNS's cache-flush bit, which `cacheFlush` carries.
    std::uint16_t klass = kClassIn;
    bool cacheFlush = false;
    std::uint32_t ttl = 0;
    // PTR: the name pointed to; SRV: the target host.
    std::string target;
    // SRV: the port.
    std::uint16_t port = 0;
    // A: the address.
    Ipv4 address{};
    // TXT: its strings.
    std::vector<std::string> texts;
    // The record's data as it came (at most its length, never past the
    // message); NetBIOS records are read from it.
    std::vector<std::uint8_t> data;
};

struct Message {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    std::vector<Question> questions;
    // Answer, authority and additional records, in that order.
    std::vector<Record> answers;
    std::vector<Record> authority;
    std::vector<Record> additional;

    bool response() const { return (flags & kFlagResponse) != 0; }
    std::uint8_t opcode() const { return static_cast<std::uint8_t>(flags >> 11 & 0xF); }
    std::uint8_t rcode() const { return static_cast<std::uint8_t>(flags & 0xF); }
};

// What a reader expects of a message before it reads past the header.
struct Expect {
    // The transaction ID a reply must echo; nothing takes any (a multicast
    // announcement, the fuzzer).
    std::optional<std::uint16_t> id;
    // A reply (QR set) or a query.
    bool response = true;
    // A NetBIOS message: there type 0x21 is a node status (NBSTAT), not SRV.
    bool netbios = false;
};

// The transaction ID of a message, from its first two bytes; nothing when it
// is shorter than a header.
std::optional<std::uint16_t> PeekId(std::span<const std::uint8_t> bytes);

// Reads a message. Nothing when its header is short, its ID or QR is not the
// expected one (both checked before anything else is read), or it is
// malformed: counts the message cannot hold, a truncated question or record,
// a name over 255 bytes, a label over 63, a compression pointer that does not
// lead backwards or the 17th one in a name, record data past the message or
// (A, PTR, SRV) not of its declared length. Records of types it does not know
// keep only their raw data.
std::optional<Message> Read(std::span<const std::uint8_t> bytes, const Expect& expect = {});

// Writes `message`: names uncompressed, each record's data taken from `data`
// when it has any, else built from the fields of its type (A, PTR, SRV, TXT).
// Nothing when a name does not fit (a label over 63 bytes, a name over 255).
std::optional<std::vector<std::uint8_t>> Write(const Message& message);

// A query with one question.
std::vector<std::uint8_t> Query(std::uint16_t id, std::string_view name, std::uint16_t type,
                                std::uint16_t flags = 0);

// The in-addr.arpa name under which DNS keeps the name of `address`
// (RFC 1035, 3.5): 10.0.0.5 is "5.0.0.10.in-addr.arpa".
std::string ReverseName(const Ipv4& address);

// True when `a` and `b` are the same DNS name (ASCII case ignored, a trailing
// dot ignored).
bool SameName(std::string_view a, std::string_view b);

// Every record of the answer and additional sections, in that order.
std::vector<const Record*> AnswerAndAdditional(const Message& message);

// The addresses of the A records for `host` in the answer and additional
// sections, in order, each once.
std::vector<Ipv4> AddressesOf(const Message& message, std::string_view host);

// The first PTR target of the answer section for `name`; nothing without one.
std::optional<std::string> PointerOf(const Message& message, std::string_view name);

} // namespace vexor::dns
