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
    // False with --sem-varredura: the refresh does not sweep the local subnets.
    bool sweep = true;
};

// What the program is to be before anything is built: its window or the
// report, and whether its refreshes sweep the local subnets.
struct StartOptions {
    bool window = true;
    bool sweep = true;
};

// The option that turns the sweep of the local subnets off.
extern const char* const kNoSweepOption;

// The help text of --ajuda, also shown after an option that is not understood.
extern const char* const kReportUsage;

// Reads `arguments` (without the program's own name) into `options`; an error
// text when they are not understood.
std::optional<std::string> ParseReportOptions(const std::vector<std::string>& arguments,
                                              ReportOptions& options);

// Reads `arguments` (without the program's own name): the window when there
// are none but --sem-varredura, else the command line's report (or its help,
// version or error).
StartOptions ReadStartOptions(const std::vector<std::string>& arguments);

} // namespace vexor
