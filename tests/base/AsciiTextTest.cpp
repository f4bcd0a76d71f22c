#include "base/AsciiText.h"

#include <gtest/gtest.h>

#include <string>

namespace vexor {
namespace {

// Bytes outside ASCII are never folded: a UTF-8 name keeps its accents, and
// no locale turns "I" into a dotless i.
TEST(AsciiText, FoldsOnlyAsciiLetters) {
    struct Case {
        std::string a;
        std::string b;
        bool equal;
    } cases[] = {
        {"LOCATION", "location", true},
        {"Location", "LOCATIONS", false},
        {"", "", true},
        {"RECEPÇÃO", "recepÇÃo", true},
        {"RECEPÇÃO", "recepção", false},
        {"ALFA.LOCAL", "alfa.local", true},
        {"[", "{", false},
        {"@", "`", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(AsciiLower(c.a) == AsciiLower(c.b), c.equal) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(ContainsIgnoringCase("Docker Bridge veth0", "BRIDGE"));
    EXPECT_FALSE(ContainsIgnoringCase("eth0", "bridge"));
    EXPECT_TRUE(ContainsIgnoringCase("eth0", ""));
}

TEST(AsciiText, TrimsOnlyTheBlanksItIsGiven) {
    struct Case {
        std::string text;
        std::string blanks;
        std::string trimmed;
    } cases[] = {
        {"  nome \t\r\n", std::string(kBlanks), "nome"},
        {" \t\r\n", std::string(kBlanks), ""},
        {"", std::string(kBlanks), ""},
        {"a b", std::string(kBlanks), "a b"},
        // A header's value keeps a stray CR, for the checks to refuse.
        {" http://10.0.0.1/\r", " \t", "http://10.0.0.1/\r"},
        {"\t x \t", " \t", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimBlanks(c.text, c.blanks), c.trimmed) << c.text;
    }
}

} // namespace
} // namespace vexor
