#include "grading/report_format.h"

namespace quillmark {

char* write_text(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

char* write_int(char* out, std::int32_t value, int width) {
    char digits[12];
    int count = 0;
    // Worked on the magnitude as unsigned, so that the most negative number
    // has one too.
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                        : static_cast<std::uint32_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[count++] = '-';
    for (int pad = width - count; pad > 0; --pad) *out++ = ' ';
    while (count > 0) *out++ = digits[--count];
    return out;
}

} // namespace quillmark
