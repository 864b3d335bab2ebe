// The class list: the students a batch should hold, read from a CSV file as a
// spreadsheet saves it, and the matching of the report's sheets to them, with
// the findings for the checks table: sheets whose ID is on nobody's row,
// students without a sheet, identifiers corrected for a certain slip, and
// identifiers the class list gives twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "analyze/csv_input.h"
#include "analyze/report_reader.h"
#include "analyze/sheet_checks.h"

namespace quillmark {

// The longest row (heading row included) a class list may have, in bytes.
constexpr std::size_t MAX_CLASS_LIST_ROW = MAX_CSV_ROW;

// A class list as read: the heading row's cells, which of them is the
// identifier column, and every student's row with exactly one cell per
// heading, as the file holds it (quotes undone, nothing else changed), in
// file order with the line each row begins on.
struct ClassList {
    std::vector<std::string> headings;
    std::size_t id_column = 0;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::int32_t> lines;
};

// A class list that cannot be used: the line that shows it (0 for the whole
// file, -1 for a read error, whose message is the system's text) and why.
using ClassListError = FileError;

// Reads a class list in pieces of any size, cut into rows as CsvReader
// cuts them (csv_input.h). The first row is the heading row; the
// identifier column is the one headed "Student ID", else "ID" (any case,
// blanks around ignored), else the first. Refused, besides what CsvReader
// refuses: an empty file; a row with more non-empty cells than headings; no
// student row; an empty identifier heading; and, where the first column is
// taken for want of a named one, a heading row whose first cell is an
// identifier (all digits: no heading row) or a first column that holds no
// digit on any row (no identifier column). A shorter row gets empty cells
// to the heading row's width.
class ClassListReader {
public:
    ClassListReader();
    ClassListReader(const ClassListReader&) = delete;
    ClassListReader& operator=(const ClassListReader&) = delete;
    bool add(const char* data, std::size_t size) { return csv_.add(data, size); }
    bool finish(ClassList& list, ClassListError& error);

private:
    bool take_row(std::vector<std::string>& cells, std::int32_t line, FileError& error);

    ClassList list_;
    bool have_headings_ = false;
    std::int32_t heading_line_ = 0;
    bool id_named_ = false; // a heading names the identifier column
    CsvReader csv_;
};

// Reads a whole class list from a file opened in binary mode; a read error
// gives line -1 and the system's text.
bool read_class_list(std::FILE* file, ClassList& list, ClassListError& error);

// The same for a text in memory.
bool read_class_list(std::string_view text, ClassList& list, ClassListError& error);

// The column headed `name`: the heading equal to it, else the first that
// is equal to it in any case of ASCII letters with the blanks around both
// ignored; list.headings.size() when there is none.
std::size_t find_column(const ClassList& list, std::string_view name);

// The identifier a student bubbled, from a sheet's Student ID cell as the
// report shows it (its first character read back with bubbled_id_first).
std::string bubbled_id(const SheetIdentity& sheet);

// The form in which two identifiers are compared: blanks (spaces and tabs)
// removed and, when all that is left is digits, leading zeros removed (one
// zero stays of an identifier of zeros). Two identifiers match when their
// keys are equal and not empty.
std::string id_key(std::string_view id);

// How a sheet's identifier may have gone wrong from a student's: in exactly
// one character ("one digit off"), or in two neighbouring characters that
// are each other's ("neighbouring digits swapped"). Compared on the keys,
// the shorter left-padded with zeros; keys longer than MAX_ID and empty keys
// are never a slip of anything.
enum class IdSlip { none, one_digit, swapped };
IdSlip id_slip(std::string_view key_a, std::string_view key_b);
const char* slip_text(IdSlip slip); // "one digit off", "neighbouring digits swapped"

// No student: a sheet matched to nobody.
constexpr std::int32_t NO_STUDENT = -1;

// The sheets matched to the class list's students:
// - `student_of_sheet[i]`: the row (0 for the first student row) of the
//   student whose sheet report row i + 1 is, or NO_STUDENT;
// - `corrected[i]`: 1 where that match is by a corrected identifier;
// - `repeated[r]`: 1 where student row r shares its identifier with another
//   row (such rows are matched to no sheet);
// - `counts`: the students on the list, the sheet rows, the sheets matched
//   to a student (corrected ones included), those matched by a corrected
//   identifier, the sheets matched to nobody and the students without a
//   sheet (the last two as many as their findings).
struct ClassListCounts {
    std::int64_t on_list = 0;
    std::int64_t sheets = 0;
    std::int64_t matched = 0;
    std::int64_t corrected = 0;
    std::int64_t not_on_list = 0;
    std::int64_t no_sheet = 0;
};
struct ClassListMatch {
    std::vector<std::int32_t> student_of_sheet;
    std::vector<unsigned char> corrected;
    std::vector<unsigned char> repeated;
    ClassListCounts counts;
};

// Matches every sheet row of the report to the class list (an identifier
// matches the student whose key is equal, unless the class list repeats
// it) and appends the findings to `checks`:
// - "not on the class list" (a sheet matched to nobody; the
//   Detail gives the identifier bubbled, says when the class list repeats
//   it, and names every student without a sheet whose identifier is a slip
//   away), "no sheet" (a student with a non-repeated identifier and no
//   sheet), "ID corrected" (a sheet whose identifier is on no row and is a
//   slip away from exactly one student without a sheet, who is a slip away
//   from no other such sheet: matched to that student), "class list repeats
//   ID" (one finding per repeated identifier, naming its rows' lines);
// by kind, then by Order or class-list order.
ClassListMatch match_class_list(const ClassList& list, const std::vector<SheetIdentity>& sheets,
                                std::vector<SheetCheck>& checks);

} // namespace quillmark
