#pragma once

#include "seams/Shell.h"

namespace vexor {

// Where "&Imprimir" writes the report: beside the program when this user may
// create files there (a copy run from a folder of its own), otherwise in the
// user's documents folder, since an installed program's folder is not the
// user's to write.
FilePath ReportPath(IShell& shell);

} // namespace vexor
