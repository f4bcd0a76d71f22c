#include "FormHarness.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using fakes::FormHarness;
using fakes::ProgramEnded;
using fakes::ShownMessage;

TEST(Help, OpensTheHelpPageAndReportsAFailedStart) {
    const struct {
        int error;
        std::vector<ShownMessage> expected;
    } cases[] = {
        {0, {}},
        {2, {{"Ocorreu um erro e a página de ajuda não poderá ser exibida!", 0x10, "ERRO - 2"}}},
        {-2147024894,
         {{"Ocorreu um erro e a página de ajuda não poderá ser exibida!", 0x10,
           "ERRO - -2147024894"}}},
    };
    for (const auto& c : cases) {
        FormHarness h;
        h.shell.browserResult = {c.error, "motivo"};
        h.form.btnAjuda_Click();
        EXPECT_EQ(h.shell.browserOpened,
                  std::vector<std::string>{
                      "http://www.vexormoralto.com.br/produtos/vexormoralto/ajuda.htm"});
        EXPECT_EQ(h.toolkit.messages, c.expected) << c.error;
        EXPECT_FALSE(h.toolkit.ended);
    }
}

TEST(Exit, EndsAtOnceWithoutShutdownOrResolverCleanup) {
    FormHarness h({fakes::Provider("Rede", {fakes::Domain("G", {fakes::Server("\\\\ALFA")})})});
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.sockets.cleanupResult = -1;
    h.form.btnAtualizar_Click();
    ASSERT_NE(h.form.resolver(), nullptr);
    h.sockets.calls.clear();

    EXPECT_THROW(h.form.btnSair_Click(), ProgramEnded);
    EXPECT_EQ(h.toolkit.endStatus, 0);
    EXPECT_TRUE(h.sockets.calls.empty());
    EXPECT_TRUE(h.toolkit.messages.empty());
}

TEST(Unload, ShutsTheLibraryDownOnceAndNeverCancels) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.form.Form_Load();
    h.sockets.calls.clear();
    std::int16_t cancel = 0;
    h.form.Form_Unload(cancel);
    EXPECT_EQ(cancel, 0);
    EXPECT_EQ(h.sockets.calls, std::vector<std::string>{"cleanup"});
    EXPECT_TRUE(h.toolkit.messages.empty());
}

} // namespace
} // namespace vexor
