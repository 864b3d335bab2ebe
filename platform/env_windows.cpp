// Windows source of the platform layer (built with mingw-w64).
#include "platform/env.h"
#include "platform/env_system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace quillmark {

namespace {

constexpr std::size_t FIRST_LINE_CAPACITY = 1024;

// Makes room for at least two more characters (one read and its zero byte)
// after the first `used`; false when the memory cannot be had.
bool make_room(LineBuffer& buffer, std::size_t used) {
    if (buffer.capacity - used >= 2 && buffer.data) return true;
    std::size_t capacity =
        buffer.capacity < FIRST_LINE_CAPACITY ? FIRST_LINE_CAPACITY : buffer.capacity * 2;
    if (capacity <= buffer.capacity) return false; // the size would wrap
    void* grown = std::realloc(buffer.data, capacity);
    if (!grown) return false;
    buffer.data = static_cast<char*>(grown);
    buffer.capacity = capacity;
    return true;
}

// The position of the zero byte that fgets wrote after what it read into
// [from, from + size), the region having been filled with line feeds first:
// it is the last zero byte there, since every zero byte of the file itself
// comes before it.
std::size_t end_of_read(const char* from, std::size_t size) {
    std::size_t i = size;
    while (i > 0 && from[i - 1] != '\0') --i;
    return i - 1; // fgets wrote one, so i > 0
}

} // namespace

std::FILE* open_text_file(const char* name) { return std::fopen(name, "r"); }

bool text_reads_keep_carriage_returns() { return false; }

bool file_names_ignore_case() { return true; }

bool read_text_line(std::FILE* file, LineBuffer& buffer) {
    // The line is gathered whole, zero bytes included, by fgets into the
    // free end of the buffer until a piece ends in a line feed or the file
    // ends. A zero byte read from the file is told from the one fgets writes
    // by filling the free end with line feeds before each read.
    std::size_t used = 0;
    bool line_fed = false;
    for (;;) {
        if (!make_room(buffer, used)) {
            buffer.error = ENOMEM;
            buffer.length = 0;
            return false;
        }
        std::size_t room = buffer.capacity - used;
        if (room > static_cast<std::size_t>(INT_MAX)) room = INT_MAX;
        char* piece = buffer.data + used;
        std::memset(piece, '\n', room);
        errno = 0;
        if (!std::fgets(piece, static_cast<int>(room), file)) {
            if (std::ferror(file)) {
                buffer.error = failed_call_error(errno);
                buffer.length = 0;
                return false;
            }
            if (used == 0) { // end of the file
                buffer.error = 0;
                buffer.length = 0;
                return false;
            }
            break; // the last line has no line feed
        }
        used += end_of_read(piece, room);
        if (used > 0 && buffer.data[used - 1] == '\n') {
            line_fed = true;
            break;
        }
        if (std::feof(file)) break;
    }
    // In text mode the C runtime has already turned the carriage return and
    // line feed pair into a line feed: a carriage return still standing
    // before it was another character of the line.
    if (line_fed) --used;
    return finish_line(buffer, used);
}

std::tm to_local_time(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::uint64_t system_file_time() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void begin_output() {
    // The report and the messages keep their line feeds as written, so that
    // they are the same bytes as on every other system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // stderr is unbuffered by default: each formatted write, even each
    // character, would be a write of its own.
    static char message_buffer[16384];
    std::setvbuf(stderr, message_buffer, _IOFBF, sizeof message_buffer);
}

} // namespace quillmark
