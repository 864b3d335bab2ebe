// The gradebook: every student's (or every sheet's) form, raw score,
// per-cent score, grade and a note, as a CSV file that a spreadsheet and a
// learning-management system's grade import read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze/analysis.h"

namespace quillmark {

// A column after Note: its heading and one value per sheet row, in report
// order (NO_VALUE for none); a student without a sheet has an empty cell.
// This is where per-sheet figures beyond the whole score (such as the raw
// score on a group of questions) join the gradebook.
constexpr std::int32_t NO_VALUE = -1;
struct GradebookColumn {
    std::string heading;
    std::vector<std::int32_t> value_of_sheet;
};

// The columns of the scores by tag: one per tag, in the tags' order, headed
// by its name; each sheet row's score on the tag, the number of the tag's
// questions it answered right (NO_VALUE for a row that is not a scored
// sheet). `sheet_rows` is the number of sheet rows of the report.
std::vector<GradebookColumn> tag_score_columns(const TagScores& tags, std::size_t sheet_rows);

// The gradebook's text: UTF-8 as its cells hold it, a heading row, one row
// per line ended by a line feed, cells separated by commas; a cell that holds
// a comma, a semicolon, a quote, a blank, a tab or a line end is in double
// quotes, its quotes doubled.
// With a class list (`list`, whose match is `analysis.class_list`): its
// headings, then Form,"Raw score","Score %",Grade,Note and the extra
// columns; its rows in its order, a student with several sheets once per
// sheet in report order, a student without one with empty score cells; then
// the sheets matched to nobody in report order, with the identifier bubbled
// in the identifier column. Without one: "Student ID" (as bubbled) and the
// same columns, one row per sheet in report order.
// Form is the sheet's form letter; Raw score and Score % (three decimals, as
// the report's % Score cell) are empty where the sheet has none; Grade is
// empty without a scale. Note: "no sheet", "class list repeats ID", "ID
// corrected from" and the bubbled ID, "not on the class list", "also Order"
// and the Orders of the same student's other sheets (by the student matched,
// or the identifier bubbled when there is no student), "no key" and "no
// scored question", joined by "; ".
// Expects the analysis to hold every sheet's score (`sheets` in step with
// `identities`).
std::string gradebook_csv(const Analysis& analysis, const std::vector<SheetIdentity>& identities,
                          const ClassList* list,
                          const std::vector<GradebookColumn>& extra_columns = {});

} // namespace quillmark
