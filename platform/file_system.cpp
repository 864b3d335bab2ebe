// The parts of the file-system services that are the same on every system.
#include "platform/file_system.h"
#include "platform/env_system.h"

#include <cerrno>

namespace quillmark {

std::FILE* create_file_beside(const std::string& target, std::string& temporary) {
    const std::string stem = target + ".tmp" + std::to_string(process_number());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
        errno = 0;
        std::FILE* stream = create_new_file(temporary, target);
        if (stream || errno != EEXIST) return stream; // EEXIST: left by an earlier run
    }
    errno = EEXIST;
    return nullptr;
}

bool close_durably(std::FILE* stream) {
    errno = 0;
    bool done = std::fflush(stream) == 0 && !std::ferror(stream);
    int error = errno;
    if (done && !send_to_disk(stream)) {
        done = false;
        error = errno;
    }
    if (std::fclose(stream) != 0 && done) {
        done = false;
        error = errno;
    }
    if (!done) errno = error != 0 ? error : EIO;
    return done;
}

} // namespace quillmark
