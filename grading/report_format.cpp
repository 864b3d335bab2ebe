#include "grading/report_format.h"

#include <charconv>
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

} // namespace quillmark
