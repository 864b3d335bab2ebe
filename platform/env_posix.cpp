// POSIX source of the platform layer.
#include "platform/env.h"
#include "platform/env_system.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/types.h>
#include <time.h>

namespace quillmark {

std::FILE* open_text_file(const char* name) { return std::fopen(name, "r"); }

bool text_reads_keep_carriage_returns() { return true; }

bool file_names_ignore_case() { return false; }

bool read_text_line(std::FILE* file, LineBuffer& buffer) {
    errno = 0;
    ssize_t got = getline(&buffer.data, &buffer.capacity, file);
    if (got < 0) {
        // Only the end of the file ends the input quietly: a read error, or
        // a line too long for the memory left, is an error.
        const bool at_end = std::feof(file) && !std::ferror(file);
        buffer.error = at_end ? 0 : failed_call_error(errno);
        buffer.length = 0;
        return false;
    }
    std::size_t end = static_cast<std::size_t>(got);
    if (end > 0 && buffer.data[end - 1] == '\n') {
        --end;
        if (end > 0 && buffer.data[end - 1] == '\r') --end;
    }
    return finish_line(buffer, end);
}

std::tm to_local_time(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::uint64_t system_file_time() {
    // The real-time clock since 1970, in seconds and nanoseconds, as a count
    // of 100-nanosecond intervals since 1601, the form the generator is
    // seeded with.
    const auto since_1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    const auto seconds = static_cast<std::uint64_t>(since_1970 / 1000000000);
    const auto nanoseconds = static_cast<std::uint64_t>(since_1970 % 1000000000);
    return seconds * 10000000u + 116444736000000000u + nanoseconds / 100u;
}

void begin_output() {
    // stderr is unbuffered by default: each formatted write would be a write
    // of its own, and a message made of several would go out in pieces.
    static char message_buffer[16384];
    std::setvbuf(stderr, message_buffer, _IOFBF, sizeof message_buffer);
}

} // namespace quillmark
