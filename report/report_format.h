// The report buffer, the one way to standard output of the grader: every
// byte of the report is put together in it, in order, and goes out a large
// block at a time. Also the hand-written formatting of cells: each cell
// writer puts its text at out, without a terminator, and yields the position
// after it; the text is byte for byte what the C format named gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/env.h"

namespace quillmark {

// The characters of a string literal, copied as one block.
template <std::size_t N> char* write_literal(char* out, const char (&text)[N]) {
    std::memcpy(out, text, N - 1);
    return out + (N - 1);
}

// A number right-aligned in a field of at least width places ("%*d").
char* write_int(char* out, std::int32_t value, int width);

// The most room one request for report space may ask for.
constexpr std::size_t REPORT_ROOM_MAX = 8192;

// Where the next characters of the report go, with at least `room`
// (at most REPORT_ROOM_MAX) characters free there. What is written there
// becomes part of the report with report_advance.
char* report_space(std::size_t room);

// The report now goes up to `end`, a position within the last space given.
void report_advance(char* end);

// Puts a text of any length into the report.
void report_write(std::string_view text);

// Puts the text that the C format gives into the report, however long.
void report_printf(const char* format, ...) QUILLMARK_PRINTF_FORMAT;

// Writes what the report holds to standard output (in one write of the C
// library); a failed write shows in ferror(stdout). What the report holds
// when the process ends, also through end_process, is written then.
void report_flush();

} // namespace quillmark
