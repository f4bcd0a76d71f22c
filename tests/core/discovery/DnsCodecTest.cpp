// The one DNS-format codec: a table of messages per kind, and every bound the
// reader keeps against hostile bytes.
#include "core/discovery/DnsCodec.h"
#include "base/OemCodePage.h"
#include "core/discovery/NetbiosMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexor {
namespace {

using Bytes = std::vector<std::uint8_t>;

void U16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

Bytes Header(unsigned id, unsigned flags, unsigned questions, unsigned answers) {
    Bytes out;
    U16(out, id);
    U16(out, flags);
    U16(out, questions);
    U16(out, answers);
    U16(out, 0);
    U16(out, 0);
    return out;
}

void Label(Bytes& out, const std::string& label) {
    out.push_back(static_cast<std::uint8_t>(label.size()));
    out.insert(out.end(), label.begin(), label.end());
}

// A record's fixed part after its name: type, class IN, TTL 0, data length.
void Fixed(Bytes& out, unsigned type, unsigned length) {
    U16(out, type);
    U16(out, 1);
    U16(out, 0);
    U16(out, 0);
    U16(out, length);
}

dns::Record Ptr(const std::string& name, const std::string& target) {
    dns::Record record;
    record.name = name;
    record.type = dns::kTypePtr;
    record.target = target;
    return record;
}

TEST(DnsCodec, WritesAndReadsEveryRecordTypeTheProgramUses) {
    dns::Message message;
    message.id = 0x1234;
    message.flags = dns::kFlagResponse | dns::kFlagAuthoritative;
    message.questions.push_back({"_smb._tcp.local", dns::kTypePtr, dns::kClassIn, true});
    message.answers.push_back(Ptr("_smb._tcp.local", "Sala._smb._tcp.local"));
    dns::Record srv;
    srv.name = "Sala._smb._tcp.local";
    srv.type = dns::kTypeSrv;
    srv.port = 445;
    srv.target = "sala.local";
    srv.cacheFlush = true;
    message.additional.push_back(srv);
    dns::Record txt;
    txt.name = "Sala._smb._tcp.local";
    txt.type = dns::kTypeTxt;
    txt.texts = {"model=Xserve", ""};
    message.additional.push_back(txt);
    dns::Record a;
    a.name = "sala.local";
    a.type = dns::kTypeA;
    a.address = {192, 168, 1, 20};
    a.ttl = 120;
    message.additional.push_back(a);

    const auto bytes = dns::Write(message);
    ASSERT_TRUE(bytes);
    const auto read = dns::Read(*bytes, {0x1234, true});
    ASSERT_TRUE(read);
    ASSERT_EQ(read->questions.size(), 1u);
    EXPECT_TRUE(read->questions[0].unicastReply);
    EXPECT_EQ(read->questions[0].name, "_smb._tcp.local");
    ASSERT_EQ(read->answers.size(), 1u);
    EXPECT_EQ(read->answers[0].target, "Sala._smb._tcp.local");
    ASSERT_EQ(read->additional.size(), 3u);
    EXPECT_EQ(read->additional[0].port, 445);
    EXPECT_EQ(read->additional[0].target, "sala.local");
    EXPECT_TRUE(read->additional[0].cacheFlush);
    EXPECT_EQ(read->additional[0].klass, dns::kClassIn);
    EXPECT_EQ(read->additional[1].texts, (std::vector<std::string>{"model=Xserve", ""}));
    EXPECT_EQ(read->additional[2].ttl, 120u);
    EXPECT_EQ(dns::AddressesOf(*read, "SALA.local."), (std::vector<Ipv4>{{192, 168, 1, 20}}));
    EXPECT_EQ(dns::PointerOf(*read, "_SMB._tcp.local"), "Sala._smb._tcp.local");
}

TEST(DnsCodec, UnicastPtrQueryAndAnswer) {
    const Ipv4 address{10, 0, 0, 5};
    EXPECT_EQ(dns::ReverseName(address), "5.0.0.10.in-addr.arpa");
    const auto query =
        dns::Query(7, dns::ReverseName(address), dns::kTypePtr, dns::kFlagRecursionDesired);
    const auto asked = dns::Read(query, {7, false});
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->questions.at(0).name, "5.0.0.10.in-addr.arpa");
    EXPECT_EQ(asked->questions.at(0).type, dns::kTypePtr);
    EXPECT_EQ(asked->flags, dns::kFlagRecursionDesired);

    dns::Message answer;
    answer.id = 7;
    answer.flags = dns::kFlagResponse;
    answer.questions = asked->questions;
    answer.answers.push_back(Ptr("5.0.0.10.in-addr.arpa", "impressora.escritorio.lan"));
    const auto read = dns::Read(*dns::Write(answer), {7, true});
    ASSERT_TRUE(read);
    EXPECT_EQ(dns::PointerOf(*read, "5.0.0.10.in-addr.arpa"), "impressora.escritorio.lan");
}

TEST(DnsCodec, FollowsBackwardPointers) {
    Bytes bytes = Header(1, 0x8400, 0, 2);
    const std::size_t first = bytes.size();
    Label(bytes, "sala");
    Label(bytes, "local");
    bytes.push_back(0);
    Fixed(bytes, dns::kTypeA, 4);
    bytes.insert(bytes.end(), {10, 0, 0, 1});
    Label(bytes, "www");
    bytes.insert(bytes.end(), {0xC0, static_cast<std::uint8_t>(first)});
    Fixed(bytes, dns::kTypeA, 4);
    bytes.insert(bytes.end(), {10, 0, 0, 2});
    const auto read = dns::Read(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->answers.size(), 2u);
    EXPECT_EQ(read->answers[1].name, "www.sala.local");
}

TEST(DnsCodec, AcceptsSixteenPointersAndRejectsTheSeventeenth) {
    for (const std::size_t pointers : {std::size_t{16}, std::size_t{17}}) {
        Bytes bytes = Header(1, 0x8400, 0, 1);
        // A record of a type the reader does not look into holds the chain:
        // a root name, then pointers each leading to the one before.
        Label(bytes, "a");
        bytes.push_back(0);
        Bytes data;
        const std::size_t dataStart = bytes.size() + 10;
        data.push_back(0);
        std::size_t previous = dataStart;
        for (std::size_t i = 0; i + 1 < pointers; ++i) {
            const std::size_t at = dataStart + data.size();
            data.insert(data.end(), {static_cast<std::uint8_t>(0xC0 | previous >> 8),
                                     static_cast<std::uint8_t>(previous & 0xFF)});
            previous = at;
        }
        Fixed(bytes, 10, static_cast<unsigned>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        // A second record, PTR, whose target is the head of the chain: one
        // more pointer, `pointers` in all.
        Label(bytes, "b");
        bytes.push_back(0);
        Fixed(bytes, dns::kTypePtr, 2);
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xC0 | previous >> 8),
                                   static_cast<std::uint8_t>(previous & 0xFF)});
        bytes[7] = 2;
        const auto read = dns::Read(bytes);
        EXPECT_EQ(read.has_value(), pointers == 16) << pointers << " pointers";
    }
}

struct Hostile {
    const char* what;
    Bytes bytes;
};

std::vector<Hostile> HostileMessages() {
    std::vector<Hostile> cases;
    cases.push_back({"shorter than a header", {0, 1, 0x84, 0, 0, 0, 0}});
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.insert(b.end(), {0xC0, 12});
        Fixed(b, dns::kTypeA, 4);
        b.insert(b.end(), {1, 2, 3, 4});
        cases.push_back({"a pointer to itself", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.insert(b.end(), {0xC0, 20});
        Fixed(b, dns::kTypeA, 4);
        b.insert(b.end(), {1, 2, 3, 4});
        cases.push_back({"a pointer forwards", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.push_back(0);
        Fixed(b, dns::kTypeA, 4);
        b.insert(b.end(), {1, 2, 3});
        cases.push_back({"record data past the message", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.push_back(0);
        Fixed(b, dns::kTypeA, 5);
        b.insert(b.end(), {1, 2, 3, 4, 5});
        cases.push_back({"an address of five bytes", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.push_back(0);
        Fixed(b, dns::kTypePtr, 4);
        b.insert(b.end(), {1, 'x', 0, 9});
        cases.push_back({"a PTR target shorter than its data", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.push_back(0);
        Fixed(b, dns::kTypePtr, 1);
        b.insert(b.end(), {3, 'a', 'b', 'c', 0});
        cases.push_back({"a PTR target past its data", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        for (int i = 0; i < 5; ++i) {
            Label(b, std::string(60, 'x'));
        }
        b.push_back(0);
        Fixed(b, dns::kTypeA, 4);
        b.insert(b.end(), {1, 2, 3, 4});
        cases.push_back({"a name over 255 bytes", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.insert(b.end(), {0x40, 'x'});
        cases.push_back({"a label with the reserved 01 bits", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0xFFFF, 0xFFFF);
        b.push_back(0);
        cases.push_back({"counts the message cannot hold", b});
    }
    {
        Bytes b = Header(1, 0x8400, 0, 1);
        b.push_back(0);
        Fixed(b, dns::kTypeTxt, 3);
        b.insert(b.end(), {5, 'a', 'b'});
        cases.push_back({"a TXT string past its record", b});
    }
    return cases;
}

TEST(DnsCodec, RejectsEveryMalformedMessage) {
    for (const Hostile& hostile : HostileMessages()) {
        EXPECT_FALSE(dns::Read(hostile.bytes)) << hostile.what;
    }
}

TEST(DnsCodec, ChecksTheIdAndKindBeforeReadingAnything) {
    // The body is garbage: a reply of another ID, or a query where a reply is
    // awaited, is refused for that alone and the body is never read.
    Bytes bytes = Header(0x4242, 0x8400, 0, 1);
    bytes.insert(bytes.end(), {0xC0, 0xFF});
    EXPECT_EQ(dns::PeekId(bytes), 0x4242);
    EXPECT_FALSE(dns::Read(bytes, {0x4243, true}));
    const auto query = dns::Query(9, "alfa.local", dns::kTypeA);
    EXPECT_FALSE(dns::Read(query, {9, true}));
    EXPECT_TRUE(dns::Read(query, {9, false}));
    EXPECT_FALSE(dns::PeekId(Bytes{1, 2, 3}));
}

TEST(DnsCodec, AFullDatagramOfPointersIsRefusedAfterSixteen) {
    // 65 KB of records whose names chain pointers backwards: each name stops
    // at its 17th pointer, so the reader never walks the whole chain.
    Bytes bytes = Header(1, 0x8400, 0, 0xFFFF);
    bytes.push_back(0);
    Fixed(bytes, dns::kTypeA, 4);
    bytes.insert(bytes.end(), {1, 2, 3, 4});
    std::size_t previous = 12;
    while (bytes.size() + 16 < 65535) {
        const std::size_t at = bytes.size();
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xC0 | previous >> 8),
                                   static_cast<std::uint8_t>(previous & 0xFF)});
        Fixed(bytes, dns::kTypeA, 4);
        bytes.insert(bytes.end(), {1, 2, 3, 4});
        previous = at;
    }
    EXPECT_FALSE(dns::Read(bytes));
}

TEST(DnsCodec, WriteRefusesNamesThatDoNotFit) {
    dns::Message message;
    message.questions.push_back({std::string(64, 'x') + ".local", dns::kTypeA});
    EXPECT_FALSE(dns::Write(message));
    message.questions[0].name = "a..b";
    EXPECT_FALSE(dns::Write(message));
}

TEST(Cp850, MapsEveryByteBothWays) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string oem(1, static_cast<char>(byte));
        const std::string utf8 = Cp850().ToUtf8(oem);
        EXPECT_EQ(Cp850().FromUtf8(utf8), oem) << byte;
    }
    EXPECT_EQ(Cp850().FromUtf8("RECEPÇÃO"), std::string("RECEP\x80\xC7O"));
    EXPECT_EQ(Cp850().ToUtf8("JO\xC7O"), "JOÃO");
    EXPECT_FALSE(Cp850().FromUtf8("€"));
    EXPECT_FALSE(Cp850().FromUtf8("\xC3"));
}

TEST(NetbiosNames, EncodesNamesAsTheOemCodePageCarriesThem) {
    struct Row {
        const char* name;
        std::optional<std::string> oem;
    };
    const Row rows[] = {
        {"recepção", std::string("RECEP\x80\xC7O")},
        {"João-PC", std::string("JO\xC7O-PC")},
        {"estacao01", std::string("ESTACAO01")},
        {"exactly15bytes_", std::string("EXACTLY15BYTES_")},
        {"sixteen-bytes-xx", std::nullopt},
        {"alfa.local", std::nullopt},
        {"", std::nullopt},
        {"caf€", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(netbios::OemName(row.name, Cp850()), row.oem) << row.name;
    }
    // RFC 1001, 14.1: "FRED" with blanks and suffix 0x20.
    EXPECT_EQ(netbios::EncodeName("FRED", 0x20), "EGFCEFEECACACACACACACACACACACACA");
    const auto decoded = netbios::DecodeName("EGFCEFEECACACACACACACACACACACACA");
    ASSERT_TRUE(decoded);
    EXPECT_EQ((*decoded)[0], 'F');
    EXPECT_EQ((*decoded)[15], 0x20);
    EXPECT_FALSE(netbios::DecodeName("EGFCEFEECACACACACACACACACACACAC"));
    EXPECT_FALSE(netbios::DecodeName("ZGFCEFEECACACACACACACACACACACACA"));
}

TEST(NetbiosNames, NameQueryAndItsAnswers) {
    const auto query = netbios::NameQuery(0x0101, "Recepção", netbios::kServer, true, Cp850());
    ASSERT_TRUE(query);
    const auto asked = dns::Read(*query, {0x0101, false});
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->flags, dns::kFlagRecursionDesired | dns::kFlagBroadcast);
    EXPECT_EQ(asked->questions.at(0).type, dns::kTypeNb);
    const auto bytes = netbios::DecodeName(asked->questions.at(0).name);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 8), "RECEP\x80\xC7O");

    const std::string oem = "RECEP\x80\xC7O";
    const auto positive =
        netbios::NameQueryResponse(0x0101, oem, netbios::kServer, {{10, 0, 0, 7}, {10, 0, 0, 7}});
    const auto answer =
        netbios::ReadNameQueryAnswer(positive, 0x0101, "recepção", netbios::kServer, Cp850());
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->positive);
    EXPECT_EQ(answer->addresses, (std::vector<Ipv4>{{10, 0, 0, 7}}));

    EXPECT_FALSE(
        netbios::ReadNameQueryAnswer(positive, 0x0102, "recepção", netbios::kServer, Cp850()))
        << "another transaction";
    EXPECT_FALSE(
        netbios::ReadNameQueryAnswer(positive, 0x0101, "recepcao", netbios::kServer, Cp850()))
        << "another name";
    EXPECT_FALSE(
        netbios::ReadNameQueryAnswer(positive, 0x0101, "recepção", netbios::kWorkstation, Cp850()))
        << "another suffix";
    EXPECT_FALSE(
        netbios::ReadNameQueryAnswer(*query, 0x0101, "recepção", netbios::kServer, Cp850()))
        << "a query is no answer";

    Bytes negative = positive;
    negative[3] = 0x03;
    const auto refused =
        netbios::ReadNameQueryAnswer(negative, 0x0101, "recepção", netbios::kServer, Cp850());
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->positive);
    EXPECT_TRUE(refused->addresses.empty());
}

TEST(NetbiosNames, NodeStatusNameTable) {
    const auto request = netbios::NodeStatusRequest(0x2222);
    const auto asked = dns::Read(request, {0x2222, false});
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->questions.at(0).type, dns::kTypeNbstat);
    EXPECT_EQ(asked->flags, 0);
    const auto wildcard = netbios::DecodeName(asked->questions.at(0).name);
    ASSERT_TRUE(wildcard);
    EXPECT_EQ((*wildcard)[0], '*');
    EXPECT_EQ((*wildcard)[1], 0);
    EXPECT_EQ((*wildcard)[15], 0);

    const std::vector<netbios::NodeName> table = {
        {"RECEP\x80\xC7O", 0x20, false, 0x0400},
        {"ESCRIT\xE0RIO", 0x00, true, 0x8400},
        {"RECEP\x80\xC7O", 0x00, false, 0x0400},
        {"\x01\x02__MSBROWSE__", 0x01, true, 0x8400},
    };
    const auto response = netbios::NodeStatusResponse(0x2222, table);
    const auto status = netbios::ReadNodeStatus(response, 0x2222, Cp850());
    ASSERT_TRUE(status);
    ASSERT_EQ(status->names.size(), 4u);
    EXPECT_EQ(status->names[0].name, "RECEPÇÃO");
    EXPECT_EQ(status->names[0].suffix, 0x20);
    EXPECT_TRUE(status->names[1].group);
    EXPECT_EQ(status->Workstation(), "RECEPÇÃO");
    EXPECT_EQ(status->Workgroup(), "ESCRITÓRIO");
    EXPECT_FALSE(netbios::ReadNodeStatus(response, 0x2223, Cp850()));

    // A table that claims more names than its record holds ends where the
    // record does.
    Bytes truncated = response;
    const std::size_t count = truncated.size() - 46 - 4 * 18 - 1;
    truncated[count] = 200;
    const auto cut = netbios::ReadNodeStatus(truncated, 0x2222, Cp850());
    ASSERT_TRUE(cut);
    EXPECT_LE(cut->names.size(), 6u);
    EXPECT_EQ(cut->names[0].name, "RECEPÇÃO");
}

} // namespace
} // namespace vexor
