#pragma once

#include "Version.h"

#include "core/main_window/frmPrincipal.h"

#include "seams/TextOutput.h"
#include "seams/WindowlessWindow.h"

#include <optional>
#include <string>
#include <vector>

namespace vexor {

// The same report as the window's, for scripts: `--relatorio [ARQUIVO]` runs the
// load handler and a refresh with no window and writes the report to ARQUIVO,
// or to `out` when it is "-" or missing; `--formato csv` writes a CSV instead.
// The refresh runs in `window`, a window with no screen whose message boxes
// go to `err`, as every other message does. Returns the exit status, or nothing when `arguments`
// (without the program's own name) ask for the window (see ReadStartOptions).
// --sem-varredura is taken here; the network passed in is already built
// without the sweep when it is given.
std::optional<int> RunReportCommand(const std::vector<std::string>& arguments,
                                    ISocketsLibrary& sockets, INetworkEnumeration& network,
                                    IShell& shell, IWindowlessWindow& window, ITextOutput& out,
                                    ITextOutput& err);

constexpr const char* kVersionText = "Vexor Moralto " VEXOR_VERSION_SHORT "\n";

} // namespace vexor
