#include "FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

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

std::FILE* OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

} // namespace

ShellResult ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(OpenForWriting(temporary));
    if (!file) {
        return Failure(errno);
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
        return ShellResult{renameError.value(), renameError.message()};
    }
    return {};
}

} // namespace vexor
