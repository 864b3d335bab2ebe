// Reading the sheet file: its lines, one at a time, each ended by a zero
// byte and cut short to what cutting it into a sheet reads, in memory that
// does not grow with the file or with its longest line.
#pragma once

#include <cstddef>
#include <cstdio>

#include "report/report_layout.h"

namespace quillmark {

// The longest text that parse_sheet_line reads of one line: the identifier
// and exam number fields with the commas that end them, the form letter, and
// the response field up to its 1000th response with the separators between
// the groups of ten.
constexpr std::size_t RESPONSE_FIELD_READ = MAX_QUESTIONS + MAX_QUESTIONS / 10;
constexpr std::size_t REDUCED_LINE_MAX = MAX_ID + 1 + 1 + 1 + MAX_EXAM + 1 + RESPONSE_FIELD_READ;

// Characters that can be read after the terminator of every line that
// sheet_lines_next yields (parse_sheet_text reads ahead in blocks).
constexpr std::size_t LINE_READ_AHEAD = 16;

// Keeps, of a line fed to it in pieces, the characters that parse_sheet_line
// reads, so that a line of any length is cut into the same sheet as the
// whole line: the first ten characters of the identifier field, the form
// letter, the first three of the exam number field, the commas that end
// those fields, and the first RESPONSE_FIELD_READ characters of the
// response field. A zero byte ends the line's text.
struct LineReducer {
    char text[REDUCED_LINE_MAX + 1 + LINE_READ_AHEAD];
    std::size_t length;   // characters kept
    int field;            // the part of the line that the next character is in
    std::size_t in_field; // characters kept of that part
};

// Starts a new line.
void reducer_start(LineReducer& reducer);

// Feeds the next characters of the line (no line feed among them).
void reducer_feed(LineReducer& reducer, const char* bytes, std::size_t count);

// The characters kept so far, ended by a zero byte.
const char* reducer_text(LineReducer& reducer);

// Starts reading a sheet file opened with open_text_file.
void sheet_lines_open(std::FILE* file);

// Yields the next line of the file without its line end (the line feed and,
// where the system's text reading leaves it, the carriage return before it),
// ended by a zero byte; a line longer than the read block is yielded in the
// reduced form that LineReducer keeps. Yields nullptr at the end of the file
// or on a read error; sheet_lines_error then tells which (0 at the end, else
// the system's error number). `length` gets the number of characters before
// the terminator (a zero byte among them still ends the line's text); the
// LINE_READ_AHEAD characters after the terminator can be read too. The text
// is valid until the next call.
const char* sheet_lines_next(std::size_t& length);

int sheet_lines_error();

} // namespace quillmark
