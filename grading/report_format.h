// Hand-written formatting of the report cells written for every sheet. Each
// writer puts its text at out, without a terminator, and yields the position
// after it; the text is byte for byte what the C format named gives.
#pragma once

#include <cstdint>

namespace quillmark {

// The characters of a text up to its terminator ("%s").
char* write_text(char* out, const char* text);

// A number right-aligned in a field of at least width places ("%*d").
char* write_int(char* out, std::int32_t value, int width);

} // namespace quillmark
