#include "ReportLocation.h"

#include "frmPrincipal.h"

namespace vexor {

FilePath ReportPath(IShell& shell) {
    FilePath directory = shell.programDirectory();
    if (!shell.canWriteIn(directory)) {
        if (FilePath documents = shell.documentsDirectory(); !documents.empty()) {
            directory = std::move(documents);
        }
    }
    return directory / kReportFileName;
}

} // namespace vexor
