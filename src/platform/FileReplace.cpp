#include "FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexor {
namespace {

// Portuguese words for the failures a user meets most when saving a file; any
// other failure keeps the C library's own text.
std::string DescribeErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "Permissão negada";
    case ENOENT:
        return "Pasta não encontrada";
    case ENOSPC:
        return "Não há espaço livre no disco";
    case EROFS:
        return "O disco é somente leitura";
    case EISDIR:
        return "Já existe uma pasta com esse nome";
    default:
        return std::strerror(error);
    }
}

ShellResult Failure(int error) {
    return ShellResult{error == 0 ? EIO : error, DescribeErrno(error == 0 ? EIO : error)};
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Creates a file of a name no other file has, beside `path`, and opens it for
// writing; a report left behind by a crash or another copy of the program is
// never in the way. The new file takes the permissions of the file it replaces.
std::FILE* CreateTemporaryBeside(const std::filesystem::path& path,
                                 std::filesystem::path& temporary) {
#ifdef _WIN32
    wchar_t name[MAX_PATH] = {};
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = L".";
    }
    if (GetTempFileNameW(folder.c_str(), L"IP", 0, name) == 0) {
        errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
        return nullptr;
    }
    temporary = name;
    return _wfopen(name, L"wb");
#else
    std::string name =
        (path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path()).string() +
        "/." + path.filename().string() + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return nullptr;
    }
    temporary = name;
    struct stat existing {};
    // mkstemp makes the file private to its owner; a report that already exists
    // keeps the permissions it had, a new one gets those of a newly created file.
    if (stat(path.c_str(), &existing) == 0) {
        fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
    }
    return file;
#endif
}

// The reason a finished report could not take the old one's place.
ShellResult RenameFailure(const std::error_code& error) {
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        const int value = error.default_error_condition().value();
        if (value == EACCES || value == EPERM || value == ENOENT || value == ENOSPC ||
            value == EROFS || value == EISDIR) {
            return ShellResult{error.value(), DescribeErrno(value)};
        }
    }
    return ShellResult{error.value(), "O arquivo não pôde substituir o anterior"};
}

} // namespace

ShellResult ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(CreateTemporaryBeside(path, temporary));
    if (!file) {
        const int error = errno;
        std::error_code ignored;
        if (!temporary.empty()) {
            std::filesystem::remove(temporary, ignored);
        }
        return Failure(error);
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    int error = written == bytes.size() ? 0 : (errno != 0 ? errno : EIO);
    if (std::fflush(file.get()) != 0 && error == 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file.release()) != 0 && error == 0) {
        error = errno != 0 ? errno : EIO;
    }
    std::error_code ignored;
    if (error != 0) {
        std::filesystem::remove(temporary, ignored);
        return Failure(error);
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, ignored);
        return RenameFailure(renameError);
    }
    return {};
}

bool DirectoryAcceptsNewFiles(const std::filesystem::path& directory) {
    std::error_code error;
    if (directory.empty() || !std::filesystem::is_directory(directory, error)) {
        return false;
    }
    std::filesystem::path temporary;
    std::unique_ptr<std::FILE, FileCloser> file(
        CreateTemporaryBeside(directory / "IP.txt", temporary));
    const bool created = !temporary.empty();
    file.reset();
    if (created) {
        std::filesystem::remove(temporary, error);
    }
    return created;
}

} // namespace vexor
