#include "platform/posix/NameQueryPackets.h"
#include "DnsMessageBuilder.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using testing::DnsMessageBuilder;
using Bytes = std::vector<std::uint8_t>;
using Addresses = std::vector<Ipv4>;

constexpr std::uint16_t kNb = 0x20;
constexpr std::uint16_t kA = 1;
constexpr std::uint16_t kIn = 1;
// "FRED" in the first-level encoding, the example of RFC 1001, 14.1.
const std::string kFred = "EGFCEFEECACACACACACACACACACACACA";

Bytes Header(std::uint16_t id, std::uint16_t flags) {
    return {static_cast<std::uint8_t>(id >> 8),
            static_cast<std::uint8_t>(id),
            static_cast<std::uint8_t>(flags >> 8),
            static_cast<std::uint8_t>(flags),
            0,
            1,
            0,
            0,
            0,
            0,
            0,
            0};
}

TEST(NameQueryPackets, QueriesAreTheBytesTheProtocolsDefine) {
    Bytes netbios = Header(0x1234, 0x0110);
    netbios.push_back(32);
    netbios.insert(netbios.end(), kFred.begin(), kFred.end());
    netbios.insert(netbios.end(), {0, 0, 0x20, 0, 1});
    EXPECT_EQ(BuildNetbiosNameQuery("fred", 0x1234), netbios);
    EXPECT_EQ(NetbiosEncodedName("Fred"), kFred);

    Bytes mdns = Header(0xbeef, 0);
    mdns.insert(mdns.end(), {4, 'a', 'l', 'f', 'a', 5, 'l', 'o', 'c', 'a', 'l', 0, 0, 1, 0, 1});
    EXPECT_EQ(BuildMdnsQuery("alfa.local", 0xbeef), mdns);

    for (const char* name : {"", "SIXTEEN-LETTERS!", "alfa.local", "a.b"}) {
        EXPECT_TRUE(BuildNetbiosNameQuery(name, 1).empty()) << name;
    }
    EXPECT_FALSE(BuildNetbiosNameQuery("FIFTEEN-LETTERS", 1).empty());
}

Bytes NetbiosAnswer(std::uint16_t id, std::uint16_t flags, const std::string& owner,
                    const Bytes& data, std::uint16_t type = kNb) {
    return DnsMessageBuilder(id, flags, 0, 1).Name(owner).Record(type, kIn, data).bytes;
}

TEST(NameQueryPackets, NetbiosAnswersAreRead) {
    const Bytes one{0x00, 0x00, 10, 0, 0, 5};
    const Bytes two{0x00, 0x00, 10, 0, 0, 5, 0x60, 0x00, 192, 168, 7, 9};
    Bytes truncated = NetbiosAnswer(7, 0x8500, kFred, one);
    truncated.resize(truncated.size() - 3);
    const struct {
        const char* what;
        Bytes datagram;
        std::optional<Addresses> expected;
    } cases[] = {
        {"a positive answer", NetbiosAnswer(7, 0x8500, kFred, one), Addresses{{10, 0, 0, 5}}},
        {"several addresses, in order", NetbiosAnswer(7, 0x8500, kFred, two),
         Addresses{{10, 0, 0, 5}, {192, 168, 7, 9}}},
        {"the owner's name in lower case",
         NetbiosAnswer(7, 0x8500, "egfcefeecacacacacacacacacacacaca", one),
         Addresses{{10, 0, 0, 5}}},
        {"a negative answer (name error)", NetbiosAnswer(7, 0x8503, kFred, {}), Addresses{}},
        {"an answer to another transaction", NetbiosAnswer(8, 0x8500, kFred, one), std::nullopt},
        {"a query, not an answer", NetbiosAnswer(7, 0x0110, kFred, one), std::nullopt},
        {"an answer for another name", NetbiosAnswer(7, 0x8500, NetbiosEncodedName("BARNEY"), one),
         std::nullopt},
        {"an entry cut short", NetbiosAnswer(7, 0x8500, kFred, {0, 0, 10, 0, 0}), std::nullopt},
        {"another record type", NetbiosAnswer(7, 0x8500, kFred, one, kA), std::nullopt},
        {"a message cut off inside its record", truncated, std::nullopt},
        {"a header alone", Header(7, 0x8500), std::nullopt},
        {"nothing at all", Bytes{}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNetbiosAnswer(c.datagram, 7, "fred"), c.expected) << c.what;
    }
}

TEST(NameQueryPackets, MdnsAnswersAreRead) {
    const Bytes address{10, 1, 2, 3};
    // A legacy unicast answer repeats the question; its record points back to it.
    const Bytes compressed = DnsMessageBuilder(9, 0x8400, 1, 1)
                                 .Name("alfa.local")
                                 .Question(kA, kIn)
                                 .Pointer(12)
                                 .Record(kA, kIn, address)
                                 .bytes;
    const Bytes mixed = DnsMessageBuilder(9, 0x8400, 0, 4)
                            .Name("beta.local")
                            .Record(kA, kIn, {10, 9, 9, 9})
                            .Name("ALFA.local")
                            .Record(kA, 0x8001, address)
                            .Name("alfa.local")
                            .Record(kA, 0x8001, address)
                            .Name("alfa.local")
                            .Record(kA, kIn, {10, 1, 2, 4})
                            .bytes;
    const struct {
        const char* what;
        Bytes datagram;
        std::optional<Addresses> expected;
    } cases[] = {
        {"an answer that points at its question", compressed, Addresses{{10, 1, 2, 3}}},
        {"other hosts left out, cache-flush class read, repeats once", mixed,
         Addresses{{10, 1, 2, 3}, {10, 1, 2, 4}}},
        {"another transaction",
         DnsMessageBuilder(8, 0x8400, 0, 1).Name("alfa.local").Record(kA, kIn, address).bytes,
         std::nullopt},
        {"no record for the host",
         DnsMessageBuilder(9, 0x8400, 0, 1).Name("beta.local").Record(kA, kIn, address).bytes,
         std::nullopt},
        {"an address of five bytes",
         DnsMessageBuilder(9, 0x8400, 0, 1)
             .Name("alfa.local")
             .Record(kA, kIn, {1, 2, 3, 4, 5})
             .bytes,
         std::nullopt},
        {"a pointer that loops",
         DnsMessageBuilder(9, 0x8400, 0, 1).Pointer(12).Record(kA, kIn, address).bytes,
         std::nullopt},
        {"more records counted than sent",
         DnsMessageBuilder(9, 0x8400, 0, 2).Name("alfa.local").Record(kA, kIn, address).bytes,
         std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseMdnsAnswer(c.datagram, 9, "alfa.local"), c.expected) << c.what;
    }
}

} // namespace
} // namespace vexor
