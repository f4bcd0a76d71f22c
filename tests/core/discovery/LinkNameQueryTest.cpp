// The local link's name questions (NetBIOS and mDNS) through the query engine,
// against scripted responders on a fake clock.
#include "core/discovery/LinkNameQuery.h"
#include "base/InterfaceAddresses.h"
#include "core/discovery/DnsCodec.h"
#include "core/discovery/NetbiosMessages.h"

#include "FakeClock.h"
#include "FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;

constexpr Ipv4 kBroadcast{10, 0, 0, 255};
constexpr Ipv4 kInterface{10, 0, 0, 1};
constexpr Ipv4 kPeer{10, 0, 0, 5};

// What a responder answers to a query, if anything.
using Say = std::function<std::optional<Bytes>(const Bytes& query)>;

// A NetBIOS node that owns every name asked, under `oemName` when one is
// given (a peer that spells the name otherwise), answering with `address`.
Say NetbiosSays(Ipv4 address, int idOffset = 0, std::optional<std::string> oemName = {}) {
    return [=](const Bytes& query) -> std::optional<Bytes> {
        const auto asked = dns::Read(query, {dns::PeekId(query), false, true});
        const auto bytes = netbios::DecodeName(asked->questions.at(0).name);
        const std::string owner =
            oemName ? *oemName : std::string(bytes->begin(), bytes->begin() + 15);
        return netbios::NameQueryResponse(static_cast<std::uint16_t>(asked->id + idOffset), owner,
                                          (*bytes)[15], {address});
    };
}

Say NetbiosRefuses() {
    return [](const Bytes& query) -> std::optional<Bytes> {
        Bytes reply = query;
        reply[2] = 0x85;
        reply[3] = 0x03;
        return reply;
    };
}

Say MdnsSays(const std::string& host, Ipv4 address) {
    return [=](const Bytes& query) -> std::optional<Bytes> {
        dns::Message message;
        message.id = *dns::PeekId(query);
        message.flags = dns::kFlagResponse | dns::kFlagAuthoritative;
        dns::Record record;
        record.name = host;
        record.type = dns::kTypeA;
        record.cacheFlush = true;
        record.address = address;
        message.answers.push_back(record);
        return dns::Write(message);
    };
}

struct Case {
    const char* what;
    const char* name;
    Say netbios;
    std::chrono::milliseconds netbiosDelay;
    std::uint16_t netbiosFromPort;
    Say mdns;
    std::chrono::milliseconds mdnsDelay;
    std::vector<Ipv4> expected;
    int netbiosQueries;
    int mdnsQueries;
    std::chrono::milliseconds took;
};

// Both views read the one list of interfaces: names are asked, and multicast
// discovery goes out, only where an interface is up and not loopback, and only
// in the ways that interface allows.
TEST(LinkNameQuery, TargetsAndMulticastAddressesFollowEachInterfacesFlags) {
    struct Case {
        const char* what;
        Ipv4 address;
        bool up, loopback, broadcast, multicast;
        Ipv4 broadcastAddress;
        bool netbios;
        bool mdns;
    } cases[] = {
        {"an Ethernet interface",
         {10, 1, 2, 3},
         true,
         false,
         true,
         true,
         {10, 1, 2, 255},
         true,
         true},
        {"down", {10, 1, 2, 4}, false, false, true, true, {10, 1, 2, 255}, false, false},
        {"loopback", {127, 0, 0, 1}, true, true, false, true, {}, false, false},
        {"a loopback address on another interface",
         {127, 0, 0, 2},
         true,
         false,
         false,
         true,
         {},
         false,
         true},
        {"no multicast", {10, 9, 0, 1}, true, false, true, false, {10, 9, 255, 255}, true, false},
        {"point to point", {10, 8, 0, 1}, true, false, false, true, {}, false, true},
    };
    for (const auto& c : cases) {
        LocalInterface local;
        local.address = c.address;
        local.up = c.up;
        local.loopback = c.loopback;
        local.broadcast = c.broadcast;
        local.multicast = c.multicast;
        local.broadcastAddress = c.broadcastAddress;
        const LinkTargets targets = LinkTargetsOf({local});
        ASSERT_EQ(targets.netbios.size(), c.netbios ? 1u : 0u) << c.what;
        if (c.netbios) {
            EXPECT_EQ(targets.netbios[0].to.address, c.broadcastAddress) << c.what;
            EXPECT_EQ(targets.netbios[0].to.port, 137) << c.what;
        }
        ASSERT_EQ(targets.mdns.size(), c.mdns ? 1u : 0u) << c.what;
        if (c.mdns) {
            EXPECT_EQ(targets.mdns[0].to.address, (Ipv4{224, 0, 0, 251})) << c.what;
            EXPECT_EQ(targets.mdns[0].to.port, 5353) << c.what;
            EXPECT_EQ(targets.mdns[0].via, c.address) << c.what;
        }
        // A loopback address never carries discovery, whatever its interface says.
        const bool multicast = c.mdns && c.address[0] != 127;
        EXPECT_EQ(MulticastAddresses({local}),
                  multicast ? std::vector<Ipv4>{c.address} : std::vector<Ipv4>{})
            << c.what;
    }
}

TEST(LinkNameQuery, FirstPositiveAnswerFromTheRightPortWins) {
    const Ipv4 nb{10, 0, 0, 5};
    const Ipv4 md{10, 0, 0, 6};
    const Case cases[] = {
        {"NetBIOS alone answers", "ALFA", NetbiosSays(nb), 5ms, 137, {}, 0ms, {nb}, 1, 1, 5ms},
        {"mDNS alone answers",
         "alfa",
         {},
         0ms,
         137,
         MdnsSays("alfa.local", md),
         5ms,
         {md},
         1,
         1,
         5ms},
        {"both answer, mDNS first",
         "ALFA",
         NetbiosSays(nb),
         60ms,
         137,
         MdnsSays("ALFA.local", md),
         5ms,
         {md},
         1,
         1,
         5ms},
        {"both answer, NetBIOS first",
         "ALFA",
         NetbiosSays(nb),
         5ms,
         137,
         MdnsSays("ALFA.local", md),
         60ms,
         {nb},
         1,
         1,
         5ms},
        {"an answer from another port is no answer",
         "ALFA",
         NetbiosSays(nb),
         5ms,
         138,
         {},
         0ms,
         {},
         2,
         2,
         500ms},
        {"an answer to another transaction is no answer",
         "ALFA",
         NetbiosSays(nb, 1),
         5ms,
         137,
         {},
         0ms,
         {},
         2,
         2,
         500ms},
        {"a negative NetBIOS answer ends NetBIOS only",
         "ALFA",
         NetbiosRefuses(),
         5ms,
         137,
         MdnsSays("ALFA.local", md),
         300ms,
         {md},
         1,
         2,
         300ms},
        {"a .local name is asked of mDNS only",
         "alfa.local",
         NetbiosSays(nb),
         5ms,
         137,
         MdnsSays("alfa.local", md),
         5ms,
         {md},
         0,
         1,
         5ms},
        {"a name past 15 bytes is asked of mDNS only",
         "ESTACAO-DE-TRABALHO",
         NetbiosSays(nb),
         5ms,
         137,
         {},
         0ms,
         {},
         0,
         2,
         500ms},
        {"a fully qualified name is not asked at all",
         "alfa.example.org",
         NetbiosSays(nb),
         5ms,
         137,
         MdnsSays("alfa.example.org", md),
         5ms,
         {},
         0,
         0,
         0ms},
        {"nobody answers: two sends, given up 250 ms after the last",
         "NINGUEM",
         {},
         0ms,
         137,
         {},
         0ms,
         {},
         2,
         2,
         500ms},
        {"an accented name is asked and answered in CP850",
         "Recepção",
         NetbiosSays(nb),
         5ms,
         137,
         {},
         0ms,
         {nb},
         1,
         1,
         5ms},
        {"a peer that spells the name in UTF-8 does not answer it",
         "Recepção",
         NetbiosSays(nb, 0, "RECEPÇÃO"),
         5ms,
         137,
         {},
         0ms,
         {},
         2,
         2,
         500ms},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        int netbiosQueries = 0;
        int mdnsQueries = 0;
        FakeDatagramSocket socket(clock, [&](const FakeDatagramSocket::Sent& sent) {
            std::vector<FakeDatagramSocket::Delayed> replies;
            const bool isNetbios = sent.to.port == 137;
            EXPECT_EQ(sent.to.address, (isNetbios ? kBroadcast : Ipv4{224, 0, 0, 251})) << c.what;
            ++(isNetbios ? netbiosQueries : mdnsQueries);
            const Say& say = isNetbios ? c.netbios : c.mdns;
            if (say) {
                if (auto reply = say(sent.bytes)) {
                    const std::uint16_t port = isNetbios ? c.netbiosFromPort : 5353;
                    replies.push_back({isNetbios ? c.netbiosDelay : c.mdnsDelay,
                                       {std::move(*reply), {kPeer, port}}});
                }
            }
            return replies;
        });
        LinkTargets targets;
        targets.netbios.push_back({{kBroadcast, 137}, Ipv4{}});
        targets.mdns.push_back({{{224, 0, 0, 251}, 5353}, kInterface});
        const auto start = clock.Now();
        EXPECT_EQ(QueryLinkName(socket, clock, c.name, targets, start + 1500ms, Cp850()),
                  c.expected)
            << c.what;
        EXPECT_EQ(clock.Now() - start, c.took) << c.what;
        EXPECT_EQ(netbiosQueries, c.netbiosQueries) << c.what;
        EXPECT_EQ(mdnsQueries, c.mdnsQueries) << c.what;
    }
}

TEST(LinkNameQuery, TheDeadlineComesFirst) {
    FakeClock clock;
    FakeDatagramSocket socket(clock);
    LinkTargets targets;
    targets.netbios.push_back({{kBroadcast, 137}, Ipv4{}});
    targets.mdns.push_back({{{224, 0, 0, 251}, 5353}, kInterface});
    const auto start = clock.Now();
    EXPECT_TRUE(QueryLinkName(socket, clock, "ALFA", targets, start + 100ms, Cp850()).empty());
    EXPECT_EQ(clock.Now() - start, 100ms);
    EXPECT_EQ(socket.sent().size(), 2u);
}

} // namespace
} // namespace vexor
