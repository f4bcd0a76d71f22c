#include "FakeShell.h"
#include "base/Utf8Text.h"

#include "base/FileReplace.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace vexor::fakes {

FakeShell::FakeShell() {
    static std::atomic<int> serial{0};
    scratch_ =
        std::filesystem::temp_directory_path() /
        ("vexor-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++));
    directory = scratch_ / "programa";
    documents = scratch_ / "Documentos";
    std::filesystem::create_directories(directory);
    std::filesystem::create_directories(documents);
}

bool FakeShell::canWriteIn(const FilePath& folder) {
    const std::filesystem::path asked(folder);
    writableAsked.push_back(asked);
    return asked == directory ? programDirectoryWritable : asked == documents;
}

FakeShell::~FakeShell() {
    std::error_code ignored;
    // Only the folder this fake made, whatever a test has set `directory` to.
    std::filesystem::remove_all(scratch_, ignored);
}

std::string FakeShell::upperCase(const std::string& text) {
    return Utf8ToUpper(text);
}

ShellResult FakeShell::writeReport(const FilePath& path, const std::string& text) {
    return ReplaceFileContents(path, text);
}

ShellResult FakeShell::openInTextEditor(const FilePath& path) {
    editorOpened.push_back(std::filesystem::path(path));
    return editorResult;
}

ShellResult FakeShell::openInBrowser(const std::string& url) {
    browserOpened.push_back(url);
    return browserResult;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace vexor::fakes
