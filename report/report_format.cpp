#include "report/report_format.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace quillmark {

char* write_text(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

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

} // namespace

char* report_space(std::size_t room) {
    if (REPORT_BUFFER_SIZE - report_used < room) report_flush();
    return report_buffer + report_used;
}

void report_advance(char* end) { report_used = static_cast<std::size_t>(end - report_buffer); }

void report_flush() {
    if (report_used > 0) std::fwrite(report_buffer, 1, report_used, stdout);
    report_used = 0;
}

} // namespace quillmark
