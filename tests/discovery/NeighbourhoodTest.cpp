#include "discovery/Neighbourhood.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using Groups = std::vector<std::pair<std::string, std::vector<std::string>>>;
constexpr auto kBrowse = MachineSource::BrowseList;
constexpr auto kWsd = MachineSource::WsDiscovery;
constexpr auto kDnsSd = MachineSource::DnsSd;

Groups Merged(const std::vector<FoundMachine>& found) {
    Groups groups;
    for (const auto& group : MergeNeighbourhood(found)) {
        groups.emplace_back(group.name, group.machines);
    }
    return groups;
}

TEST(Neighbourhood, MergesSourcesIntoOneOrderedListOfMachines) {
    const std::string other = kUngroupedName;
    const struct {
        const char* what;
        std::vector<FoundMachine> found;
        Groups expected;
    } cases[] = {
        {"every source empty", {}, {}},
        {"browse list order kept when already sorted",
         {{kBrowse, "ALFA", "GRUPOA"}, {kBrowse, "BETA", "GRUPOA"}, {kBrowse, "DELTA", "GRUPOB"}},
         {{"GRUPOA", {"ALFA", "BETA"}}, {"GRUPOB", {"DELTA"}}}},
        {"one machine from three sources is one line, named by the browse list",
         {{kDnsSd, "apolo.local", ""}, {kWsd, "Apolo", "CLASSICO"}, {kBrowse, "APOLO", "CLASSICO"}},
         {{"CLASSICO", {"APOLO"}}}},
        {"WS-Discovery's name and workgroup when the browse list lacks the machine",
         {{kDnsSd, "atena.local", ""}, {kWsd, "ATENA", "ESCRITORIO"}},
         {{"ESCRITORIO", {"ATENA"}}}},
        {"the browse list's workgroup wins over WS-Discovery's",
         {{kWsd, "ZEUS", "OUTRO"}, {kBrowse, "ZEUS", "EMPRESA"}},
         {{"EMPRESA", {"ZEUS"}}}},
        {"containers of one name in any case are one, spelt as the browse list does",
         {{kWsd, "hermes", "escritorio"}, {kBrowse, "ATENA", "ESCRITORIO"}},
         {{"ESCRITORIO", {"ATENA", "hermes"}}}},
        {"machines without a workgroup last, .local dropped, case-insensitive order",
         {{kDnsSd, "nas-sala.local", ""},
          {kWsd, "Estacao", ""},
          {kDnsSd, "zz.local.", ""},
          {kWsd, "b", "Zulu"},
          {kWsd, "a", "alfa"}},
         {{"alfa", {"a"}}, {"Zulu", {"b"}}, {other, {"Estacao", "nas-sala", "zz"}}}},
        {"a workgroup named like the last group shares it",
         {{kWsd, "m1", kUngroupedName}, {kDnsSd, "m2.local", ""}},
         {{other, {"m1", "m2"}}}},
        {"names cleaned of control characters; empty and oversized names dropped",
         {{kWsd, "MA\r\nQUINA", "G\tRUPO"},
          {kWsd, "", "X"},
          {kWsd, " \x01 ", "X"},
          {kWsd, std::string(10000, 'N'), "X"}},
         {{"GRUPO", {"MAQUINA"}}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Merged(c.found), c.expected) << c.what;
    }
}

TEST(Neighbourhood, NamesFromTheNetworkAreCleanText) {
    const struct {
        std::string name;
        std::optional<std::string> clean;
    } cases[] = {
        {"ESTAÇÃO-01", "ESTAÇÃO-01"},
        {"  sala\t2 ", "sala2"},
        // C1 controls, bidi overrides and invisible characters go.
        {"abc\u0085def\u009b", "abcdef"},
        {"\u202Etxt.exe", "txt.exe"},
        {"a\u200Bb\u200Fc\u2066d\u2069e\uFEFF", "abcde"},
        {"\u202A\u202B\u202C\u202D", std::nullopt},
        // Not UTF-8: the name is dropped, not mangled into another.
        {"caf\xe9", std::nullopt},
        {"\xc0\xaf", std::nullopt},
        {"\xed\xa0\x80", std::nullopt},
        {"\xf4\x90\x80\x80", std::nullopt},
        {"abc\xe2\x82", std::nullopt},
        // Characters beside the removed ones stay.
        {"\u2010hífen\u2070", "\u2010hífen\u2070"},
        // Every format character (Cf), line and paragraph separators, the tag
        // characters and the Hangul fillers go.
        {"a\u061Cb\u00ADc\u180Ed\u2028e\u2029f", "abcdef"},
        {"a\u0600b\u06DDc\u070Fd\u08E2e\uFFF9f\U000110BDg\U0001D173h", "abcdefgh"},
        {"PC\U000E0001\U000E0050\U000E0043\U000E007F", "PC"},
        {"\u115F\u1160\u3164\uFFA0", std::nullopt},
        {"\u3164ALFA\uFFA0", "ALFA"},
        // Every blank is a space, a run of them one: a name of blanks and a
        // false address cannot line up as another machine's line.
        {"ALFA               10.0.0.9", "ALFA 10.0.0.9"},
        {"a\u00A0b\u2003\u2009c\u3000d\u1680e\u202F\u205Ff", "a b c d e f"},
        {"\u00A0\u2000 \u3000", std::nullopt},
        {"a \u200B b", "a b"},
        {"\u3000\u3000sala\u00A0\u00A0", "sala"},
        // Letters that look blank but are not blanks stay.
        {"a\u2800b", "a\u2800b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CleanNetworkName(c.name), c.clean) << c.name;
    }
    // A workgroup is cleaned the same way; a machine of a bad one has none.
    EXPECT_EQ(Merged({{kBrowse, "A", "GRU\u202EPO"}, {kBrowse, "B", "x\xff"}}),
              (Groups{{"GRUPO", {"A"}}, {kUngroupedName, {"B"}}}));
}

} // namespace
} // namespace vexor
