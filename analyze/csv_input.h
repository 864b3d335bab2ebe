// Comma-separated files that a person keeps in a spreadsheet and gives the
// analysis beside the report (the class list, the version map, the tag
// file): read in pieces of any size, cut into rows of cells as a
// spreadsheet saves them, and, for the files whose heading names their
// columns, those columns found by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// What is wrong with such a file: the line that shows it (0 for the file as
// a whole, -1 for a read error, whose message is the system's text) and the
// fault.
struct FileError {
    std::int32_t line = 0;
    std::string message;
};

// The longest row (heading row included) such a file may have, in bytes.
constexpr std::size_t MAX_CSV_ROW = 1 << 20;

// Cuts a file's text, handed over in pieces of any size, into rows, as a
// spreadsheet saves them: UTF-8 with or without a byte order mark; lines
// ended by CR LF, LF or CR; cells separated by commas, or by semicolons when
// the first row that is not empty holds more semicolons than commas outside
// quotes; a cell in double quotes may hold separators, line ends and doubled
// quotes (a quote inside a cell that does not begin with one is text).
// Cells are handed on as the file holds them, quotes undone, nothing else
// changed; rows whose cells are all empty are passed over. Refused, at
// their line: a row longer than MAX_CSV_ROW, text after a closing quote, a
// quote left open at the end.
class CsvReader {
public:
    // Takes each row: its cells (which it may keep) and the line it begins
    // on. It yields false after setting `error` to end the reading.
    using RowHandler =
        std::function<bool(std::vector<std::string>& cells, std::int32_t line, FileError& error)>;

    explicit CsvReader(RowHandler each) : each_(std::move(each)) {}

    // Reads the next piece; false once the reading has failed.
    bool add(const char* data, std::size_t size);
    // Ends the last row; false with the first fault in `error`.
    bool finish(FileError& error);

private:
    enum class Cell { start, plain, quoted, quote_in_quoted };
    bool put(unsigned char c);
    bool end_row();
    bool start_rows();
    bool refuse(std::int32_t line, std::string message);

    RowHandler each_;
    FileError error_;
    bool failed_ = false;
    // Until its first line end outside quotes, the text is kept here, so
    // that the first row can tell the separator.
    bool separator_known_ = false;
    std::string heading_text_;
    bool heading_in_quotes_ = false;
    std::size_t commas_ = 0;
    std::size_t semicolons_ = 0;
    char separator_ = ',';
    Cell state_ = Cell::start;
    bool after_cr_ = false;
    std::int32_t line_ = 1;       // the line of the byte being read
    std::int32_t row_line_ = 1;   // the line the row being read began on
    std::int32_t quote_line_ = 1; // the line the open quoted cell began on
    std::size_t row_bytes_ = 0;
    std::string cell_;
    std::vector<std::string> row_;
};

// Hands a file opened in binary mode to `take` in pieces, to its end or
// until `take` yields false. A read error yields false with line -1 and the
// system's text.
bool read_pieces(std::FILE* file, const std::function<bool(const char*, std::size_t)>& take,
                 FileError& error);

// The largest version map or tag file read whole: far more than a map of
// ten forms of 1000 questions or a tag file of every question with many
// tags needs.
constexpr std::size_t CSV_INPUT_LIMIT = 16u << 20;

// Reads such a file whole; false with `error` on a read error or when it is
// larger than CSV_INPUT_LIMIT (line 0).
bool read_whole_file(std::FILE* file, std::string& text, FileError& error);

// One row of a headed file: the line it starts on (from 1) and its cells,
// blanks and tabs around each dropped.
struct CsvRow {
    std::int32_t line = 0;
    std::vector<std::string> cells;
};

// Reads a text whose first row is its heading, cut into rows as CsvReader
// cuts it: finds the heading's column of each of `names` (in any order and
// case; -1 where it has none), then hands every further row that is not
// blank, in order, to `each` with those columns. Faults, at their line, end
// the reading: an empty file; a heading without one of the first `required`
// names (the messages show the heading as the names joined by commas); a
// row with a cell that is not empty past the heading's last; whatever
// `each` finds (it yields false after setting `error`).
bool read_headed_rows(
    std::string_view text, const std::vector<const char*>& names, std::size_t required,
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
