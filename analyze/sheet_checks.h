// Sheets and forms that someone should look at by hand: a student who
// appears twice, sheets without or with few responses, sheets of a form
// without a key, and forms with too few sheets for their statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze/report_reader.h"

namespace quillmark {

// The checks, in the order the table lists them. "keys disagree" is found
// by the cross-check of an exam's versions (versions.h), not here.
enum class CheckKind { duplicate_student, no_responses, few_responses, no_key, few_sheets, keys_disagree };
constexpr int CHECK_KINDS = 6;

// The check's name as the table shows it, e.g. "duplicate student".
const char* check_name(CheckKind kind);

// A form with fewer scored sheets than this gets a "few sheets" finding.
constexpr std::int32_t FEW_SHEETS = 30;

// One finding. `order` is the sheet row's Order, 0 for a finding about a
// whole form; `student_id` is empty then too. `form` is the form letter as
// the row shows it.
struct SheetCheck {
    CheckKind kind = CheckKind::duplicate_student;
    char form = 0;
    std::int32_t order = 0;
    std::string student_id;
    std::string detail;
};

// Every finding of the report, by check in the order above, then by Order
// (by form letter for "few sheets"):
// - "duplicate student": a row with the same Student ID and Exam # as an
//   earlier row (every repeat; the detail names the first one's Order);
// - "no responses": a row whose Responses cell holds no mark but '-';
// - "few responses": a scored row with some response, but responses (any
//   mark but '-') on fewer than half of its form's scored questions;
// - "no key": a "no key" row;
// - "few sheets": a form with fewer than FEW_SHEETS scored sheets.
std::vector<SheetCheck> sheet_checks(const ReportTables& tables);

} // namespace quillmark
