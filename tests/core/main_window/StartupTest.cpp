#include "FormHarness.h"

#include "base/Utf8Text.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

using fakes::FormHarness;
using fakes::ProgramEnded;
using fakes::ShownMessage;

TEST(SocketsCheck, ByteHelpers) {
    const struct {
        std::uint16_t word;
        int low;
        int high;
    } cases[] = {{0x0101, 1, 1}, {0xFF00, 0, 255}, {0x8101, 1, 129}, {0x0201, 1, 2}, {0, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(frmPrincipal::lobyte(c.word), c.low);
        EXPECT_EQ(frmPrincipal::hibyte(c.word), c.high);
    }
}

TEST(SocketsCheck, UsableLibrariesPassSilently) {
    const struct {
        std::uint16_t version;
        std::uint16_t sockets;
    } cases[] = {{0x0101, 32767}, {0x0101, 65535}, {0x0002, 1}, {0x0202, 5}};
    for (const auto& c : cases) {
        FormHarness h;
        h.sockets.grantedVersion = c.version;
        h.sockets.maxSockets = c.sockets;
        h.sockets.hostsByName["estacao01"] = {"estacao01", {{10, 0, 0, 1}}};
        h.form.Form_Load();
        EXPECT_TRUE(h.toolkit.messages.empty()) << std::hex << c.version;
        EXPECT_EQ(h.txtIPS.value, "ESTACAO01");
    }
}

// Each failing check shows its one message and ends the program there: no
// lookup, no shutdown, nothing shown after it.
TEST(SocketsCheck, FailuresEndTheProgramAtTheFirstFailingCheck) {
    const struct {
        const char* name;
        int startupResult;
        std::uint16_t version;
        std::uint16_t sockets;
        std::string message;
    } cases[] = {
        {"startup fails", 10091, 0x0101, 32767, "DLL não esta respondendo."},
        {"startup fails, negative", -1, 0x0101, 32767, "DLL não esta respondendo."},
        {"version 1.0", 0, 0x0001, 32767, "Versão do soquete 1.0 não é suportada "},
        {"version 0.9", 0, 0x0900, 32767, "Versão do soquete 0.9 não é suportada "},
        {"version 1.0, no sockets", 0, 0x0001, 0, "Versão do soquete 1.0 não é suportada "},
        {"no sockets", 0, 0x0101, 0, "Esta aplicação requer um minimo 1 de soquetes suportados."},
    };
    for (const auto& c : cases) {
        FormHarness h;
        h.sockets.startupResult = c.startupResult;
        h.sockets.grantedVersion = c.version;
        h.sockets.maxSockets = c.sockets;
        EXPECT_THROW(h.form.Form_Load(), ProgramEnded) << c.name;
        EXPECT_EQ(h.toolkit.endStatus, 1) << c.name;
        EXPECT_EQ(h.toolkit.messages, (std::vector<ShownMessage>{{c.message, 0, "Vexor Moralto"}}))
            << c.name;
        EXPECT_EQ(h.sockets.calls, std::vector<std::string>{"startup:257"}) << c.name;
    }
}

TEST(SocketsCheck, CleanupFailureEndsTheProgram) {
    FormHarness h;
    h.sockets.cleanupResult = -1;
    std::int16_t cancel = 0;
    EXPECT_THROW(h.form.Form_Unload(cancel), ProgramEnded);
    EXPECT_EQ(h.toolkit.endStatus, 1);
    EXPECT_EQ(h.toolkit.messages,
              (std::vector<ShownMessage>{
                  {"Ocorreu um erro no soquete -1 durante a limpagem ", 0, "Vexor Moralto"}}));
}

TEST(FormLoad, ListsNameInUpperCaseAndEveryAddressInOrder) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01",
                                          {{192, 0, 2, 10}, {192, 0, 2, 11}, {10, 0, 0, 1}}};
    h.form.Form_Load();
    EXPECT_EQ(h.txtIPS.value, "ESTACAO01");
    EXPECT_EQ(h.lstIPS.lines(), (std::vector<std::string>{"192.0.2.10", "192.0.2.11", "10.0.0.1"}));
    EXPECT_FALSE(h.lstIPRede.visible());
    EXPECT_TRUE(h.toolkit.messages.empty());
    EXPECT_EQ(h.sockets.calls,
              (std::vector<std::string>{"startup:257", "hostName:256", "hostByName:estacao01"}));

    // A second run rebuilds the list instead of adding to it.
    h.form.Form_Load();
    EXPECT_EQ(h.lstIPS.lines().size(), 3u);
}

TEST(Utf8Text, InvalidSequencesPassThroughByteForByte) {
    const struct {
        std::string text;
        std::string upper;
    } cases[] = {
        {"estação", "ESTAÇÃO"},
        // A lead byte followed by an ASCII letter: the letter is its own character.
        {"\xC3"
         "a",
         "\xC3"
         "A"},
        {"x\xC3", "X\xC3"},
        {"\xC3\xC3\xA9", "\xC3\xC3\x89"},
        {"\xE9t\xE9", "\xE9T\xE9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUpper(c.text), c.upper) << c.text;
    }
}

TEST(FormLoad, NameIsTakenWithoutLeadingBlanksAndUpperCasedWithAccents) {
    FormHarness h;
    h.sockets.localName = "  estação-sé";
    h.sockets.hostsByName["estação-sé"] = {"x", {{10, 0, 0, 9}}};
    h.form.Form_Load();
    EXPECT_EQ(h.txtIPS.value, "ESTAÇÃO-SÉ");
    EXPECT_EQ(h.lstIPS.lines(), std::vector<std::string>{"10.0.0.9"});
}

TEST(FormLoad, LookupFailuresShowTheirMessageAndKeepTheOldName) {
    const struct {
        const char* name;
        bool hostNameFails;
        int error;
        std::string message;
    } cases[] = {
        {"host name fails", true, 10093, "Erro no soquete  10093"},
        {"host name fails, error 0", true, 0, "Erro no soquete  0"},
        {"host name fails, negative", true, -5, "Erro no soquete -5"},
        {"lookup fails", false, 0, "DLL não está respondendo."},
    };
    for (const auto& c : cases) {
        FormHarness h;
        h.sockets.hostsByName["estacao01"] = {"estacao01", {{10, 0, 0, 1}}};
        h.form.Form_Load();
        ASSERT_EQ(h.txtIPS.value, "ESTACAO01");

        if (c.hostNameFails) {
            h.sockets.localName.reset();
            h.sockets.hostNameError = c.error;
        } else {
            h.sockets.hostsByName.clear();
        }
        h.form.Form_Load();
        EXPECT_EQ(h.toolkit.messages, (std::vector<ShownMessage>{{c.message, 0, "Vexor Moralto"}}))
            << c.name;
        EXPECT_TRUE(h.lstIPS.lines().empty()) << c.name;
        EXPECT_EQ(h.txtIPS.value, "ESTACAO01") << c.name;
    }
}

TEST(FormLoad, RecordWithNoAddressShowsTheNameAlone) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {}};
    h.form.Form_Load();
    EXPECT_EQ(h.txtIPS.value, "ESTACAO01");
    EXPECT_TRUE(h.lstIPS.lines().empty());
    EXPECT_TRUE(h.toolkit.messages.empty());
}

} // namespace
} // namespace vexor
