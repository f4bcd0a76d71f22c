#include "FormHarness.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using fakes::Domain;
using fakes::FakeNode;
using fakes::FormHarness;
using fakes::Provider;
using fakes::Server;
using Lines = std::vector<std::string>;

std::vector<FakeNode> Neighbourhood(const Lines& servers) {
    std::vector<FakeNode> nodes;
    for (const auto& name : servers) {
        nodes.push_back(Server("\\\\" + name));
    }
    return {Provider("Rede", {Domain("GRUPO", nodes)})};
}

// A name of 20 characters meets its address; a longer one gets one blank
// before it.
TEST(Refresh, LinesPadTheNameToColumnTwentyThenTheAddress) {
    const Lines names{
        "ESTAC1",       "NOME-COM-VINTE-CHARS", "NOME-COM-VINTE-E-UM-C",  "SEM-ENDERECO",
        "ESTAÇÃO-JOÃO", "VINTE-COM-ACENTO-ÇÃO", "NOME-LONGO-SEM-ENDERECO"};
    FormHarness h(Neighbourhood(names));
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.sockets.hostsByName["ESTAC1"] = {"estac1", {{10, 0, 0, 5}, {10, 0, 0, 6}}};
    h.sockets.hostsByName["NOME-COM-VINTE-CHARS"] = {"x", {{10, 0, 0, 20}}};
    h.sockets.hostsByName["NOME-COM-VINTE-E-UM-C"] = {"x", {{10, 0, 0, 21}}};
    h.sockets.hostsByName["ESTAÇÃO-JOÃO"] = {"x", {{10, 0, 0, 7}}};
    h.sockets.hostsByName["VINTE-COM-ACENTO-ÇÃO"] = {"x", {{10, 0, 0, 8}}};

    h.form.btnAtualizar_Click();
    EXPECT_EQ(h.lstIPRede.lines(), (Lines{
                                       "ESTAC1              10.0.0.5",
                                       "NOME-COM-VINTE-CHARS10.0.0.20",
                                       "NOME-COM-VINTE-E-UM-C 10.0.0.21",
                                       "SEM-ENDERECO        ",
                                       "ESTAÇÃO-JOÃO        10.0.0.7",
                                       "VINTE-COM-ACENTO-ÇÃO10.0.0.8",
                                       "NOME-LONGO-SEM-ENDERECO ",
                                   }));
    EXPECT_TRUE(h.lstIPRede.visible());
    EXPECT_FALSE(h.rtlIPRede.visible);
    EXPECT_EQ(h.txtIPS.value, "ESTACAO01");
    EXPECT_EQ(h.lstIPS.lines(), Lines{"192.0.2.10"});
    EXPECT_EQ(h.toolkit.pointers,
              (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Default}));
}

TEST(Refresh, EmptyNetworkShowsAnEmptyListAndCreatesNoResolver) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.form.btnAtualizar_Click();
    EXPECT_TRUE(h.lstIPRede.visible());
    EXPECT_TRUE(h.lstIPRede.lines().empty());
    EXPECT_EQ(h.form.resolver(), nullptr);
    EXPECT_EQ(h.sockets.count("startup"), 1);
}

TEST(Refresh, SecondRefreshRebuildsTheListWithTheSameResolver) {
    FormHarness h(Neighbourhood({"ALFA", "BETA"}));
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.sockets.hostsByName["ALFA"] = {"alfa", {{10, 0, 0, 1}}};
    h.form.btnAtualizar_Click();
    const clsIPHostResolver* first = h.form.resolver();
    ASSERT_NE(first, nullptr);
    const Lines once = h.lstIPRede.lines();

    h.form.btnAtualizar_Click();
    EXPECT_EQ(h.lstIPRede.lines(), once);
    EXPECT_EQ(h.lstIPRede.lines().size(), 2u);
    EXPECT_EQ(h.form.resolver(), first);
    // Two window start-ups and the resolver's single one.
    EXPECT_EQ(h.sockets.count("startup"), 3);
    EXPECT_EQ(h.sockets.count("cleanup"), 0);
    EXPECT_EQ(h.lstIPS.lines(), Lines{"192.0.2.10"});
}

TEST(Refresh, F5WithAnyShiftStateRefreshesAndOtherKeysDoNot) {
    const struct {
        std::uint16_t key;
        int shift;
        bool refreshes;
    } cases[] = {{116, 0, true}, {116, 1, true},  {116, 2, true},  {116, 4, true},
                 {116, 7, true}, {115, 0, false}, {117, 0, false}, {13, 0, false}};
    for (const auto& c : cases) {
        FormHarness h(Neighbourhood({"ALFA"}));
        h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
        std::uint16_t key = c.key;
        h.form.Form_KeyDown(key, c.shift);
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(h.lstIPRede.lines().size(), c.refreshes ? 1u : 0u) << c.key << "/" << c.shift;
        EXPECT_EQ(h.rtlIPRede.visible, !c.refreshes) << c.key << "/" << c.shift;
    }
}

TEST(Refresh, LocalLookupFailureStillListsTheNetwork) {
    FormHarness h(Neighbourhood({"ALFA"}));
    h.sockets.hostsByName["ALFA"] = {"alfa", {{10, 0, 0, 1}}};
    h.form.btnAtualizar_Click();
    EXPECT_EQ(h.toolkit.messages.size(), 1u);
    EXPECT_EQ(h.lstIPRede.lines(), Lines{"ALFA                10.0.0.1"});
}

TEST(Refresh, SocketsCheckFailureEndsTheProgramBeforeTheWalk) {
    FormHarness h(Neighbourhood({"ALFA"}));
    h.sockets.maxSockets = 0;
    EXPECT_THROW(h.form.btnAtualizar_Click(), fakes::ProgramEnded);
    EXPECT_TRUE(h.network.calls.empty());
    EXPECT_TRUE(h.rtlIPRede.visible);
}

} // namespace
} // namespace vexor
