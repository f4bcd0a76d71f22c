#pragma once

#include "Version.h"

#include "main_window/frmPrincipal.h"

#include "platform/api/TextOutput.h"

#include <optional>
#include <string>
#include <vector>

namespace vexor {

// The same report as the window's, for scripts: `--relatorio [ARQUIVO]` runs the
// load handler and a refresh with no window and writes the report to ARQUIVO,
// or to `out` when it is "-" or missing; `--formato csv` writes a CSV instead.
// Messages go to `err`. Returns the exit status, or nothing when `arguments`
// (without the program's own name) is empty: the window is wanted.
std::optional<int> RunReportCommand(const std::vector<std::string>& arguments,
                                    ISocketsLibrary& sockets, INetworkEnumeration& network,
                                    IShell& shell, ITextOutput& out, ITextOutput& err);

// The CSV report: "origem,nome,endereco", then one line per local address and
// one per network machine, quoted as RFC 4180 has it, every line ended by CR LF.
std::string BuildCsvReport(const std::string& localName,
                           const std::vector<std::string>& localAddresses,
                           const std::vector<std::string>& machineNames,
                           const std::vector<std::string>& networkLines);

constexpr const char* kVersionText = "Vexor Moralto " VEXOR_VERSION_SHORT "\n";

} // namespace vexor
