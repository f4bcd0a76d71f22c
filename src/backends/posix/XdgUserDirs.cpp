#include "XdgUserDirs.h"

#include "base/AsciiText.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace vexor {
namespace {

constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR";
constexpr std::string_view kHomePrefix = "$HOME";

// The value between the quotes, with the shell escapes the file may carry
// (\" \\ \$ \`) undone; empty when the value is not quoted.
std::string Unquote(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        return {};
    }
    std::string text;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size()) {
            ++i;
        }
        text += value[i];
    }
    return text;
}

std::filesystem::path HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
        return user->pw_dir;
    }
    return {};
}

} // namespace

std::filesystem::path DocumentsFromUserDirs(std::string_view contents,
                                            const std::filesystem::path& home) {
    std::string found;
    while (!contents.empty()) {
        const auto end = contents.find('\n');
        const std::string_view line = TrimBlanks(contents.substr(0, end));
        contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
        if (line.substr(0, kKey.size()) != kKey) {
            continue;
        }
        const std::string_view rest = TrimBlanks(line.substr(kKey.size()));
        if (rest.empty() || rest.front() != '=') {
            continue;
        }
        // The last assignment wins, as when the shell reads the file.
        found = Unquote(TrimBlanks(rest.substr(1)));
    }
    std::filesystem::path directory;
    if (found.rfind(kHomePrefix, 0) == 0 &&
        (found.size() == kHomePrefix.size() || found[kHomePrefix.size()] == '/')) {
        const std::string below = found.substr(kHomePrefix.size());
        directory = home / std::filesystem::path(below).relative_path();
    } else if (!found.empty() && found.front() == '/') {
        directory = found;
    } else {
        return {};
    }
    directory = directory.lexically_normal();
    if (directory.filename().empty()) {
        directory = directory.parent_path();
    }
    const auto homeNormal = home.lexically_normal();
    if (directory == homeNormal ||
        (homeNormal.filename().empty() && directory == homeNormal.parent_path())) {
        return {};
    }
    return directory;
}

std::filesystem::path UserDocumentsDirectory() {
    const std::filesystem::path home = HomeDirectory();
    std::filesystem::path config;
    if (const char* value = std::getenv("XDG_CONFIG_HOME"); value != nullptr && value[0] == '/') {
        config = value;
    } else if (!home.empty()) {
        config = home / ".config";
    }
    if (!config.empty()) {
        std::ifstream file(config / "user-dirs.dirs", std::ios::binary);
        const std::string contents{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
        const auto documents = DocumentsFromUserDirs(contents, home);
        std::error_code error;
        if (!documents.empty() && std::filesystem::is_directory(documents, error)) {
            return documents;
        }
    }
    return home;
}

} // namespace vexor
