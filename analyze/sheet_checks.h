// Sheets and forms that someone should look at by hand: a student who
// appears twice, sheets without or with few responses, sheets of a form
// without a key, and forms with too few sheets for their statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze/report_reader.h"

namespace quillmark {

// The checks, in the order the table lists them: those of the report's
// sheets, then those of the matching to a class list (class_list.h), then
// the cross-check of an exam's versions (versions.h).
enum class CheckKind {
    duplicate_student,
    no_responses,
    few_responses,
    no_key,
    few_sheets,
    not_on_class_list,
    no_sheet,
    id_corrected,
    class_list_repeats_id,
    keys_disagree
};
constexpr int SHEET_CHECK_KINDS = 5;    // the checks of the report alone
constexpr int CLASS_LIST_CHECK_END = 9; // after those of a class list
constexpr int CHECK_KINDS = 10;

// The check's name as the table shows it, e.g. "duplicate student".
const char* check_name(CheckKind kind);

// A "duplicate student" finding lists the Orders of at most this many of
// its sheets, the first ones.
constexpr std::int32_t DUPLICATE_ORDERS_SHOWN = 10;

// A form with fewer scored sheets than this gets a "few sheets" finding.
constexpr std::int32_t FEW_SHEETS = 30;

// One finding. `order` is the sheet row's Order, 0 for a finding about a
// whole form or a class-list row; `student_id` is empty for a whole form.
// `form` is the form letter as the row shows it, 0 for a class-list row.
struct SheetCheck {
    CheckKind kind = CheckKind::duplicate_student;
    char form = 0;
    std::int32_t order = 0;
    std::string student_id;
    std::string detail;
};

// The Student ID cell of a sheet row as the report shows it.
std::string shown_id(const SheetIdentity& sheet);

// Every finding of the report, by check in the order above, then by Order
// (by form letter for "few sheets"):
// - "duplicate student": one per Student ID and Exam # found on several
//   rows, at the first of them; the detail gives the number of rows and the
//   Orders of the first DUPLICATE_ORDERS_SHOWN ("..." after them);
// - "no responses": a row whose Responses cell holds no mark but '-';
// - "few responses": a scored row with some response, but responses (any
//   mark but '-') on fewer than half of its form's scored questions;
// - "no key": a "no key" row;
// - "few sheets": a form with fewer than FEW_SHEETS scored sheets.
std::vector<SheetCheck> sheet_checks(const ReportTables& tables);

// The Form cell of a finding: its form letter, or empty for none.
std::string check_form_text(const SheetCheck& check);

} // namespace quillmark
