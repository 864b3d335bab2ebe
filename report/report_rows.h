// The rows of the grader's report, kind by kind: the writer that puts a row
// into the report (through the report buffer of report_format.h, ended by a
// line feed) and, for each row that quillmark-analyze reads back, the
// parser beside it, which takes the line without its line end. A change to
// a row's layout is a change here, on both sides at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/report_layout.h"

namespace quillmark {

// The two header lines: the program and its build over the sheet file and
// the moment it was graded. Every text is written as given.
struct ReportHeader {
    const char* version;
    const char* build_date;
    const char* build_time;
    const char* input_name; // as named on the command line
    const char* weekday;    // of the grading moment
    const char* date;
    const char* time_of_day;
};
void write_header_lines(const ReportHeader& header);

// True for the first header line of a report.
bool is_first_header_line(std::string_view line);

// True when `start`, the first characters of a line, may still be the
// beginning of the first header line (any number of them, none too).
bool may_begin_header(std::string_view start);

// The column headings, in the order that exam_first selects.
void write_column_headings(bool exam_first);

// True for the column headings of either order; `exam_first` gets which.
bool parse_column_headings(std::string_view line, bool& exam_first);

// The echo row of a key stored from a key sheet ("Scanned key:") or from a
// keya: to keyd: option ("Override:"), with the key text (at most
// MAX_QUESTIONS characters) as a grouped display.
enum class KeySource { scanned, option };
void write_key_row(KeySource source, char form, std::string_view key_text);

// What parse_key_row found: another row, a key row, or a row that starts
// like a key row but does not have its layout (or a key of more than
// MAX_QUESTIONS questions).
enum class KeyRowKind { other, key, broken };

// Reads a key echo row of either source: the form letter as written and
// the key text with its grouping undone.
KeyRowKind parse_key_row(std::string_view line, char& form, std::string& key_text);

// The echo row of an alta: to altd: option: the option as given, and the
// marker (blanks up to the question, then the answer letter; at most
// MAX_QUESTIONS characters) as a grouped display.
void write_amendment_row(std::string_view option, std::string_view marker);

// One sheet row: a scored sheet's result row or the "no key" row of a sheet
// whose form has no key.
struct SheetRow {
    std::string_view student_id; // at most MAX_ID characters, no comma
    char form;                   // the form letter as scanned, any byte but a line feed
    std::string_view exam_no;    // at most MAX_EXAM characters, no comma
    std::int32_t order;          // the sheet's Order
    bool no_key;
    // Scored rows only:
    std::int32_t raw_score;
    std::string_view percent; // the % Score cell; empty for a key without a scored question
    // Texts without their grouping, at most MAX_QUESTIONS characters each:
    std::string_view responses; // every response of the sheet
    std::string_view scoring;   // scored rows: the marks 'c', 'X' and '-'
};

// Writes a sheet row in the column order that exam_first selects.
void write_sheet_row(const SheetRow& row, bool exam_first);

// The widest sheet row, line feed not counted: a result row of
// MAX_QUESTIONS responses and marks with the longest cells, that is the
// quoted Student ID and Exam # with the form letter between or after them
// and their commas (20), the Order written "%3d" from a 32-bit count that
// may have wrapped ("-2147483648", 11), the Raw Score (at most 1000, 4) and
// the % Score ("100.000", 7) each after a comma, then a comma and the two
// quoted grouped cells, the Responses behind the form letter
// (2 * GROUPED_MAX + 7): 2452 characters. A "no key" row is shorter.
constexpr std::size_t SHEET_ROW_MAX = 1 + MAX_ID + 2 + 1 + 2 + MAX_EXAM + 1 + 1 + 11 + 1 + 4 + 1 +
                                      7 + 2 + 1 + GROUPED_MAX + 3 + GROUPED_MAX + 1;

// The longest line a report may have: longer lines are none of the
// grader's. The widest line the grader writes for a report of MAX_QUESTIONS
// questions with the longest cells is
// - the second header line when it names the sheet file by the longest
//   name a POSIX system opens (PATH_MAX, 4096 bytes with the ending zero):
//   4095 characters and at most 158 more for ",,,,\"graded on\"," and the
//   weekday, date and time of grading (10, 63 and 63 at most), 4253 in all;
// - a sheet row, SHEET_ROW_MAX (2452) characters;
// - a key echo row, at most 26 characters and the grouped key
//   (GROUPED_MAX, 1200); an amendment echo row, 10 characters, the
//   grouped marker (1200) and the option's text, "alta:1000+P" (11) or
//   with a quote before it (12) when it is written with no more blanks or
//   zeros than it needs.
// Every other row has fewer than 500 characters. The limit leaves a margin
// of about 12,000 characters over the widest: for longer names where a
// system opens them and options padded with blanks or zeros.
constexpr std::size_t REPORT_LINE_MAX = 16384;

// Reads a sheet row written in the column order that exam_first selects.
// The row's texts are views into the line, but for the responses and the
// scoring marks, which are ungrouped into the two strings and viewed there.
// Yields nullptr, or why the line is not a sheet row: a cell is missing or
// malformed, the Raw Score is not the number of 'c' marks, a scored row's
// form is not A to J, or it has more marks than a key has questions.
const char* parse_sheet_row(std::string_view line, bool exam_first, SheetRow& row,
                            std::string& responses, std::string& scoring);

// The heading row of the statistics, which ends the sheet rows.
void write_statistics_heading();
bool is_statistics_heading(std::string_view line);

// The statistics row of a form (its letter) or, with form 0, the aggregate.
void write_statistics_row(char form, std::int32_t count, long double mean, long double std_dev,
                          long double min, long double max);

// The heading of a form's item analysis table (after an empty line), with a
// column for each of the first `letters` response letters.
void write_item_heading(char form, int letters);

// True for the heading of an item analysis table; `form` gets its letter.
bool parse_item_heading(std::string_view line, char& form);

// One question's row of the item analysis.
struct ItemRow {
    std::int32_t question;  // its number, from 1
    std::uint32_t accepted; // bit m set when letter 'A' + m is accepted
    std::int32_t correct;   // sheets that answered it correctly
    double percent_correct;
    std::int32_t no_response;
    const std::int32_t* letter_counts; // `letters` counts, from A on
    int letters;                       // the letter columns (at most 25)
};
void write_item_row(const ItemRow& row);

// Reads an item analysis row: the question number (1 to MAX_QUESTIONS) and
// the letters it accepts as bits. Yields false for any other line.
bool parse_item_row(std::string_view line, std::int32_t& question, std::uint32_t& accepted);

// The closing line that counts the sheets whose form has no key.
void write_mismatch_line(std::int32_t mismatches);

} // namespace quillmark
