// POSIX source of the file-system services.
#include "platform/env_system.h"
#include "platform/file_system.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

FileIdentity identity_of(const struct stat& status) {
    FileIdentity identity;
    identity.kind = S_ISREG(status.st_mode)   ? FileKind::regular
                    : S_ISDIR(status.st_mode) ? FileKind::folder
                                              : FileKind::other;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.file = static_cast<std::uint64_t>(status.st_ino);
    return identity;
}

} // namespace

FileIdentity file_identity(const std::string& name) {
    struct stat status;
    if (name.empty() || stat(name.c_str(), &status) != 0) return {};
    return identity_of(status);
}

FileIdentity stream_identity(std::FILE* stream) {
    struct stat status;
    if (fstat(fileno(stream), &status) != 0) return {};
    return identity_of(status);
}

std::string link_target(const std::string& name) {
    struct stat status;
    if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return name;
    char* resolved = realpath(name.c_str(), nullptr);
    if (!resolved) return name; // a link to nothing is replaced itself
    std::string target = resolved;
    std::free(resolved);
    return target;
}

std::string folder_of(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

std::string last_part(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

unsigned long process_number() { return static_cast<unsigned long>(getpid()); }

std::FILE* create_new_file(const std::string& name, const std::string& like) {
    struct stat status;
    const bool replaces = stat(like.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    // The new file is read by whoever read the old one.
    if (replaces) (void)fchmod(fd, status.st_mode & 07777);
    std::FILE* stream = fdopen(fd, "wb");
    if (stream) return stream;
    const int error = errno;
    close(fd);
    unlink(name.c_str());
    errno = error;
    return nullptr;
}

bool send_to_disk(std::FILE* stream) { return fsync(fileno(stream)) == 0; }

bool replace_file(const std::string& temporary, const std::string& target) {
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

} // namespace quillmark
