#include "core/cli/ReportCommand.h"
#include "FormHarness.h"
#include "backends/headless/HeadlessToolkit.h"
#include "core/cli/ReportOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vexor {
namespace {

using fakes::Domain;
using fakes::FormHarness;
using fakes::Provider;
using fakes::ReadFileBytes;
using fakes::Server;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// A network of two resolved machines, one unresolved, one whose name needs
// quoting in a CSV, and one named like a spreadsheet formula.
std::unique_ptr<FormHarness> Network() {
    auto made = std::make_unique<FormHarness>(std::vector<fakes::FakeNode>{
        Provider("Rede", {Domain("GRUPO", {Server("\\\\ESTACAO01"), Server("\\\\ESTACAO02"),
                                           Server("\\\\IMPRESSORA"), Server("\\\\SALA \"A\", 2º"),
                                           Server("\\\\=SUM(1+1)*2")})})});
    FormHarness& h = *made;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}, {192, 0, 2, 11}}};
    h.sockets.hostsByName["ESTACAO01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.sockets.hostsByName["ESTACAO02"] = {"estacao02", {{192, 0, 2, 20}}};
    h.sockets.hostsByName["SALA \"A\", 2º"] = {"sala", {{192, 0, 2, 30}}};
    return made;
}

Outcome RunCommand(FormHarness& h, const std::vector<std::string>& arguments) {
    StringOutput out;
    StringOutput err;
    HeadlessWindow window(err, [&h](const std::string& text) { return h.shell.reportBytes(text); });
    const auto status =
        RunReportCommand(arguments, h.sockets, h.network, h.shell, window, out, err);
    return {status.value_or(-1), out.text, err.text};
}

const std::string kWindowReport = "Local: ESTACAO01\r\n\r\n- 192.0.2.10\r\n- 192.0.2.11\r\n\r\n"
                                  "Rede:\r\n\r\n"
                                  "- ESTACAO01           192.0.2.10\r\n"
                                  "- ESTACAO02           192.0.2.20\r\n"
                                  "- IMPRESSORA          \r\n"
                                  "- SALA \"A\", 2º        192.0.2.30\r\n"
                                  "- =SUM(1+1)*2         \r\n";
const std::string kCsv = "origem,nome,endereco\r\n"
                         "local,ESTACAO01,192.0.2.10\r\n"
                         "local,ESTACAO01,192.0.2.11\r\n"
                         "rede,ESTACAO01,192.0.2.10\r\n"
                         "rede,ESTACAO02,192.0.2.20\r\n"
                         "rede,IMPRESSORA,\r\n"
                         "rede,\"SALA \"\"A\"\", 2º\",192.0.2.30\r\n"
                         "rede,'=SUM(1+1)*2,\r\n";

TEST(ReportCommand, ModesGiveTheWindowsBytesAndThePlatformsConventions) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        // The beginning of what goes to standard error.
        std::string err;
    } cases[] = {
        {{"--relatorio"}, 0, kWindowReport, ""},
        {{"--relatorio", "-"}, 0, kWindowReport, ""},
        {{"--relatorio", "--formato", "csv"}, 0, kCsv, ""},
        {{"--formato", "texto", "--relatorio", "-"}, 0, kWindowReport, ""},
        {{"--ajuda"}, 0, "Uso: vexormoralto", ""},
        {{"--help"}, 0, "Uso: vexormoralto", ""},
        {{"--versao"}, 0, kVersionText, ""},
        {{"--version"}, 0, kVersionText, ""},
        {{"--desconhecida"}, 2, "", "vexormoralto: opção desconhecida: --desconhecida\n\nUso:"},
        {{"--relatorio", "--formato", "pdf"}, 2, "", "vexormoralto: --formato aceita"},
        {{"--formato", "csv"}, 2, "", "vexormoralto: --formato só vale"},
        {{"--sem-varredura", "--relatorio"}, 0, kWindowReport, ""},
        {{"--relatorio", "-", "--sem-varredura", "--formato", "csv"}, 0, kCsv, ""},
        {{"--sem-varredura", "--formato", "csv"}, 2, "", "vexormoralto: --formato só vale"},
    };
    for (const auto& c : cases) {
        const auto made = Network();
        FormHarness& h = *made;
        const Outcome outcome = RunCommand(h, c.arguments);
        const std::string what = c.arguments.front() + " " + std::to_string(c.arguments.size());
        EXPECT_EQ(outcome.status, c.status) << what;
        if (c.out == kWindowReport || c.out == kCsv) {
            EXPECT_EQ(outcome.out, c.out) << what;
        } else {
            EXPECT_EQ(outcome.out.rfind(c.out, 0), 0u) << what << ": " << outcome.out;
        }
        EXPECT_EQ(outcome.err.rfind(c.err, 0), 0u) << what << ": " << outcome.err;
        if (c.err.empty()) {
            EXPECT_EQ(outcome.err, "") << what;
        }
        // No window, no editor, no file beside the program.
        EXPECT_TRUE(h.toolkit.messages.empty()) << what;
        EXPECT_TRUE(h.shell.editorOpened.empty()) << what;
        EXPECT_FALSE(std::filesystem::exists(h.shell.directory / "IP.txt")) << what;
    }
    EXPECT_EQ(RunCommand(*Network(), {}).status, -1) << "no arguments: the window";
    EXPECT_EQ(RunCommand(*Network(), {"--sem-varredura"}).status, -1)
        << "--sem-varredura alone: the window";
}

// What the program is made as, read before its network is built: the sweep
// is off wherever --sem-varredura stands, and that option alone still opens
// the window.
TEST(ReportCommand, StartOptionsChooseTheWindowAndTheSweep) {
    const struct {
        std::vector<std::string> arguments;
        bool window;
        bool sweep;
    } cases[] = {
        {{}, true, true},
        {{"--sem-varredura"}, true, false},
        {{"--sem-varredura", "--sem-varredura"}, true, false},
        {{"--relatorio"}, false, true},
        {{"--relatorio", "--sem-varredura"}, false, false},
        {{"--sem-varredura", "--relatorio", "r.txt", "--formato", "csv"}, false, false},
        {{"--ajuda"}, false, true},
        {{"--sem-varredura", "--versao"}, false, false},
        {{"--sem-varredura="}, false, true},
    };
    for (const auto& c : cases) {
        const StartOptions start = ReadStartOptions(c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(start.window, c.window) << what;
        EXPECT_EQ(start.sweep, c.sweep) << what;
    }
    ReportOptions options;
    EXPECT_EQ(ParseReportOptions({"--relatorio", "--sem-varredura"}, options), std::nullopt);
    EXPECT_FALSE(options.sweep);
    // The help says what the sweep sends, where, and how to turn it off.
    const std::string usage = kReportUsage;
    for (const char* told : {"--sem-varredura", "porta 137", "10/8, 172.16/12, 192.168/16",
                             "docker*", "64 datagramas", "atualização seguinte"}) {
        EXPECT_NE(usage.find(told), std::string::npos) << told;
    }
}

TEST(ReportCommand, WritesFilesWholeOrNotAtAllAndEndsWithTheWindowsFailures) {
    {
        const auto made = Network();
        FormHarness& h = *made;
        const auto target = h.shell.directory / "inventario.txt";
        const Outcome outcome = RunCommand(h, {"--relatorio", target.string()});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(ReadFileBytes(target), kWindowReport);
    }
    {
        // A target that cannot be written: exit 1 with the reason; the old file stays whole.
        const auto made = Network();
        FormHarness& h = *made;
        const auto folder = h.shell.directory / "pasta";
        std::filesystem::create_directory(folder);
        const Outcome outcome =
            RunCommand(h, {"--relatorio", (h.shell.directory / "falta" / "x.csv").string(),
                           "--formato", "csv"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err.rfind("Não foi possível gravar o arquivo de IP:\r\n\r\n", 0), 0u)
            << outcome.err;
        EXPECT_EQ(RunCommand(h, {"--relatorio", folder.string()}).status, 1);
        EXPECT_TRUE(std::filesystem::is_directory(folder));
    }
#ifndef _WIN32
    {
        // A FIFO nobody reads: exit 1 with the reason, at once.
        const auto made = Network();
        FormHarness& h = *made;
        const auto fifo = h.shell.directory / "fila";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const Outcome outcome = RunCommand(h, {"--relatorio", fifo.string()});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find("Nenhum programa está lendo a fila"), std::string::npos)
            << outcome.err;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    }
#endif
    {
        // A sockets library that cannot start ends the program: its message, exit 1.
        const auto made = Network();
        FormHarness& h = *made;
        h.sockets.startupResult = 10091;
        const Outcome outcome = RunCommand(h, {"--relatorio"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_NE(outcome.err, "");
    }
    {
        // A failed host-name lookup is told on standard error and the report goes on.
        const auto made = Network();
        FormHarness& h = *made;
        h.sockets.localName.reset();
        const Outcome outcome = RunCommand(h, {"--relatorio", "--formato", "csv"});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_NE(outcome.err, "");
        EXPECT_EQ(outcome.out.rfind("origem,nome,endereco\r\nrede,ESTACAO01,192.0.2.10\r\n", 0), 0u)
            << outcome.out;
    }
}

} // namespace
} // namespace vexor
