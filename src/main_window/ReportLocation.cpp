#include "ReportLocation.h"

#include "frmPrincipal.h"

namespace vexor {

std::filesystem::path ReportPath(IShell& shell) {
    std::filesystem::path directory = shell.programDirectory();
    if (!shell.canWriteIn(directory)) {
        if (std::filesystem::path documents = shell.documentsDirectory(); !documents.empty()) {
            directory = std::move(documents);
        }
    }
    return directory / kReportFileName;
}

} // namespace vexor
