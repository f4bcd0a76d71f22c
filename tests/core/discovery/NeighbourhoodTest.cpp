#include "core/discovery/Neighbourhood.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using Groups = std::vector<std::pair<std::string, std::vector<std::string>>>;
constexpr auto kBrowse = MachineSource::BrowseList;
constexpr auto kWsd = MachineSource::WsDiscovery;
constexpr auto kDnsSd = MachineSource::DnsSd;
constexpr auto kSsdp = MachineSource::Ssdp;
constexpr auto kSweep = MachineSource::Sweep;

// Every line as "GROUP|name|address" ("-" for a line with no address).
std::vector<std::string> Lines(const std::vector<FoundMachine>& found,
                               const MergeContext& context = {}) {
    std::vector<std::string> lines;
    for (const auto& group : MergeNeighbourhood(found, context)) {
        for (const auto& machine : group.machines) {
            lines.push_back(group.name + "|" + machine.name + "|" +
                            (machine.address == Ipv4{} ? "-" : DottedAddress(machine.address)));
        }
    }
    return lines;
}

Ipv4 At(std::uint8_t last) {
    return {10, 71, 0, last};
}

Groups Merged(const std::vector<FoundMachine>& found) {
    Groups groups;
    for (const auto& group : MergeNeighbourhood(found)) {
        std::vector<std::string> names;
        for (const auto& machine : group.machines) {
            names.push_back(machine.name);
        }
        groups.emplace_back(group.name, names);
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
        {"a blank before \".local\" goes with it",
         {{kDnsSd, "caixa  .local", ""}, {kDnsSd, "CAIXA.LOCAL.", ""}},
         {{other, {"caixa"}}}},
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

TEST(Neighbourhood, MachinesMergeByAddressAndAreNamedByPrecedence) {
    const std::string other = kUngroupedName;
    using Names = std::vector<AddressName>;
    constexpr auto kNodeStatus = NameOrigin::NodeStatus;
    constexpr auto kPtr = NameOrigin::Ptr;
    constexpr auto kMdns = NameOrigin::MdnsReverse;
    std::vector<FoundMachine> flood;
    for (int i = 0; i < 200; ++i) {
        flood.push_back({kWsd, "FALSO" + std::to_string(1000 - i), "INVASOR", At(66)});
    }
    const struct {
        const char* what;
        std::vector<FoundMachine> found;
        MergeContext context;
        std::vector<std::string> expected;
    } cases[] = {
        {"a machine nothing names is its dotted address, with the machines of no workgroup",
         {{kSweep, "", "", At(50)}, {kWsd, "SERVIDOR", "GRUPO", At(2)}},
         {},
         {"GRUPO|SERVIDOR|10.71.0.2", other + "|10.71.0.50|10.71.0.50"}},
        {"a swept machine goes under its node status's workgroup",
         {{kSweep, "RECEPÇÃO", "ESCRITORIO", At(7)}, {kSweep, "SEMGRUPO", "", At(8)}},
         {},
         {"ESCRITORIO|RECEPÇÃO|10.71.0.7", other + "|SEMGRUPO|10.71.0.8"}},
        {"an announced name wins over node status, PTR and mDNS; the machine stays grouped as "
         "it announces itself, not by its node status",
         {{kSweep, "SRV-NB", "GRUPO", At(3)},
          {kDnsSd, "servidor.local", "", At(3)},
          {kWsd, "", "EMPRESA", At(16)},
          {kSweep, "", "NB", At(16)}},
         {Names{{At(3), kPtr, "srv-dns", ""}, {At(3), kMdns, "srv-mdns", ""}}, {}},
         {"EMPRESA|10.71.0.16|10.71.0.16", other + "|servidor|10.71.0.3"}},
        {"the browse list's workgroup wins over node status's",
         {{kSweep, "ZEUS", "NB", At(4)}, {kBrowse, "ZEUS", "EMPRESA", {}}},
         {},
         {"EMPRESA|ZEUS|10.71.0.4"}},
        {"node status, then PTR, then mDNS reverse",
         {{kSweep, "", "", At(10)}, {kWsd, "", "", At(11)}, {kSweep, "", "", At(12)}},
         {Names{{At(10), kMdns, "linux", ""},
                {At(10), kPtr, "pc-dominio", ""},
                {At(11), kMdns, "caixa", ""},
                {At(12), kPtr, "velho-dns", ""},
                {At(12), kNodeStatus, "VELHO", "OFICINA"}},
          {}},
         {"OFICINA|VELHO|10.71.0.12", other + "|caixa|10.71.0.11",
          other + "|pc-dominio|10.71.0.10"}},
        {"SSDP's friendly name is announced: above node status",
         {{kSweep, "TV-NB", "", At(30)}, {kSsdp, "Televisão da sala", "", At(30)}},
         {},
         {other + "|Televisão da sala|10.71.0.30"}},
        // The round-3 hostile peer: its 200 names at one address are one line.
        {"many names at one address are one line, the first in alphabetical order",
         flood,
         {},
         {"INVASOR|FALSO1000|10.71.0.66"}},
        {"two machines that share a name keep their own addresses",
         {{kWsd, "PC", "G", At(6)}, {kWsd, "PC", "G", At(5)}},
         {},
         {"G|PC|10.71.0.5", "G|PC|10.71.0.6"}},
        {"a name without an address takes the one learnt for it",
         {{kBrowse, "ATENA", "ESCRITORIO", {}}, {kWsd, "atena", "OUTRO", At(12)}},
         {},
         {"ESCRITORIO|ATENA|10.71.0.12"}},
        {"a browse list name that node status gave for an address is that address's line",
         {{kBrowse, "RECEPCAO", "ESCRITORIO", {}}, {kSweep, "", "", At(9)}},
         {Names{{At(9), kNodeStatus, "recepcao", "ESCRITORIO"}}, {}},
         {"ESCRITORIO|RECEPCAO|10.71.0.9"}},
        {"names with no address anywhere still merge by name",
         {{kBrowse, "SOZINHO", "G", {}}, {kDnsSd, "sozinho.local", "", {}}},
         {},
         {"G|SOZINHO|-"}},
        {"the machine's own addresses are not listed",
         {{kSweep, "", "", At(1)}, {kWsd, "EU", "G", At(1)}, {kSweep, "", "", At(20)}},
         {Names{{At(1), kPtr, "eu", ""}}, {At(1)}},
         {other + "|10.71.0.20|10.71.0.20"}},
        {"dotted addresses in numeric order, before the names",
         {{kSweep, "", "", At(100)},
          {kSweep, "", "", At(9)},
          {kSweep, "", "", At(10)},
          {kSweep, "", "", {10, 71, 1, 2}},
          {kDnsSd, "alfa.local", "", At(40)},
          {kSweep, "", "", At(2)}},
         {},
         {other + "|10.71.0.2|10.71.0.2", other + "|10.71.0.9|10.71.0.9",
          other + "|10.71.0.10|10.71.0.10", other + "|10.71.0.100|10.71.0.100",
          other + "|10.71.1.2|10.71.1.2", other + "|alfa|10.71.0.40"}},
        {"names the network gives are cleaned; one that cleans to nothing is passed over",
         {{kSweep, "", "", At(13)}, {kSweep, "", "", At(14)}},
         {Names{{At(13), kPtr, "do\x01m\u202Einio", ""},
                {At(14), kNodeStatus, "\x01\x02", "X"},
                {At(14), kPtr, "caf\xe9", ""},
                {At(14), kMdns, "impressora", ""}},
          {}},
         {"X|impressora|10.71.0.14", other + "|dominio|10.71.0.13"}},
        {"a name for an address no source found lists nothing",
         {},
         {Names{{At(15), kPtr, "fantasma", ""}}, {}},
         {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Lines(c.found, c.context), c.expected) << c.what;
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
