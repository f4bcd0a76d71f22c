#include "core/discovery/WsdMessages.h"
#include "TestXmlReader.h"
#include "core/discovery/XmlFields.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using testing::DiscoveryData;
using testing::SystemXmlReader;

const std::string kEndpoint = "urn:uuid:11111111-2222-3333-4444-555555555555";

std::string Reply(const std::string& action, const std::string& body) {
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
           "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Header><a:Action>"
           "http://schemas.xmlsoap.org/ws/2005/04/discovery/" +
           action +
           "</a:Action><a:MessageID>urn:uuid:m</a:MessageID><a:RelatesTo>urn:uuid:p"
           "</a:RelatesTo></s:Header><s:Body>" +
           body + "</s:Body></s:Envelope>";
}

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<x>";
        close += "</x>";
    }
    return open + close;
}

TEST(WsdMessages, CapturedRepliesAreRead) {
    const auto probe = ParseWsdReply(SystemXmlReader(), DiscoveryData("wsdd-probe-matches.xml"));
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->relatesTo, "urn:uuid:3ff71afb-382f-46d6-99d5-41fbe9263c57");
    EXPECT_EQ(probe->messageId, "urn:uuid:de67fb08-f2de-11f1-8639-8a2b798e4f8c");
    ASSERT_EQ(probe->matches.size(), 1u);
    EXPECT_EQ(probe->matches[0].endpoint, kEndpoint);
    EXPECT_EQ(probe->matches[0].types, (std::vector<std::string>{"wsdp:Device", "pub:Computer"}));
    EXPECT_TRUE(probe->matches[0].xaddrs.empty());

    const auto resolve =
        ParseWsdReply(SystemXmlReader(), DiscoveryData("wsdd-resolve-matches.xml"));
    ASSERT_TRUE(resolve);
    ASSERT_EQ(resolve->matches.size(), 1u);
    EXPECT_EQ(resolve->matches[0].xaddrs,
              std::vector<std::string>{"http://10.211.79.11:5357/" + kEndpoint.substr(9)});

    EXPECT_EQ(ParseMetadataComputer(SystemXmlReader(), DiscoveryData("wsdd-get-response.xml")),
              "ATENA/Workgroup:ESCRITORIO");
}

TEST(WsdMessages, HostileAndForeignDocumentsAreRefused) {
    const std::string match = "<d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>" +
                              kEndpoint + "</a:Address></a:EndpointReference></d:ProbeMatch>";
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
        Reply("ProbeMatches", "<d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>&c;"
                              "</a:Address></a:EndpointReference></d:ProbeMatch></d:ProbeMatches>")
            .substr(21);
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>" +
        Reply("ProbeMatches", "<d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>&e;"
                              "</a:Address></a:EndpointReference></d:ProbeMatch></d:ProbeMatches>")
            .substr(21);
    const struct {
        const char* what;
        std::string document;
    } cases[] = {
        {"an entity bomb", bomb},
        {"an external entity", external},
        {"a document cut short", Reply("ProbeMatches", match + "</d:ProbeMatches>").substr(0, 400)},
        {"a text of 100,000 bytes",
         Reply("ProbeMatches",
               match + "<d:Types>" + std::string(100000, 'x') + "</d:Types></d:ProbeMatches>")},
        {"elements nested 100 deep",
         Reply("ProbeMatches", match + Nested(100) + "</d:ProbeMatches>")},
        {"another action", Reply("Hello", match + "</d:ProbeMatches>")},
        {"not XML", std::string("\x00\xff\x10 garbage", 12)},
        {"nothing", ""},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ParseWsdReply(SystemXmlReader(), c.document)) << c.what;
    }
    // A match with no endpoint is dropped; the one beside it is kept.
    const auto kept = ParseWsdReply(
        SystemXmlReader(),
        Reply("ProbeMatches", "<d:ProbeMatches><d:ProbeMatch><d:Types>x</d:Types></d:ProbeMatch>" +
                                  match.substr(16) + "</d:ProbeMatches>"));
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->matches.size(), 1u);
    EXPECT_EQ(kept->matches[0].endpoint, kEndpoint);
    // A printer's metadata names no computer.
    EXPECT_FALSE(ParseMetadataComputer(SystemXmlReader(),
                                       Reply("x", "<wsdp:Relationship xmlns:wsdp=\"http://schemas."
                                                  "xmlsoap.org/ws/2006/02/devprof\"><wsdp:Host>"
                                                  "<wsdp:Types>prn:PrinterServiceType</wsdp:Types>"
                                                  "</wsdp:Host></wsdp:Relationship>")));
}

TEST(WsdMessages, OurMessagesAreWellFormedAndEscapeThePeersText) {
    const std::string hostile = "urn:uuid:x</a:Address><evil/>&";
    for (const std::string& message :
         {WsdProbe(NewMessageId()), WsdResolve(NewMessageId(), hostile),
          WsdGetMetadata(NewMessageId(), hostile)}) {
        const auto fields = ReadXmlFields(SystemXmlReader(), message);
        ASSERT_TRUE(fields) << message;
        for (const auto& field : *fields) {
            EXPECT_EQ(field.element->name.find("evil"), std::string::npos) << message;
        }
    }
    const auto probe = *ReadXmlFields(SystemXmlReader(), WsdProbe("urn:uuid:1"));
    EXPECT_EQ(probe.back().text, "wsdp:Device");
    EXPECT_EQ(NewMessageId().size(), 45u);
    EXPECT_NE(NewMessageId(), NewMessageId());
}

// One datagram that would cost gigabytes if every field copied its whole path:
// a namespace URI of 36 KB over 4,000 empty elements 30 deep.
TEST(WsdMessages, ThePathBombIsRefusedAndPathsAreShared) {
    const std::string uri = "http://x/" + std::string(36 * 1024, 'a');
    std::string bomb = "<r xmlns=\"" + uri + "\">";
    for (int depth = 0; depth < 29; ++depth) {
        bomb += "<d>";
    }
    for (int i = 0; i < 4000; ++i) {
        bomb += "<e/>";
    }
    for (int depth = 0; depth < 29; ++depth) {
        bomb += "</d>";
    }
    bomb += "</r>";
    EXPECT_FALSE(ReadXmlFields(SystemXmlReader(), bomb));
    EXPECT_FALSE(ParseWsdReply(SystemXmlReader(), bomb));

    // The same shape with a short URI reads, each ancestor held once.
    const std::string shallow = bomb.substr(0, 10) + "http://x/" + bomb.substr(10 + uri.size());
    const auto fields = ReadXmlFields(SystemXmlReader(), shallow);
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 1u + 29u + 4000u);
    const XmlField& leaf = fields->back();
    EXPECT_EQ(leaf.element->parent.get(), (*fields)[29].element.get());
    EXPECT_EQ((*fields)[29].element.use_count(), 4001);
    EXPECT_TRUE(PathEndsWith(leaf, {"http://x/ d", "http://x/ e"}));
    EXPECT_FALSE(PathEndsWith(leaf, {"http://x/ e", "http://x/ e"}));
}

TEST(WsdMessages, ComputerTextsAndAddressesAreRead) {
    const struct {
        const char* text;
        const char* name;
        const char* workgroup;
    } computers[] = {
        {"ATENA/Workgroup:ESCRITORIO", "ATENA", "ESCRITORIO"},
        {"zeus/Domain:EMPRESA", "zeus", "EMPRESA"},
        {"HERMES/NotJoined", "HERMES", ""},
        {"SOZINHO", "SOZINHO", ""},
        {"/Workgroup:G", "", "G"},
    };
    for (const auto& c : computers) {
        const WsdComputer parsed = ParseComputerText(c.text);
        EXPECT_EQ(parsed.name, c.name) << c.text;
        EXPECT_EQ(parsed.workgroup, c.workgroup) << c.text;
    }
    // Only a plain http:// URL at the very address the message came from is fetched.
    const Ipv4 from{10, 211, 79, 11};
    const struct {
        const char* url;
        bool usable;
    } urls[] = {
        {"http://10.211.79.11:5357/uuid", true},
        {"http://10.211.79.11/", true},
        {"http://10.211.79.11:5357", true},
        {"http://10.211.79.11", true},
        {"http://10.211.79.12:5357/", false},
        {"http://127.0.0.1:5357/", false},
        {"http://10.211.79.99:80@10.211.79.11:5357/", false},
        {"http://user@10.211.79.11/", false},
        {"http://atena:5357/", false},
        {"http://10.211.79.11:0/", false},
        {"http://10.211.79.11:65536/", false},
        {"http://10.211.79.11:/", false},
        {"http://10.211.79.11:53a7/", false},
        {"https://10.211.79.11/", false},
        {"http://[fe80::1]:5357/", false},
        {"http://10.211.79.011/", false},
        {"http://10.211.79.11.5/", false},
        {"soap.udp://10.211.79.11:3702", false},
    };
    for (const auto& c : urls) {
        EXPECT_EQ(UsableXaddr({c.url}, from).has_value(), c.usable) << c.url;
    }
    EXPECT_EQ(
        UsableXaddr({"https://10.211.79.11/", "http://10.211.79.11/a", "http://10.211.79.11/b"},
                    from),
        "http://10.211.79.11/a");
    // A peer whose own address is loopback (a packet from this machine) is not fetched.
    EXPECT_EQ(UsableXaddr({"http://127.0.0.1/"}, {127, 0, 0, 1}), std::nullopt);
}

} // namespace
} // namespace vexor
