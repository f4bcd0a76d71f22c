#include "FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#ifdef _WIN32
#include <io.h>
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
// never in the way.
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
    // Created with O_EXCL and mode 0666, so that the process's umask applies as
    // to any new file; changing the umask would race with the other threads.
    static thread_local std::mt19937 random{std::random_device{}()};
    const std::string prefix = (path.parent().empty() ? std::string(".") : path.parent().native()) +
                               "/." + path.name().native() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix + std::to_string(random());
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return nullptr;
        }
        temporary = FilePath(std::move(name));
        struct stat existing {};
        // A report that already exists keeps its permission bits, but never
        // set-user-ID, set-group-ID or sticky.
        if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            fchmod(fd, existing.st_mode & 0777);
        }
        std::FILE* file = fdopen(fd, "wb");
        if (file == nullptr) {
            close(fd);
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
#endif
}

// Puts the file's bytes on the disk before it takes the old report's place, so
// that a power cut right after cannot leave an empty report.
bool FlushToDisk(std::FILE* file) {
#ifdef _WIN32
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
#else
    return fsync(fileno(file)) == 0;
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
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
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
        // The rename itself reaches the disk with its folder.
        const FilePath folder = to.parent().empty() ? FilePath(std::string(".")) : to.parent();
        if (const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            directory >= 0) {
            fsync(directory);
            close(directory);
        }
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

#ifndef _WIN32
// The file `path` stands for: a symbolic link is followed to the file it names
// (as many links as the system itself follows), so that the link stays.
FilePath FollowLinks(FilePath path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        std::string target(4096, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return path;
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.front() == '/' || path.parent().empty() ? FilePath(std::move(target))
                                                              : path.parent() / target;
    }
    return path;
}

// A FIFO, a terminal or another device is written where it is, as a shell's
// ">" writes it: replacing it with a regular file would break what reads it.
ShellResult WriteInPlace(const FilePath& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return Failure(errno);
    }
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            close(fd);
            return Failure(error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return close(fd) == 0 ? ShellResult{} : Failure(errno);
}
#endif

} // namespace

ShellResult ReplaceFileContents(const FilePath& requested, std::string_view bytes) {
#ifdef _WIN32
    const FilePath& path = requested;
#else
    const FilePath path = FollowLinks(requested);
    if (struct stat status{}; lstat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return Failure(EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return WriteInPlace(path, bytes);
        }
    }
#endif
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
    if ((std::fflush(file.get()) != 0 || !FlushToDisk(file.get())) && error == 0) {
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
