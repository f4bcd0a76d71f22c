#pragma once

#include <filesystem>
#include <string_view>

namespace vexor {

// The documents folder the XDG user-directories file names, as
// `xdg-user-dir DOCUMENTS` answers: `contents` is the text of user-dirs.dirs
// (lines of the form XDG_DOCUMENTS_DIR="$HOME/Documentos"). Empty when the file
// names none, names one that is not a path under $HOME or absolute, or names
// $HOME itself, which is how the user turns the folder off.
std::filesystem::path DocumentsFromUserDirs(std::string_view contents,
                                            const std::filesystem::path& home);

// The user's documents folder: the one user-dirs.dirs names (under
// $XDG_CONFIG_HOME, else ~/.config) when it exists, else the home folder.
std::filesystem::path UserDocumentsDirectory();

} // namespace vexor
