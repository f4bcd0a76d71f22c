#pragma once

#include "Shell.h"

#include <filesystem>
#include <string_view>

namespace vexor {

// Writes `bytes` to a temporary file beside `path` and renames it over `path`
// only when every byte is on disk, so a failed write leaves the old file whole.
ShellResult ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

} // namespace vexor
