#include "FakeSockets.h"
#include "core/resolver/clsIPHostResolver.h"

#include <gtest/gtest.h>

#include <memory>

namespace vexor {
namespace {

using fakes::FakeSockets;

TEST(Resolver, NotReadyGivesEmptyResultsWithoutLookups) {
    FakeSockets sockets;
    sockets.startupResult = 10091;
    sockets.hostsByName["server"] = {"server", {{10, 0, 0, 1}}};
    sockets.namesByAddress[{10, 0, 0, 1}] = "server";
    {
        clsIPHostResolver resolver(sockets);
        EXPECT_FALSE(resolver.socketsReady());
        EXPECT_EQ(resolver.NameToAddress("server"), "");
        EXPECT_EQ(resolver.AddressToName("10.0.0.1"), "");
    }
    EXPECT_EQ(sockets.calls, (std::vector<std::string>{"startup:257"}));
}

TEST(Resolver, NameToAddress) {
    FakeSockets sockets;
    sockets.hostsByName["multi"] = {"multi", {{192, 0, 2, 7}, {192, 0, 2, 8}, {10, 1, 1, 1}}};
    sockets.hostsByName["empty"] = {"empty", {}};
    sockets.hostsByName["zero-length"] = {"zero-length", {{1, 2, 3, 4}}, 0};
    sockets.hostsByName[" spaced "] = {"spaced", {{10, 9, 9, 9}}};
    clsIPHostResolver resolver(sockets);

    const struct {
        std::string name;
        std::string expected;
    } cases[] = {
        {"multi", "192.0.2.7"},   {"empty", ""}, {"zero-length", ""}, {"missing", ""},
        {" spaced ", "10.9.9.9"}, {"MULTI", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolver.NameToAddress(c.name), c.expected) << c.name;
        // The name reaches the library unchanged: no trimming, no change of case.
        EXPECT_EQ(sockets.calls.back(), "hostByName:" + c.name);
    }
}

TEST(Resolver, AddressToName) {
    FakeSockets sockets;
    sockets.namesByAddress[{192, 168, 0, 1}] = "gateway";
    sockets.namesByAddress[{1, 2, 3, 9}] = "fold";
    sockets.namesByAddress[{10, 0, 0, 1}] = std::string(300, 'n');
    clsIPHostResolver resolver(sockets);

    const struct {
        std::string address;
        std::string expected;
        std::string lookup; // empty: no lookup may be made
    } cases[] = {
        {"192.168.0.1", "gateway", "hostByAddr:192.168.0.1/4/2"},
        {"1.2.3.4.5", "fold", "hostByAddr:1.2.3.9/4/2"},
        {"10.0.0.1", std::string(255, 'n'), "hostByAddr:10.0.0.1/4/2"},
        {"192.0.2.1", "", "hostByAddr:192.0.2.1/4/2"},
        {"gateway", "", ""},
        {"1.2.3", "", ""},
        {"1.2.3.256", "", ""},
    };
    for (const auto& c : cases) {
        sockets.calls.clear();
        EXPECT_EQ(resolver.AddressToName(c.address), c.expected) << c.address;
        if (c.lookup.empty()) {
            EXPECT_TRUE(sockets.calls.empty()) << c.address;
        } else {
            EXPECT_EQ(sockets.calls, std::vector<std::string>{c.lookup}) << c.address;
        }
    }
}

TEST(Resolver, EachInstanceStartsAndCleansUpOnce) {
    FakeSockets sockets;
    {
        auto first = std::make_unique<clsIPHostResolver>(sockets);
        auto second = std::make_unique<clsIPHostResolver>(sockets);
        EXPECT_EQ(sockets.count("startup"), 2);
        EXPECT_EQ(sockets.count("cleanup"), 0);
        first.reset();
        EXPECT_EQ(sockets.count("cleanup"), 1);
    }
    EXPECT_EQ(sockets.count("cleanup"), 2);
    EXPECT_EQ(sockets.calls,
              (std::vector<std::string>{"startup:257", "startup:257", "cleanup", "cleanup"}));
}

} // namespace
} // namespace vexor
