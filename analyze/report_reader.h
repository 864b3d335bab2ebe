// Reads a report that quillmark wrote, line by line, into one compact table
// of answers per form: the rows before the column headings (of which the key
// rows give each form's number of questions and its dropped questions), the
// column headings in either order, the result rows and "no key" rows, up to
// the statistics heading, and after it the grader's item analysis, which
// tells the answers each question accepts. The statistics rows and the
// mismatch line are not read. Only one byte per sheet and question and the
// identity of every sheet row are kept, so that a report of any length is
// read in about that much memory, and no line is held longer than the
// grader can write one (REPORT_LINE_MAX). The rows are cut by the parsers
// of report/report_rows.h; what is here puts them together.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analyze/item_statistics.h"
#include "report/report_rows.h"

namespace quillmark {

// One form with scored sheets: the numbers (from 1) of its scored
// questions, the answers each of them accepts, and every sheet's answer on
// them, in report order. A mark missing at the end of a sheet's scoring
// string is a wrong answer with no response. A form may hold every sheet
// the report can number: Orders are 32-bit counts, so every count of
// sheets fits 32 bits.
struct FormScores {
    char form = 0;
    std::int32_t key_questions = 0;
    std::vector<std::int32_t> question_numbers;
    ResponseMatrix matrix;
};

// The identity of one sheet row: its Student ID and Exam # cells without
// their quotes (padded with zero bytes, which no cell holds), the form
// letter as written, and whether the row is a scored one of that form.
struct SheetIdentity {
    char id[10];
    char exam[3];
    char form;
    unsigned char scored; // 1 for a result row, 0 for a "no key" row
};

// A report that is not one of the grader's: the line that shows it (0 when
// the report is empty) and what is wrong with it.
struct ReportError {
    std::int64_t line = 0;
    std::string message;
};

// Everything the reader found: the forms with scored sheets, in letter
// order; every sheet row's identity, in report order (row i has Order
// i + 1); the Orders of the rows without a single response and of the "no
// key" rows; and how many sheet rows the report had of each kind.
struct ReportTables {
    std::vector<FormScores> forms;
    std::vector<SheetIdentity> identities;
    std::vector<std::int32_t> empty_rows; // Orders of rows whose responses are all '-'
    std::vector<std::int32_t> no_key_orders;
    std::int32_t sheet_rows = 0;
    std::int32_t no_key_rows = 0;
    std::int32_t unscored_rows = 0; // rows of a form whose key has no scored question
};

// Reads a report one line at a time. Give it every line, in order, without
// its line feed; `add_line` yields false at the first line that does not
// fit the report's layout, `finish` false for a report that ends before its
// statistics heading or whose % Score cells disagree with its keys. After a
// false, `error` tells the line and the reason, and the reader takes no more.
// A line longer than REPORT_LINE_MAX is refused; `check_line_start` refuses
// one while it is still being read.
class ReportReader {
public:
    ReportReader();
    ~ReportReader();
    ReportReader(const ReportReader&) = delete;
    ReportReader& operator=(const ReportReader&) = delete;

    bool add_line(const char* text, std::size_t length);
    // The first `length` characters of the next line, read so far: false
    // when they already show it is no line of the report, the first line
    // not beginning as the header does or any line longer than
    // REPORT_LINE_MAX.
    bool check_line_start(const char* text, std::size_t length);
    bool finish(ReportTables& tables, ReportError& error);
    const ReportError& error() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Reads a whole report from an open file, line by line, in memory that
// does not grow with its lines: a line is refused as soon as more of it has
// been read than REPORT_LINE_MAX. A zero byte ends a line's text (the rest
// of that line is dropped). Yields false with `error` set for a broken
// report; a read error is reported with line -1 and the system's text in
// the message.
bool read_report(std::FILE* file, ReportTables& tables, ReportError& error);

// The same for lines already in memory, as a test holds them.
bool read_report(const std::vector<std::string>& lines, ReportTables& tables, ReportError& error);

} // namespace quillmark
