#include "backends/posix/ResolvConf.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

TEST(ResolvConf, NameserverLinesInOrder) {
    const struct {
        const char* what;
        const char* text;
        std::vector<Ipv4> servers;
    } cases[] = {
        {"empty", "", {}},
        {"one", "nameserver 10.0.0.53\n", {{10, 0, 0, 53}}},
        {"several, with search and options, in order",
         "# generated\nsearch corp.example\nnameserver 192.168.1.1\noptions ndots:2\n"
         "nameserver\t10.0.0.53 \nnameserver 127.0.0.53",
         {{192, 168, 1, 1}, {10, 0, 0, 53}, {127, 0, 0, 53}}},
        {"IPv6 servers skipped", "nameserver fe80::1%eth0\nnameserver 10.1.1.1\n", {{10, 1, 1, 1}}},
        {"malformed addresses skipped",
         "nameserver 10.0.0\nnameserver 300.1.1.1\nnameserver 10.0.0.1x\nnameserver\n",
         {}},
        {"a comment is not a server", "#nameserver 10.9.9.9\n; nameserver 10.8.8.8\n", {}},
        {"a keyword must be the whole word", "nameservers 10.0.0.1\nxnameserver 10.0.0.2\n", {}},
        {"a server named twice once",
         "nameserver 10.0.0.1\nnameserver 10.0.0.1\n",
         {{10, 0, 0, 1}}},
        {"CRLF line ends", "nameserver 10.0.0.7\r\n", {{10, 0, 0, 7}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNameservers(c.text), c.servers) << c.what;
    }
}

} // namespace
} // namespace vexor
