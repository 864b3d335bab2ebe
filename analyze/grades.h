// Every sheet's own score, and grades: a scale of grades, each with the
// lowest per-cent score that earns it, and the grade of each sheet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyze/report_reader.h"

namespace quillmark {

// One grade of a scale and its bound, the lowest per-cent score that earns
// it, in thousandths of a per cent (90 is 90000, 87.5 is 87500).
struct GradeStep {
    std::string grade;
    std::int32_t bound = 0;
};
using GradeScale = std::vector<GradeStep>;

// Reads a scale written as "A:90,B:80,C:70,D:60,F:0": grade and bound
// separated by the last ':' of each step, steps by ',', blanks around
// either ignored; a bound is a number from 0 to 100 with at most three
// decimals. Yields false, with the reason in `message`, for an empty step
// or grade, a bound that is not such a number, bounds that do not fall from
// each grade to the next, or a last bound other than 0 (no grade for 0).
bool parse_grade_scale(std::string_view text, GradeScale& scale, std::string& message);

// The position in the scale of the grade that `raw` right answers of
// `scored` (above 0) earn: the first whose bound the exact per-cent score,
// raw * 100 / scored, reaches (compared in whole numbers, never rounded).
// Expects a scale that parse_grade_scale accepted.
std::size_t grade_of(const GradeScale& scale, std::int32_t raw, std::int32_t scored);

// The score of one sheet row: `key` is false for a "no key" row; `scored`
// is the number of questions its form's key scores (0 when it scores none,
// and then the row has no per-cent score); `grade` is its position in the
// scale, or NO_GRADE without a scale or a per-cent score.
constexpr std::int32_t NO_GRADE = -1;
struct SheetScore {
    bool key = false;
    std::int32_t raw = 0;
    std::int32_t scored = 0;
    std::int32_t grade = NO_GRADE;
};

// Every sheet row's score, in report order, from the answers the reader
// kept (the raw score is the number of answers scored right), graded on
// `scale` when it is not null. Reads the forms' answer tables, so it must
// run before they are released.
std::vector<SheetScore> sheet_scores(const ReportTables& tables, const GradeScale* scale);

} // namespace quillmark
