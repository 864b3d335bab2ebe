#include "analyze/grades.h"

#include <algorithm>

#include "report/report_layout.h"

namespace quillmark {

namespace {

constexpr std::int32_t THOUSANDTHS = 1000;
constexpr std::int32_t HIGHEST_BOUND = 100 * THOUSANDTHS;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A bound: digits, optionally a point and one to three more digits, from 0
// to 100; in thousandths. Yields false for anything else.
bool parse_bound(std::string_view text, std::int32_t& bound) {
    std::int32_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 100) return false;
    }
    if (i == 0) return false;
    std::int32_t scale = THOUSANDTHS;
    value *= THOUSANDTHS;
    if (i < text.size() && text[i] == '.') {
        const std::size_t first_decimal = ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (i - first_decimal == 3) return false;
            scale /= 10;
            value += (text[i] - '0') * scale;
        }
        if (i == first_decimal) return false;
    }
    bound = value;
    return i == text.size() && value <= HIGHEST_BOUND;
}

} // namespace

bool parse_grade_scale(std::string_view text, GradeScale& scale, std::string& message) {
    GradeScale steps;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view step = trimmed(text.substr(start, end - start));
        const std::size_t colon = step.rfind(':');
        if (step.empty()) {
            message = "a grade is missing (an empty step between commas)";
            return false;
        }
        if (colon == std::string_view::npos) {
            message = "\"" + std::string(step) + "\" is not a grade and its bound, as A:90";
            return false;
        }
        GradeStep grade;
        grade.grade = std::string(trimmed(step.substr(0, colon)));
        if (grade.grade.empty()) {
            message = "\"" + std::string(step) + "\" has an empty grade";
            return false;
        }
        if (!parse_bound(trimmed(step.substr(colon + 1)), grade.bound)) {
            message = "\"" + std::string(step) +
                      "\": the bound must be a per-cent score from 0 to 100, with at most "
                      "three decimals";
            return false;
        }
        if (!steps.empty() && grade.bound >= steps.back().bound) {
            message = "\"" + std::string(step) +
                      "\" does not fall below the grade before it: "
                      "list the grades from the highest bound to the lowest";
            return false;
        }
        steps.push_back(std::move(grade));
        if (end == text.size()) break;
        start = end + 1;
    }
    if (steps.back().bound != 0) {
        message = "no grade for 0: the last grade's bound must be 0, as F:0";
        return false;
    }
    scale = std::move(steps);
    return true;
}

std::size_t grade_of(const GradeScale& scale, std::int32_t raw, std::int32_t scored) {
    // raw * 100 / scored >= bound / 1000, in whole numbers.
    const std::int64_t reached = static_cast<std::int64_t>(raw) * 100 * THOUSANDTHS;
    std::size_t step = 0;
    while (step + 1 < scale.size() &&
           reached < static_cast<std::int64_t>(scale[step].bound) * scored)
        ++step;
    return step;
}

std::vector<SheetScore> sheet_scores(const ReportTables& tables, const GradeScale* scale) {
    // The form's scored rows in report order are its answer table's rows.
    const FormScores* form_of[NUM_FORMS] = {};
    for (const FormScores& form : tables.forms) form_of[form_index(form.form)] = &form;
    std::int32_t next_row[NUM_FORMS] = {};
    std::vector<SheetScore> scores(tables.identities.size());
    for (std::size_t i = 0; i < scores.size(); ++i) {
        const SheetIdentity& sheet = tables.identities[i];
        SheetScore& score = scores[i];
        score.key = sheet.scored != 0;
        const int f = form_index(sheet.form);
        if (!score.key || f < 0 || !form_of[f]) continue; // no key, or a key scoring nothing
        const ResponseMatrix& matrix = form_of[f]->matrix;
        const auto items = static_cast<std::size_t>(matrix.items);
        const unsigned char* cells =
            matrix.cells.data() + static_cast<std::size_t>(next_row[f]++) * items;
        for (std::size_t q = 0; q < items; ++q) score.raw += (cells[q] & RIGHT_BIT) != 0;
        score.scored = matrix.items;
        if (scale)
            score.grade = static_cast<std::int32_t>(grade_of(*scale, score.raw, score.scored));
    }
    return scores;
}

} // namespace quillmark
