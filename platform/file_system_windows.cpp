// Windows source of the file-system services (built with mingw-w64).
#include "platform/env_system.h"
#include "platform/file_system.h"

#include <cerrno>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

namespace quillmark {

namespace {

// The C runtime's error number for a system error code.
int error_number(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    default: return EIO;
    }
}

FileIdentity identity_of(HANDLE handle) {
    FileIdentity identity;
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN) return identity;
    identity.kind = FileKind::other; // a console, a pipe, NUL
    BY_HANDLE_FILE_INFORMATION information;
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information))
        return identity;
    identity.kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                        ? FileKind::folder
                        : FileKind::regular;
    identity.device = information.dwVolumeSerialNumber;
    identity.file =
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return identity;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The position of the last separator, or npos.
std::size_t last_separator(const std::string& name) {
    for (std::size_t i = name.size(); i > 0; --i)
        if (is_separator(name[i - 1])) return i - 1;
    return std::string::npos;
}

bool has_drive(const std::string& name) { return name.size() >= 2 && name[1] == ':'; }

} // namespace

FileIdentity file_identity(const std::string& name) {
    if (name.empty()) return {};
    // No access asked for: the handle only tells what the file is. Folders
    // open only with backup semantics.
    HANDLE handle =
        CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    const FileIdentity identity = identity_of(handle);
    CloseHandle(handle);
    return identity;
}

FileIdentity stream_identity(std::FILE* stream) {
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    if (handle == -1) return {};
    return identity_of(reinterpret_cast<HANDLE>(handle));
}

std::string link_target(const std::string& name) { return name; }

std::string folder_of(const std::string& name) {
    const std::size_t at = last_separator(name);
    if (at == std::string::npos) return has_drive(name) ? name.substr(0, 2) + "." : ".";
    if (at == 0 || (at == 2 && has_drive(name))) return name.substr(0, at + 1); // a root
    return name.substr(0, at);
}

std::string last_part(const std::string& name) {
    const std::size_t at = last_separator(name);
    if (at != std::string::npos) return name.substr(at + 1);
    return has_drive(name) ? name.substr(2) : name;
}

unsigned long process_number() { return static_cast<unsigned long>(_getpid()); }

std::FILE* create_new_file(const std::string& name, const std::string&) {
    const int fd =
        _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* stream = _fdopen(fd, "wb");
    if (stream) return stream;
    const int error = errno;
    _close(fd);
    _unlink(name.c_str());
    errno = error;
    return nullptr;
}

bool send_to_disk(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }

bool replace_file(const std::string& temporary, const std::string& target) {
    if (MoveFileExA(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = error_number(GetLastError());
    return false;
}

} // namespace quillmark
