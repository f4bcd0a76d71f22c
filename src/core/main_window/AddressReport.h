#pragma once

#include "seams/Shell.h"
#include "seams/Window.h"

#include <string>

namespace vexor {

// The report of the local machine and the network list, every line ended by
// CR LF: "Local: " and the name, the local addresses, "Rede:", the network lines.
std::string BuildAddressReport(const ITextBox& localName, const IListBox& localAddresses,
                               const IListBox& networkLines);

// The message for a report that could not be written to `pathText`.
std::string ReportWriteFailureText(const std::string& pathText, const ShellResult& result);

} // namespace vexor
