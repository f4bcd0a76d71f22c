#pragma once

#include "FilePath.h"

#include <string>

namespace vexor {

// The outcome of a shell operation: error 0 is success, otherwise the
// platform's own error number and its text.
struct ShellResult {
    int error = 0;
    std::string reason;

    bool ok() const { return error == 0; }
};

// Files, processes and desktop actions.
class IShell {
  public:
    virtual ~IShell() = default;
    virtual FilePath programDirectory() = 0;
    // The user's documents folder; empty when the system names none.
    virtual FilePath documentsDirectory() = 0;
    // Whether this user can create files in `directory`, found by trying.
    virtual bool canWriteIn(const FilePath& directory) = 0;
    // Replaces the file at `path` with `text` (UTF-8, converted to the platform's
    // narrow encoding) only once all of it is written.
    virtual ShellResult writeReport(const FilePath& path, const std::string& text) = 0;
    // The bytes `writeReport` would write for `text`.
    virtual std::string reportBytes(const std::string& text) = 0;
    // `text` (UTF-8) in upper case by the system's Unicode case mapping.
    virtual std::string upperCase(const std::string& text) = 0;
    virtual ShellResult openInTextEditor(const FilePath& path) = 0;
    virtual ShellResult openInBrowser(const std::string& url) = 0;
};

} // namespace vexor
