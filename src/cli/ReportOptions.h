#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexor {

// What the command line asks of the report.
struct ReportOptions {
    bool report = false;
    // A file name, or "-" for the standard output.
    std::string target = "-";
    bool csv = false;
};

// The help text of --ajuda, also shown after an option that is not understood.
extern const char* const kReportUsage;

// Reads `arguments` (without the program's own name) into `options`; an error
// text when they are not understood.
std::optional<std::string> ParseReportOptions(const std::vector<std::string>& arguments,
                                              ReportOptions& options);

} // namespace vexor
