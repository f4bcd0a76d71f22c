#include "ReportCommand.h"

#include "main_window/AddressReport.h"
#include "platform/common/FileReplace.h"
#include "platform/headless/HeadlessToolkit.h"

#include <string_view>

namespace vexor {
namespace {

constexpr const char* kUsage =
    "Uso: vexormoralto [--relatorio [ARQUIVO]] [--formato texto|csv]\n"
    "\n"
    "Sem opções, abre a janela do programa.\n"
    "\n"
    "  --relatorio [ARQUIVO]  lista a máquina local e as máquinas da rede e grava o\n"
    "                         relatório em ARQUIVO (na saída padrão quando ARQUIVO\n"
    "                         é - ou falta), com os mesmos bytes de IP.txt\n"
    "  --formato csv          grava o relatório em CSV: origem,nome,endereco; um campo\n"
    "                         que começa com =, +, -, @, tabulação ou retorno de carro\n"
    "                         recebe um ' à frente, para que a planilha não o leia\n"
    "                         como fórmula\n"
    "  --ajuda, --help        mostra esta ajuda\n"
    "  --versao, --version    mostra a versão do programa\n";

std::string CsvField(std::string text) {
    // A spreadsheet evaluates a field that begins like a formula; a leading
    // apostrophe makes it text, the usual spreadsheet-safe form.
    if (!text.empty() &&
        std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        text.insert(text.begin(), '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

struct Options {
    bool report = false;
    std::string target = "-";
    bool csv = false;
};

// Parses the options; an error text when they are not understood.
std::optional<std::string> Parse(const std::vector<std::string>& arguments, Options& options) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--relatorio") {
            options.report = true;
            if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
                options.target = arguments[++i];
            }
        } else if (argument == "--formato") {
            if (i + 1 >= arguments.size() ||
                (arguments[i + 1] != "csv" && arguments[i + 1] != "texto")) {
                return "--formato aceita texto ou csv";
            }
            options.csv = arguments[++i] == "csv";
        } else {
            return "opção desconhecida: " + argument;
        }
    }
    if (!options.report) {
        return "--formato só vale com --relatorio";
    }
    return std::nullopt;
}

} // namespace

std::string BuildCsvReport(const std::string& localName,
                           const std::vector<std::string>& localAddresses,
                           const std::vector<std::string>& machineNames,
                           const std::vector<std::string>& networkLines) {
    std::string csv = "origem,nome,endereco\r\n";
    for (const std::string& address : localAddresses) {
        csv += "local," + CsvField(localName) + "," + CsvField(address) + "\r\n";
    }
    for (std::size_t i = 0; i < networkLines.size(); ++i) {
        const std::string name = i < machineNames.size() ? machineNames[i] : networkLines[i];
        // The line is the name, its fill and the address: what follows the name.
        std::string address = networkLines[i].rfind(name, 0) == 0
                                  ? networkLines[i].substr(name.size())
                                  : std::string();
        address.erase(0, address.find_first_not_of(' '));
        csv += "rede," + CsvField(name) + "," + CsvField(address) + "\r\n";
    }
    return csv;
}

std::optional<int> RunReportCommand(const std::vector<std::string>& arguments,
                                    ISocketsLibrary& sockets, INetworkEnumeration& network,
                                    IShell& shell, ITextOutput& out, ITextOutput& err) {
    if (arguments.empty()) {
        return std::nullopt;
    }
    if (arguments.size() == 1 && (arguments[0] == "--ajuda" || arguments[0] == "--help")) {
        out.write(shell.reportBytes(kUsage));
        return 0;
    }
    if (arguments.size() == 1 && (arguments[0] == "--versao" || arguments[0] == "--version")) {
        out.write(kVersionText);
        return 0;
    }
    Options options;
    if (const auto error = Parse(arguments, options)) {
        err.write(shell.reportBytes("vexormoralto: " + *error + "\n\n" + kUsage));
        return 2;
    }

    HeadlessToolkit toolkit(err,
                            [&shell](const std::string& text) { return shell.reportBytes(text); });
    HeadlessTextBox txtIPS;
    HeadlessListBox lstIPS;
    HeadlessListBox lstIPRede;
    HeadlessLabel rtlIPRede;
    std::string bytes;
    try {
        frmPrincipal form(PlatformServices{sockets, network, shell, toolkit},
                          FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede});
        form.Form_Load();
        form.btnAtualizar_Click();
        bytes = options.csv ? BuildCsvReport(txtIPS.text(), lstIPS.lines(), lstIPRede.added(),
                                             lstIPRede.lines())
                            : shell.reportBytes(BuildAddressReport(txtIPS, lstIPS, lstIPRede));
    } catch (const HeadlessProgramEnd&) {
        return 1;
    }
    if (options.target == "-") {
        return out.write(bytes) ? 0 : 1;
    }
    const ShellResult written = ReplaceFileContents(FilePath::FromUtf8(options.target), bytes);
    if (!written.ok()) {
        err.write(shell.reportBytes(ReportWriteFailureText(options.target, written)) + "\n");
        return 1;
    }
    return 0;
}

} // namespace vexor
