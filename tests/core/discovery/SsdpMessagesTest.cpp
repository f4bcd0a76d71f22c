// The M-SEARCH sent and the reading of the answers to it.
#include "core/discovery/SsdpMessages.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

TEST(SsdpMessages, SearchIsAnMSearchForEverythingAtTheGroup) {
    EXPECT_EQ(SsdpSearch(1), "M-SEARCH * HTTP/1.1\r\n"
                             "HOST: 239.255.255.250:1900\r\n"
                             "MAN: \"ssdp:discover\"\r\n"
                             "MX: 1\r\n"
                             "ST: ssdp:all\r\n"
                             "\r\n");
}

struct AnswerCase {
    const char* what;
    std::string datagram;
    // nullptr: not an answer.
    const char* location;
};

const std::string kStatus = "HTTP/1.1 200 OK\r\n";
const std::string kUrl = "http://10.0.0.5:8200/rootDesc.xml";

TEST(SsdpMessages, AnswersAreReadWithTheirLocation) {
    const AnswerCase cases[] = {
        {"a media server's answer",
         kStatus +
             "CACHE-CONTROL: max-age=1810\r\nDATE: Wed, 09 Dec 2026 00:00:00 GMT\r\nST: "
             "upnp:rootdevice\r\nUSN: uuid:4d696e69::upnp:rootdevice\r\nEXT:\r\nSERVER: "
             "Debian/12 DLNADOC/1.50 UPnP/1.0 MiniDLNA/1.3.0\r\nLOCATION: " +
             kUrl + "\r\nContent-Length: 0\r\n\r\n",
         "http://10.0.0.5:8200/rootDesc.xml"},
        {"header names in any case, blanks around the value",
         kStatus + "location:   \t" + kUrl + " \t\r\n\r\n", "http://10.0.0.5:8200/rootDesc.xml"},
        {"HTTP/1.0 and lines ended by LF alone", "HTTP/1.0 200 OK\nLocation: " + kUrl + "\n\n",
         "http://10.0.0.5:8200/rootDesc.xml"},
        {"a status line with no reason phrase", "HTTP/1.1 200\r\nLOCATION: " + kUrl + "\r\n\r\n",
         "http://10.0.0.5:8200/rootDesc.xml"},
        {"no empty line after the last header", kStatus + "LOCATION: " + kUrl,
         "http://10.0.0.5:8200/rootDesc.xml"},
        {"a folded LOCATION is joined by a blank, which no URL holds",
         kStatus + "LOCATION: http://10.0.0.5:8200/\r\n rootDesc.xml\r\n\r\n", ""},
        {"a folded header before LOCATION leaves it alone",
         kStatus + "SERVER: Linux/5.10\r\n\tUPnP/1.0 Box/2\r\nLOCATION: " + kUrl + "\r\n\r\n",
         "http://10.0.0.5:8200/rootDesc.xml"},
        {"no LOCATION: an answer without a description", kStatus + "ST: ssdp:all\r\n\r\n", ""},
        {"an empty LOCATION", kStatus + "LOCATION:\r\n\r\n", ""},
        {"LOCATION twice, the same",
         kStatus + "LOCATION: " + kUrl + "\r\nLOCATION: " + kUrl + "\r\n\r\n", ""},
        {"LOCATION twice, different",
         kStatus + "LOCATION: " + kUrl + "\r\nLocation: http://10.0.0.9/x.xml\r\n\r\n", ""},
        {"a LOCATION with a control character", kStatus + "LOCATION: " + kUrl + "\x1b[2J\r\n\r\n",
         ""},
        {"a LOCATION with bytes past ASCII", kStatus + "LOCATION: " + kUrl + "\xc3\xa9\r\n\r\n",
         ""},
        {"a LOCATION longer than any URL",
         kStatus + "LOCATION: " + kUrl + std::string(600, 'a') + "\r\n\r\n", ""},
        {"what follows the headers is not read",
         kStatus + "ST: ssdp:all\r\n\r\nLOCATION: " + kUrl + "\r\n", ""},
        {"a search, not an answer", "M-SEARCH * HTTP/1.1\r\nLOCATION: " + kUrl + "\r\n\r\n",
         nullptr},
        {"a NOTIFY, not an answer", "NOTIFY * HTTP/1.1\r\nLOCATION: " + kUrl + "\r\n\r\n", nullptr},
        {"another status", "HTTP/1.1 404 Not Found\r\nLOCATION: " + kUrl + "\r\n\r\n", nullptr},
        {"a status that only begins with 200", "HTTP/1.1 2000 OK\r\nLOCATION: " + kUrl + "\r\n\r\n",
         nullptr},
        {"another protocol", "HTTP/2.0 200 OK\r\nLOCATION: " + kUrl + "\r\n\r\n", nullptr},
        {"empty", "", nullptr},
        {"a fold before any header", kStatus + " LOCATION: " + kUrl + "\r\n\r\n", nullptr},
        {"a header line with no colon", kStatus + "LOCATION " + kUrl + "\r\n\r\n", nullptr},
        {"a header with an empty name", kStatus + ": x\r\nLOCATION: " + kUrl + "\r\n\r\n", nullptr},
        {"a header name with a blank", kStatus + "LOCA TION: " + kUrl + "\r\n\r\n", nullptr},
        {"a NUL inside the headers",
         kStatus + "SERVER: a" + std::string(1, '\0') + "b\r\nLOCATION: " + kUrl + "\r\n\r\n",
         nullptr},
        {"more headers than an answer has",
         [] {
             std::string many = kStatus;
             for (int i = 0; i < 65; ++i) {
                 many += "X-" + std::to_string(i) + ": y\r\n";
             }
             return many + "LOCATION: " + kUrl + "\r\n\r\n";
         }(),
         nullptr},
        {"longer than an answer is",
         kStatus + "LOCATION: " + kUrl + "\r\nX-PAD: " + std::string(kMaxSsdpAnswerBytes, 'p') +
             "\r\n\r\n",
         nullptr},
    };
    for (const AnswerCase& test : cases) {
        SCOPED_TRACE(test.what);
        const auto answer = ParseSsdpAnswer(test.datagram);
        if (test.location == nullptr) {
            EXPECT_FALSE(answer);
        } else {
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->location, test.location);
        }
    }
}

} // namespace
} // namespace vexor
