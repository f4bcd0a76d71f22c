#include "FileCalls.h"

#include <cerrno>
#include <io.h>
#include <windows.h>

namespace vexor::file_calls {

std::FILE* CreateTemporaryBeside(const FilePath& path, FilePath& temporary) {
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
}

bool FlushToDisk(std::FILE* file) {
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
}

void RemoveFile(const FilePath& path) {
    DeleteFileW(path.c_str());
}

bool IsDirectory(const FilePath& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RenameOver(const FilePath& from, const FilePath& to, int& error, int& meaning) {
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
}

std::optional<ShellResult> WriteWhereItStands(FilePath&, std::string_view) {
    return std::nullopt;
}

} // namespace vexor::file_calls
