#include "base/DottedQuad.h"
#include "base/RandomBits.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vexor {
namespace {

// Only the plain form of a literal is an address: what other parsers read as
// octal, hexadecimal or a shortened form is a name, and so never connected to.
TEST(DottedQuad, ReadsOnlyFourPlainDecimalParts) {
    struct Case {
        std::string text;
        std::optional<Ipv4> address;
    } cases[] = {
        {"10.211.74.100", Ipv4{10, 211, 74, 100}},
        {"0.0.0.0", Ipv4{0, 0, 0, 0}},
        {"255.255.255.255", Ipv4{255, 255, 255, 255}},
        {"256.1.1.1", std::nullopt},
        {"1.1.1.0256", std::nullopt},
        {"1234.1.1.1", std::nullopt},
        {"010.1.1.1", std::nullopt},
        {"0x7f.0.0.1", std::nullopt},
        {"127.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {".1.2.3", std::nullopt},
        {"1..2.3", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"+1.2.3.4", std::nullopt},
        {"1.2.3.-4", std::nullopt},
        {"", std::nullopt},
        {"APOLO", std::nullopt},
        {std::string("1.2.3.4\0", 8), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDottedQuad(c.text), c.address) << c.text;
    }
}

// Every value of a narrow range is reached and none outside it, at the edges
// of the 64-bit range too; a wide range is not drawn from a few values.
TEST(RandomBits, DrawsStayWithinTheirRangeAndCoverIt) {
    struct Case {
        std::uint64_t low;
        std::uint64_t high;
        std::size_t leastDistinct;
    } cases[] = {
        {1, 1, 1},
        {0, 1, 2},
        {0xFFFFFFFFFFFFFFFEULL, 0xFFFFFFFFFFFFFFFFULL, 2},
        {1, 0xFFFF, 1900},
    };
    for (const auto& c : cases) {
        std::set<std::uint64_t> seen;
        for (int i = 0; i < 2000; ++i) {
            const std::uint64_t value = RandomBetween(c.low, c.high);
            ASSERT_GE(value, c.low);
            ASSERT_LE(value, c.high);
            seen.insert(value);
        }
        EXPECT_GE(seen.size(), c.leastDistinct) << c.low << ".." << c.high;
    }
    std::set<std::uint64_t> bits;
    for (int i = 0; i < 64; ++i) {
        bits.insert(RandomBits());
    }
    EXPECT_EQ(bits.size(), 64u) << "64 draws of 64 bits repeated one";
}

} // namespace
} // namespace vexor
