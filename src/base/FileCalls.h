#pragma once

#include "seams/Shell.h"

#include <cstdio>
#include <optional>
#include <string_view>

// The file system calls that replacing a file needs, made directly on each
// system: on Windows the C++ library's own file system operations would bring
// its whole stream and locale machinery into the program.
namespace vexor::file_calls {

// Creates a file of a name no other file has, beside `path`, and opens it for
// writing; a report left behind by a crash or another copy of the program is
// never in the way.
std::FILE* CreateTemporaryBeside(const FilePath& path, FilePath& temporary);

// Puts the file's bytes on the disk before it takes the old report's place, so
// that a power cut right after cannot leave an empty report.
bool FlushToDisk(std::FILE* file);

void RemoveFile(const FilePath& path);
bool IsDirectory(const FilePath& path);

// Renames `from` over `to`; on failure the system's error number and the errno
// that stands for it.
bool RenameOver(const FilePath& from, const FilePath& to, int& error, int& meaning);

// What a write to `path` must not replace: on systems with symbolic links,
// `path` becomes the file its links name (a link is followed only where the
// kernel's protected_symlinks rule would follow it, and a link to nothing is
// refused), a folder is refused, and a FIFO, a pipe or a device is written
// where it stands. The outcome when the write is done here; nothing when the
// file is to be replaced.
std::optional<ShellResult> WriteWhereItStands(FilePath& path, std::string_view bytes);

// The failure of errno `error`, in the user's words.
ShellResult Failure(int error);

} // namespace vexor::file_calls
