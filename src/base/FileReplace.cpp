#include "FileReplace.h"

#include "FileCalls.h"
#include "UniqueHandle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

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
    case ENXIO:
        return "Nenhum programa está lendo a fila";
    case EAGAIN:
        return "O programa que lê a fila parou de ler";
    case ELOOP:
        return "Há atalhos demais no caminho";
    default:
        return std::strerror(error);
    }
}

} // namespace

ShellResult file_calls::Failure(int error) {
    return ShellResult{error == 0 ? EIO : error, DescribeErrno(error == 0 ? EIO : error)};
}

namespace {

using namespace file_calls;

using File = UniqueHandle<std::FILE, fclose>;

// The reason a finished report could not take the old one's place.
ShellResult RenameFailure(int error, int meaning) {
    if (meaning == EACCES || meaning == EPERM || meaning == ENOENT || meaning == ENOSPC ||
        meaning == EROFS || meaning == EISDIR) {
        return ShellResult{error, DescribeErrno(meaning)};
    }
    return ShellResult{error, "O arquivo não pôde substituir o anterior"};
}

} // namespace

ShellResult ReplaceFileContents(const FilePath& requested, std::string_view bytes) {
    FilePath path = requested;
    if (auto done = file_calls::WriteWhereItStands(path, bytes)) {
        return *done;
    }
    FilePath temporary;
    errno = 0;
    File file(CreateTemporaryBeside(path, temporary));
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
    File file(CreateTemporaryBeside(directory / "IP.txt", temporary));
    // Only a file that opened counts: Wine's GetTempFileNameW hands out a name
    // even when it could not create the file.
    const bool opened = static_cast<bool>(file);
    file.reset();
    if (!temporary.empty()) {
        RemoveFile(temporary);
    }
    return opened;
}

} // namespace vexor
