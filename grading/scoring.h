// Scoring: one student sheet against the key of its form, the counting of
// its responses for the item analysis, and its row of the report.
#pragma once

#include <cstdint>

#include "grading/sheet_line.h"

namespace quillmark {

constexpr int TALLY_LETTERS = 25; // response letters A to Y are counted by letter

// The counters of one question of one form.
struct ItemCounts {
    std::int32_t letter_count[TALLY_LETTERS]; // responses A to Y
    std::int32_t no_response;                 // no mark, no response, any other character
    std::int32_t correct;                     // sheets that answered correctly
};

// Adds an amount to a 32-bit counter, wrapping past the largest value
// instead of overflowing.
inline void count_up(std::int32_t& counter, std::uint32_t amount = 1) {
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + amount);
}

// Writes the identifier, form letter and exam number cells, in the order
// that exam_first selects, without a line end.
void print_identity_columns(const ScannedSheet& sheet);

// Scores a student sheet whose Order is run.sheets_graded: marks every key
// question correct, wrong or dropped, offers the per-cent score to the
// statistics of its form and to the aggregate, counts every response for
// the item analysis and writes the sheet's row. A sheet whose form has no
// key is reported on standard error and written as a "no key" row. A key
// without any scored question gives an empty % Score cell and offers no
// score to the statistics.
void grade_sheet(const ScannedSheet& sheet, GradingRun& run);

} // namespace quillmark
