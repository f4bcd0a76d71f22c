#include "FileCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vexor::file_calls {
namespace {

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

} // namespace

std::FILE* CreateTemporaryBeside(const FilePath& path, FilePath& temporary) {
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
}

bool FlushToDisk(std::FILE* file) {
    return fsync(fileno(file)) == 0;
}

void RemoveFile(const FilePath& path) {
    unlink(path.c_str());
}

bool IsDirectory(const FilePath& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool RenameOver(const FilePath& from, const FilePath& to, int& error, int& meaning) {
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
}

std::optional<ShellResult> WriteWhereItStands(FilePath& path, std::string_view bytes) {
    path = FollowLinks(path);
    if (struct stat status{}; lstat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return Failure(EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return WriteInPlace(path, bytes);
        }
    }
    return std::nullopt;
}

} // namespace vexor::file_calls
