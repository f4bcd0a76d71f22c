#pragma once

#include "seams/Shell.h"

#include <string_view>

namespace vexor {

// Writes `bytes` to a temporary file beside `path` and renames it over `path`
// only when every byte is on disk, so a failed write leaves the old file whole.
ShellResult ReplaceFileContents(const FilePath& path, std::string_view bytes);

// Whether a new file can be created in `directory`: one is created there and
// removed again. Permissions, ACLs, read-only disks and missing folders all count.
bool DirectoryAcceptsNewFiles(const FilePath& directory);

} // namespace vexor
