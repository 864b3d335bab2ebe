#include "report/report_format.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quillmark {

char* write_int(char* out, std::int32_t value, int width) {
    char digits[12];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto count = static_cast<int>(end - digits);
    for (int pad = width - count; pad > 0; --pad) *out++ = ' ';
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
}

namespace {

// Rows go to standard output a megabyte at a time: a row costs a copy into
// this buffer, not a call of the C library.
constexpr std::size_t REPORT_BUFFER_SIZE = std::size_t{1} << 20;
char report_buffer[REPORT_BUFFER_SIZE];
std::size_t report_used = 0;

// Rows already put together reach standard output also when the process
// ends early (a fatal option error ends it through end_process): static
// objects are destroyed before the C library closes its streams.
struct FlushAtExit {
    ~FlushAtExit() { report_flush(); }
} flush_at_exit;

} // namespace

char* report_space(std::size_t room) {
    if (REPORT_BUFFER_SIZE - report_used < room) report_flush();
    return report_buffer + report_used;
}

void report_advance(char* end) { report_used = static_cast<std::size_t>(end - report_buffer); }

void report_write(std::string_view text) {
    while (!text.empty()) {
        const std::size_t part = text.size() < REPORT_ROOM_MAX ? text.size() : REPORT_ROOM_MAX;
        char* out = report_space(part);
        std::memcpy(out, text.data(), part);
        report_advance(out + part);
        text.remove_prefix(part);
    }
}

void report_printf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    char* out = report_space(REPORT_ROOM_MAX);
    const int length = std::vsnprintf(out, REPORT_ROOM_MAX, format, args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) < REPORT_ROOM_MAX) {
        report_advance(out + length);
    } else if (length >= 0) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        report_write(std::string_view(text.data(), static_cast<std::size_t>(length)));
    }
    va_end(again);
}

void report_flush() {
    if (report_used > 0) std::fwrite(report_buffer, 1, report_used, stdout);
    report_used = 0;
}

} // namespace quillmark
