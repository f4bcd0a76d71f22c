#include "ReportCommand.h"

#include "CsvReport.h"
#include "ReportOptions.h"
#include "backends/headless/HeadlessToolkit.h"
#include "base/FileReplace.h"
#include "core/main_window/AddressReport.h"

namespace vexor {
namespace {

// The window's load handler and a refresh, run with no window; the report's
// bytes, or nothing when the load handler ended the program.
std::optional<std::string> HeadlessReport(const ReportOptions& options, ISocketsLibrary& sockets,
                                          INetworkEnumeration& network, IShell& shell,
                                          ITextOutput& err) {
    HeadlessToolkit toolkit(err,
                            [&shell](const std::string& text) { return shell.reportBytes(text); });
    HeadlessTextBox txtIPS;
    HeadlessListBox lstIPS;
    HeadlessListBox lstIPRede;
    HeadlessLabel rtlIPRede;
    try {
        frmPrincipal form(PlatformServices{sockets, network, shell, toolkit},
                          FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede});
        form.Form_Load();
        form.btnAtualizar_Click();
        return options.csv ? BuildCsvReport(txtIPS.text(), lstIPS.lines(), lstIPRede.added(),
                                            lstIPRede.lines())
                           : shell.reportBytes(BuildAddressReport(txtIPS, lstIPS, lstIPRede));
    } catch (const HeadlessProgramEnd&) {
        // The load handler ended the program, as the window's would, its message given.
        return std::nullopt;
    }
}

} // namespace

std::optional<int> RunReportCommand(const std::vector<std::string>& arguments,
                                    ISocketsLibrary& sockets, INetworkEnumeration& network,
                                    IShell& shell, ITextOutput& out, ITextOutput& err) {
    if (ReadStartOptions(arguments).window) {
        return std::nullopt;
    }
    if (arguments.size() == 1 && (arguments[0] == "--ajuda" || arguments[0] == "--help")) {
        out.write(shell.reportBytes(kReportUsage));
        return 0;
    }
    if (arguments.size() == 1 && (arguments[0] == "--versao" || arguments[0] == "--version")) {
        out.write(kVersionText);
        return 0;
    }
    ReportOptions options;
    if (const auto error = ParseReportOptions(arguments, options)) {
        err.write(shell.reportBytes("vexormoralto: " + *error + "\n\n" + kReportUsage));
        return 2;
    }
    const auto bytes = HeadlessReport(options, sockets, network, shell, err);
    if (!bytes) {
        return 1;
    }
    if (options.target == "-") {
        return out.write(*bytes) ? 0 : 1;
    }
    const ShellResult written = ReplaceFileContents(FilePath::FromUtf8(options.target), *bytes);
    if (!written.ok()) {
        err.write(shell.reportBytes(ReportWriteFailureText(options.target, written)) + "\n");
        return 1;
    }
    return 0;
}

} // namespace vexor
