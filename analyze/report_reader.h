// Reads a report that quillmark wrote back into one table of right and
// wrong answers per form: the rows before the column headings (of which the
// key rows give each form's number of questions and its dropped questions),
// the column headings in either order, the result rows and "no key" rows, up
// to the statistics heading. What follows that heading (the statistics rows,
// the item analysis and the mismatch line) is the grader's own summary and is
// not read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze/item_statistics.h"

namespace quillmark {

// The most sheets one form may have in an analysed report.
constexpr std::int32_t MAX_FORM_SHEETS = 2000000;

// One form with scored sheets: the numbers (from 1) of its scored
// questions, each sheet's per-cent score as the grader worked it out, and
// the right and wrong answers on the scored questions. A mark missing at the
// end of a sheet's scoring string is a wrong answer.
struct FormScores {
    char form = 0;
    std::int32_t key_questions = 0;
    std::vector<std::int32_t> question_numbers;
    std::vector<long double> percent_scores;
    ScoreMatrix matrix;
};

// A report that is not one of the grader's: the line that shows it (0 when
// the report is empty) and what is wrong with it.
struct ReportError {
    std::int32_t line = 0;
    std::string message;
};

// Everything the reader found: the forms with scored sheets, in letter
// order, and how many sheet rows the report had of each kind.
struct ReportTables {
    std::vector<FormScores> forms;
    std::int32_t sheet_rows = 0;
    std::int32_t no_key_rows = 0;
    std::int32_t unscored_rows = 0; // rows of a form whose key has no scored question
};

// Reads the report's lines, in order, as a caller collects them (without
// their line feeds). Yields true and fills `tables`, or yields false and
// fills `error` for the first line that does not fit the report's layout,
// or for a report that ends before its statistics heading.
bool read_report(const std::vector<std::string>& lines, ReportTables& tables,
                 ReportError& error);

// Undoes the grouping of the grader's displays: drops the leading ':' and
// the blank after every fifth character. Yields false when `display` is not
// such a grouped text.
bool ungroup_display(const std::string& display, std::string& text);

} // namespace quillmark
