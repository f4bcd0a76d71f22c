// The friendlyName of a device description, through the system's own XML reader.
#include "core/discovery/SsdpDescription.h"
#include "TestXmlReader.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

std::string Root(const std::string& inside) {
    return "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>0</minor></specVersion>" +
           inside + "</root>";
}

struct DescriptionCase {
    const char* what;
    std::string document;
    // nullptr: no name.
    const char* name;
    // What a lenient reader may give instead (Wine's XmlLite passes an
    // undeclared entity through as its literal text, never expanded).
    const char* orLiterally = nullptr;
};

TEST(SsdpDescription, FriendlyNameOfTheRootDevice) {
    const std::string nested =
        "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
        "<friendlyName>WANDevice</friendlyName></device></deviceList>";
    const DescriptionCase cases[] = {
        {"a media server",
         Root("<device><deviceType>urn:schemas-upnp-org:device:MediaServer:1"
              "</deviceType><friendlyName>Filmes da Sala</friendlyName>"
              "<manufacturer>Fabricante</manufacturer></device>"),
         "Filmes da Sala"},
        {"blanks and lines around the name",
         Root("<device><friendlyName>\n  Roteador  \n</friendlyName></device>"), "Roteador"},
        {"a prefixed namespace",
         "<u:root xmlns:u=\"urn:schemas-upnp-org:device-1-0\"><u:device><u:friendlyName>TV"
         "</u:friendlyName></u:device></u:root>",
         "TV"},
        {"the root device's name after its nested devices",
         Root("<device>" + nested + "<friendlyName>Gateway</friendlyName></device>"), "Gateway"},
        {"the nested devices' names are not the root's", Root("<device>" + nested + "</device>"),
         nullptr},
        {"no friendlyName", Root("<device><deviceType>x</deviceType></device>"), nullptr},
        {"an empty friendlyName", Root("<device><friendlyName></friendlyName></device>"), nullptr},
        {"a friendlyName of blanks", Root("<device><friendlyName> \n\t</friendlyName></device>"),
         nullptr},
        {"a self-closed friendlyName", Root("<device><friendlyName/></device>"), nullptr},
        {"a friendlyName holding an element",
         Root("<device><friendlyName>a<b>c</b></friendlyName></device>"), nullptr},
        {"a friendlyName beside the device, not in it",
         Root("<friendlyName>Fora</friendlyName><device/>"), nullptr},
        {"only the first device of the root counts",
         Root("<device/><device><friendlyName>Segundo</friendlyName></device>"), nullptr},
        {"a friendlyName in another namespace",
         Root("<device><friendlyName xmlns=\"urn:other\">Outro</friendlyName></device>"), nullptr},
        {"a description without the UPnP namespace",
         "<root><device><friendlyName>Sem</friendlyName></device></root>", nullptr},
        {"another document element",
         "<html xmlns=\"urn:schemas-upnp-org:device-1-0\"><device><friendlyName>X</friendlyName>"
         "</device></html>",
         nullptr},
        {"the predefined entities and character references are text",
         Root("<device><friendlyName>Sala &amp; Cozinha &#x4E;</friendlyName></device>"),
         "Sala & Cozinha N"},
        {"CDATA is text", Root("<device><friendlyName><![CDATA[A<B]]></friendlyName></device>"),
         "A<B"},
        {"an undeclared entity", Root("<device><friendlyName>&nome;</friendlyName></device>"),
         nullptr, "&nome;"},
        {"a DOCTYPE with an internal entity",
         "<?xml version=\"1.0\"?><!DOCTYPE root [<!ENTITY n \"Expandido\">]>"
         "<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><device><friendlyName>&n;"
         "</friendlyName></device></root>",
         nullptr},
        {"a DOCTYPE with an external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE root SYSTEM \"file:///etc/passwd\">"
         "<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><device><friendlyName>X"
         "</friendlyName></device></root>",
         nullptr},
        {"malformed before the name",
         Root("<device><deviceType>x</device><friendlyName>X</friendlyName></device>"), nullptr},
        {"cut before the name ends", Root("<device><friendlyName>Cortado"), nullptr},
        {"nested deeper than a description",
         [] {
             std::string deep;
             for (int i = 0; i < 40; ++i) {
                 deep += "<x>";
             }
             for (int i = 0; i < 40; ++i) {
                 deep += "</x>";
             }
             return Root(deep + "<device><friendlyName>Fundo</friendlyName></device>");
         }(),
         nullptr},
        {"a name longer than any name",
         Root("<device><friendlyName>" + std::string(5000, 'n') + "</friendlyName></device>"),
         nullptr},
        {"not XML", "LOCATION: http://10.0.0.5/", nullptr},
        {"empty", "", nullptr},
    };
    for (const DescriptionCase& test : cases) {
        SCOPED_TRACE(test.what);
        const auto name = ReadFriendlyName(testing::SystemXmlReader(), test.document);
        if (test.name == nullptr) {
            EXPECT_TRUE(!name || (test.orLiterally && *name == test.orLiterally)) << *name;
        } else {
            EXPECT_EQ(name.value_or("<none>"), test.name);
        }
    }
}

} // namespace
} // namespace vexor
