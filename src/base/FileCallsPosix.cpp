#include "FileCalls.h"

#include "RandomBits.h"
#include "UniqueDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vexor::file_calls {
namespace {

constexpr int kMostLinks = 40;
// How long a reader that has stopped reading may hold the report back.
constexpr int kStalledReaderMilliseconds = 10000;

// Whether the kernel's protected_symlinks rule lets this process follow `link`
// (described by `status`): in a sticky folder that anyone may write, only a
// link of this user or of the folder's owner is followed, so that a link
// another user planted there cannot aim a write at a file of its choosing.
bool MayFollow(const FilePath& link, const struct stat& status) {
    const FilePath folder = link.parent().empty() ? FilePath(std::string(".")) : link.parent();
    struct stat holder {};
    if (stat(folder.c_str(), &holder) != 0) {
        return false;
    }
    const bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
    return !shared || status.st_uid == geteuid() || status.st_uid == holder.st_uid;
}

// A link in /proc (/dev/stdout, /dev/fd/N) names an open file, not a path:
// only the kernel can follow it.
bool IsProcessLink(const FilePath& link) {
    struct statfs system {};
    const FilePath folder = link.parent().empty() ? FilePath(std::string(".")) : link.parent();
    return statfs(folder.c_str(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

// A FIFO, a pipe, a terminal or another device is written where it is, as a
// shell's ">" writes it: replacing it with a regular file would break what
// reads it. Opened without blocking, so a FIFO nobody reads is a failure and
// not a wait without end; `flags` adds how the path is opened.
ShellResult WriteInPlace(const FilePath& path, std::string_view bytes, int flags) {
    UniqueDescriptor file(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags));
    if (!file) {
        return Failure(errno);
    }
    int waited = 0;
    while (!bytes.empty()) {
        const ssize_t written = write(file.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EAGAIN && waited < kStalledReaderMilliseconds) {
            pollfd ready{file.get(), POLLOUT, 0};
            constexpr int kStep = 100;
            poll(&ready, 1, kStep);
            waited += kStep;
            continue;
        }
        if (written <= 0) {
            return Failure(written < 0 ? errno : EIO);
        }
        waited = 0;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    // A device or pipe may report a failed write only when it is closed.
    return close(file.release()) == 0 ? ShellResult{} : Failure(errno);
}

} // namespace

std::FILE* CreateTemporaryBeside(const FilePath& path, FilePath& temporary) {
    // Created with O_EXCL and mode 0666, so that the process's umask applies as
    // to any new file; changing the umask would race with the other threads.
    const std::string prefix = (path.parent().empty() ? std::string(".") : path.parent().native()) +
                               "/." + path.name().native() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix + std::to_string(RandomBits());
        UniqueDescriptor fd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd) {
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
            fchmod(fd.get(), existing.st_mode & 0777);
        }
        std::FILE* file = fdopen(fd.get(), "wb");
        if (file != nullptr) {
            // The stream owns the descriptor now.
            fd.release();
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
        if (const UniqueDescriptor directory(
                open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            directory) {
            fsync(directory.get());
        }
        return true;
    }
    error = errno;
    meaning = errno;
    return false;
}

std::optional<ShellResult> WriteWhereItStands(FilePath& path, std::string_view bytes) {
    // The links are followed here, one by one, only to learn where the file
    // stands, so that the new file is made beside it and the link stays.
    struct stat status {};
    for (int hop = 0;; ++hop) {
        if (lstat(path.c_str(), &status) != 0) {
            if (hop > 0 && errno == ENOENT) {
                return ShellResult{ENOENT, "O atalho aponta para um arquivo que não existe"};
            }
            return std::nullopt;
        }
        if (!S_ISLNK(status.st_mode)) {
            break;
        }
        if (hop == kMostLinks) {
            return Failure(ELOOP);
        }
        if (!MayFollow(path, status)) {
            return ShellResult{EACCES,
                               "O atalho pertence a outro usuário numa pasta compartilhada"};
        }
        if (IsProcessLink(path)) {
            return WriteInPlace(path, bytes, O_TRUNC);
        }
        std::string target(4096, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return Failure(length < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.front() == '/' || path.parent().empty() ? FilePath(std::move(target))
                                                              : path.parent() / target;
    }
    if (S_ISDIR(status.st_mode)) {
        return Failure(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return WriteInPlace(path, bytes, O_NOFOLLOW);
    }
    return std::nullopt;
}

} // namespace vexor::file_calls
