// Small comma-separated files that a person keeps in a spreadsheet and gives
// the analysis beside the report (the version map, the tag file): read
// whole, cut into rows of cells, and the heading's columns found by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillmark {

// What is wrong with such a file: the line that shows it (0 for the file as
// a whole) and the fault.
struct FileError {
    std::int32_t line = 0;
    std::string message;
};

// One row: the line it starts on (from 1) and its cells.
struct CsvRow {
    std::int32_t line = 0;
    std::vector<std::string> cells;
};

// The largest such file read: far more than a map of ten forms of 1000
// questions or a tag file of every question with many tags needs.
constexpr std::size_t CSV_INPUT_LIMIT = 16u << 20;

// Reads the whole file, as bytes. Yields false with `error` (the system's
// text, or a word on the size) when it cannot be opened or read, or is
// larger than CSV_INPUT_LIMIT.
bool read_input_file(const std::string& name, std::string& text, std::string& error);

// Cuts a file's text into rows as a spreadsheet saves them: a UTF-8 byte
// order mark at the start is skipped; lines end with a line feed, with or
// without a carriage return before it; cells are separated by commas, or by
// semicolons when the first row has a semicolon and no comma; a cell in
// double quotes may hold separators, line ends and doubled quotes. Blanks
// and tabs around a cell are dropped, and rows whose cells are all empty
// are left out. Yields false on a quoted cell that is never closed or that
// has text after its closing quote.
bool split_csv(const std::string& text, std::vector<CsvRow>& rows, FileError& error);

// Reads a file whose first row is its heading, cut into rows as split_csv
// cuts it: finds the heading's column of each of `names` (in any order and
// case; -1 where it has none), then hands every further row, in order, to
// `each` with those columns. Faults, at their line, end the reading: an
// empty file; a heading without one of the first `required` names (the
// messages show the heading as the names joined by commas); a row with a
// cell that is not empty past the heading's last; whatever `each` finds (it
// yields false after setting `error`).
bool read_headed_rows(
    const std::string& text, const std::vector<const char*>& names, std::size_t required,
    const std::function<bool(const CsvRow& row, const std::vector<int>& columns)>& each,
    FileError& error);

// The cell of a row in `column`, empty when the row is shorter.
const std::string& cell_at(const CsvRow& row, int column);

// The number in a row's cell, digits only, from 1 to `highest`; else false
// with the fault "the <what> number "<cell>" is not a number from 1 to
// <highest>" at the row's line.
bool number_cell(const CsvRow& row, int column, const char* what, std::int32_t highest,
                 std::int32_t& number, FileError& error);

// A cell for a message: in double quotes, at most 40 bytes of it.
std::string quoted_for_message(const std::string& cell);

} // namespace quillmark
