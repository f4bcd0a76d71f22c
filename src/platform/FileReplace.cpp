#include "FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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
std::FILE* CreateTemporaryBeside(const FilePath& path, FilePath& temporary) {
#ifdef _WIN32
    wchar_t name[MAX_PATH] = {};
    FilePath folder = path.parent();
    if (folder.empty()) {
        folder = FilePath(std::wstring(L"."));
    }
    if (GetTempFileNameW(folder.c_str(), L"IP", 0, name) == 0) {
        errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
        return nullptr;
    }
    temporary = FilePath(std::wstring(name));
    return _wfopen(name, L"wb");
#else
    std::string name = (path.parent().empty() ? std::string(".") : path.parent().native()) + "/." +
                       path.name().native() + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return nullptr;
    }
    temporary = FilePath(name);
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

// The file system calls the replace needs, made directly: on Windows the C++
// library's own file system operations would bring its whole stream and locale
// machinery into the program.
void RemoveFile(const FilePath& path) {
#ifdef _WIN32
    DeleteFileW(path.c_str());
#else
    unlink(path.c_str());
#endif
}

bool IsDirectory(const FilePath& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

// Renames `from` over `to`; on failure the system's error number and the errno
// that stands for it.
bool RenameOver(const FilePath& from, const FilePath& to, int& error, int& meaning) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    error = static_cast<int>(GetLastError());
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        meaning = EACCES;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        meaning = ENOENT;
        break;
    case ERROR_DISK_FULL:
        meaning = ENOSPC;
        break;
    case ERROR_WRITE_PROTECT:
        meaning = EROFS;
        break;
    default:
        meaning = 0;
        break;
    }
    if (meaning == EACCES && IsDirectory(to)) {
        meaning = EISDIR;
    }
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    error = errno;
    meaning = errno;
    return false;
#endif
}

// The reason a finished report could not take the old one's place.
ShellResult RenameFailure(int error, int meaning) {
    if (meaning == EACCES || meaning == EPERM || meaning == ENOENT || meaning == ENOSPC ||
        meaning == EROFS || meaning == EISDIR) {
        return ShellResult{error, DescribeErrno(meaning)};
    }
    return ShellResult{error, "O arquivo não pôde substituir o anterior"};
}

} // namespace

ShellResult ReplaceFileContents(const FilePath& path, std::string_view bytes) {
    FilePath temporary;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(CreateTemporaryBeside(path, temporary));
    if (!file) {
        const int error = errno;
        if (!temporary.empty()) {
            RemoveFile(temporary);
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
    if (error != 0) {
        RemoveFile(temporary);
        return Failure(error);
    }
    int renameError = 0;
    int meaning = 0;
    if (!RenameOver(temporary, path, renameError, meaning)) {
        RemoveFile(temporary);
        return RenameFailure(renameError, meaning);
    }
    return {};
}

bool DirectoryAcceptsNewFiles(const FilePath& directory) {
    if (directory.empty() || !IsDirectory(directory)) {
        return false;
    }
    FilePath temporary;
    std::unique_ptr<std::FILE, FileCloser> file(
        CreateTemporaryBeside(directory / "IP.txt", temporary));
    // Only a file that opened counts: Wine's GetTempFileNameW hands out a name
    // even when it could not create the file.
    const bool opened = file != nullptr;
    file.reset();
    if (!temporary.empty()) {
        RemoveFile(temporary);
    }
    return opened;
}

} // namespace vexor
