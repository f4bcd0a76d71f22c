#include "core/resolver/AddressText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexor {
namespace {

TEST(AddressText, IsIPAddress) {
    const struct {
        std::string text;
        bool expected;
    } cases[] = {
        {"192.168.0.1", true},     {"0.0.0.0", true},    {"010.1.1.1", true},  {"1.2.3.4.5", true},
        {"255.255.255.255", true}, {"1.2.3", false},     {"1.2.3.256", false}, {"1..3.4", false},
        {"1.2.3.4.", false},       {".1.2.3", false},    {"a.b.c.d", false},   {"", false},
        {" 1.2.3.4", false},       {"1.2.3.+4", false},  {"1.2.3.0x1", false}, {"1.2.3.1e2", false},
        {"1.2.3.-0", false},       {"0001.2.3.4", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsIPAddress(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(AddressText, IPAddressToLong) {
    const struct {
        std::string text;
        std::int32_t expected;
    } cases[] = {
        {"192.168.0.1", 16820416},
        {"127.0.0.1", 16777343},
        {"010.1.1.1", 16843018},
        {"10.0.0.200", -939524086},
        {"255.255.255.255", -1},
        {"0.0.0.128", -2147483647 - 1},
        {"0.0.0.127", 2130706432},
        {"1.2.3.4.5", 151192065},
        {"0.0.0.0.1.0", 0},
        {"1.2.3.4.1.0", 0},
        {"1.2.3.4.0.0", 67305985},
        {"", 0},
        {"1.x.3.4", 0},
        {"5", 83886080},
        // Zeros past the 128th part weigh nothing, however large their weight.
        {[] {
             std::string text = "1.2.3.4";
             for (int i = 0; i < 130; ++i) {
                 text += ".0";
             }
             return text + ".5";
         }(),
         151192065},
        {"99999999999999999999999.0.0.1", 0},
        {"0.0.0.99999999999999999999999", 0},
        {"0000000000000000000000000.0.0.1", 16777216},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IPAddressToLong(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(AddressText, BytesToIPAddress) {
    const struct {
        std::vector<unsigned char> bytes;
        std::string expected;
    } cases[] = {
        {{0xC0, 0xA8, 0x00, 0x01}, "192.168.0.1"},
        {{0x0A, 0x00, 0x00, 0x05}, "10.0.0.5"},
        {{0x00, 0x00, 0x00, 0x00}, "0.0.0.0"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "255.255.255.255"},
        {{0x01, 0x02}, "1.2"},
        {{0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         "32.1.13.184.0.0.0.0.0.0.0.0.0.0.0.1"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesToIPAddress(c.bytes.data(), static_cast<int>(c.bytes.size())), c.expected);
    }
    const unsigned char any[] = {1, 2, 3, 4};
    EXPECT_EQ(BytesToIPAddress(any, -1), "");
}

TEST(AddressText, TrimAtNull) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"abc\0def"s, "abc"}, {"abc", "abc"}, {"\0abc"s, ""}, {"", ""}, {"a\0\0"s, "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimAtNull(c.text), c.expected);
    }
}

TEST(AddressText, AddressListWalk) {
    unsigned char a[] = {10, 0, 0, 1};
    unsigned char b[] = {10, 0, 0, 2};
    unsigned char c[] = {192, 0, 2, 3};
    char* three[] = {reinterpret_cast<char*>(a), reinterpret_cast<char*>(b),
                     reinterpret_cast<char*>(c), nullptr};
    char* none[] = {nullptr};
    HostEnt record{nullptr, nullptr, kAfInet, 4, three};
    EXPECT_EQ(HostAddresses(record),
              (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "192.0.2.3"}));
    EXPECT_EQ(FirstHostAddress(record), "10.0.0.1");

    record.h_addr_list = none;
    EXPECT_TRUE(HostAddresses(record).empty());
    EXPECT_EQ(FirstHostAddress(record), "");

    record.h_addr_list = nullptr;
    EXPECT_TRUE(HostAddresses(record).empty());
    EXPECT_EQ(FirstHostAddress(record), "");
}

} // namespace
} // namespace vexor
