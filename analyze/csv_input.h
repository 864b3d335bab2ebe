// Small comma-separated files that a person keeps in a spreadsheet and gives
// the analysis beside the report (the version map, the tag file): read
// whole, cut into rows of cells, and the heading's columns found by name.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The column of a heading row whose cell is `name`, in any case; -1 when
// there is none.
int heading_column(const CsvRow& heading, const char* name);

// The cell of a row in `column`, empty when the row is shorter.
const std::string& cell_at(const CsvRow& row, int column);

// A question number as a cell holds it: digits only, 1 to `highest`.
bool parse_question_number(const std::string& cell, std::int32_t highest, std::int32_t& number);

// A cell for a message: in double quotes, at most 40 bytes of it.
std::string quoted_for_message(const std::string& cell);

} // namespace quillmark
