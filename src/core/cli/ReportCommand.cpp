#include "ReportCommand.h"

#include "CsvReport.h"
#include "ReportOptions.h"
#include "base/FileReplace.h"
#include "core/main_window/AddressReport.h"

namespace vexor {
namespace {

// The lines of a list box, first to last.
std::vector<std::string> LinesOf(const IListBox& list) {
    std::vector<std::string> lines;
    for (std::int16_t i = 0; i < list.count(); ++i) {
        lines.push_back(list.item(i));
    }
    return lines;
}

// The window's load handler and a refresh, run in `window`; the report's
// bytes, or nothing when the load handler ended the program.
std::optional<std::string> WindowlessReport(const ReportOptions& options, ISocketsLibrary& sockets,
                                            INetworkEnumeration& network, IShell& shell,
                                            IWindowlessWindow& window) {
    const FormControls controls = window.controls();
    try {
        frmPrincipal form(PlatformServices{sockets, network, shell, window.toolkit()}, controls);
        form.Form_Load();
        form.btnAtualizar_Click();
        return options.csv
                   ? BuildCsvReport(controls.txtIPS.text(), LinesOf(controls.lstIPS),
                                    window.networkLinesAsAdded(), LinesOf(controls.lstIPRede))
                   : shell.reportBytes(
                         BuildAddressReport(controls.txtIPS, controls.lstIPS, controls.lstIPRede));
    } catch (const WindowlessProgramEnd&) {
        // The load handler ended the program, as the window's would, its message given.
        return std::nullopt;
    }
}

} // namespace

std::optional<int> RunReportCommand(const std::vector<std::string>& arguments,
                                    ISocketsLibrary& sockets, INetworkEnumeration& network,
                                    IShell& shell, IWindowlessWindow& window, ITextOutput& out,
                                    ITextOutput& err) {
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
    const auto bytes = WindowlessReport(options, sockets, network, shell, window);
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
