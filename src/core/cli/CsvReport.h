#pragma once

#include <string>
#include <vector>

namespace vexor {

// The CSV report: "origem,nome,endereco", then one line per local address and
// one per network machine, quoted as RFC 4180 has it, every line ended by CR LF.
std::string BuildCsvReport(const std::string& localName,
                           const std::vector<std::string>& localAddresses,
                           const std::vector<std::string>& machineNames,
                           const std::vector<std::string>& networkLines);

} // namespace vexor
