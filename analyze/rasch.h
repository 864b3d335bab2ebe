// Rasch measurement of one form: questions and sheets on one logit scale.
// Question measures (difficulties) by conditional maximum likelihood, with
// standard errors from the information matrix of the conditional
// likelihood and the infit and outfit mean squares of the sheets' answers;
// a measure for every raw score; the separation reliabilities of the sheets
// and of the questions. Everything is worked out from the form's sufficient
// statistics (how many sheets have each raw score, and of those how many
// got each question right), so the cost does not grow with the sheets
// beyond one counting pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyze/item_statistics.h"

namespace quillmark {

// A form's sufficient statistics: `sheets[r]` sheets have raw score r
// (r = 0 to `items`), and `right[r * items + i]` of them got item i right.
struct RaschCounts {
    std::int32_t items = 0;
    std::vector<std::int32_t> sheets;
    std::vector<std::int32_t> right;
};

// Counts the sufficient statistics of a matrix of scored answers (right:
// RIGHT_BIT set; anything else is wrong) in one pass.
RaschCounts rasch_counts(const ResponseMatrix& matrix);

// Why a question has no Rasch figures of its own.
enum class RaschNote {
    none,
    all_right, // every sheet got it right
    all_wrong, // every sheet got it wrong
};

// The note's text, e.g. "every sheet right"; empty for none.
const char* rasch_note_text(RaschNote note);

// One question: its measure (difficulty, logits, centred so that the
// calibrated questions' measures sum to 0) with its standard error, and
// its infit and outfit mean squares with their standardised Z. All absent
// for a question with a note, and for every question when the form could
// not be calibrated.
struct RaschItem {
    RaschNote note = RaschNote::none;
    std::optional<long double> measure;
    std::optional<long double> se;
    std::optional<long double> infit;
    std::optional<long double> outfit;
    std::optional<long double> infit_z;
    std::optional<long double> outfit_z;
};

// One raw score of the form (all its scored questions): how many sheets
// have it and the measure of a sheet with that score, with its standard
// error. `extreme` marks the lowest and highest scores possible on the
// calibrated questions, whose measures follow the extreme-score rule
// (RASCH_EXTREME_OFFSET); a score that no sheet can have (below the number
// of questions every sheet got right, or above what the others allow) has
// no measure.
struct RaschScore {
    std::int32_t sheets = 0;
    bool extreme = false;
    std::optional<long double> measure;
    std::optional<long double> se;
};

// The Rasch analysis of a form. `items` holds one record per question in
// form order, `scores` one per raw score 0 to the number of questions.
// `persons` counts the sheets with a non-extreme score on the calibrated
// questions, `calibrated` the questions measured. The reliabilities are
// absent when their variance is undefined (fewer than two values) or zero.
// `message` is empty after a calibration, and otherwise says why there is
// none; the figures are then absent.
struct RaschAnalysis {
    std::vector<RaschItem> items;
    std::vector<RaschScore> scores;
    std::int32_t persons = 0;
    std::int32_t calibrated = 0;
    std::optional<long double> person_reliability;
    std::optional<long double> item_reliability;
    std::int32_t iterations = 0;
    std::string message;
};

// The measure of an extreme score is the maximum-likelihood measure of the
// score this far inside it: of 0.3 for a score of 0, of k - 0.3 for a full
// score of k.
constexpr long double RASCH_EXTREME_OFFSET = 0.3L;

// The calibration stops when the largest change of a measure in a Newton
// step is below RASCH_TOLERANCE logits; after RASCH_ITERATION_LIMIT steps
// without that the form gets a message instead of figures.
constexpr long double RASCH_TOLERANCE = 1e-10L;
constexpr std::int32_t RASCH_ITERATION_LIMIT = 50;

// The Rasch analysis of a form from its sufficient statistics; the
// questions' numbers (one per item, in form order) name them in messages.
RaschAnalysis rasch_analysis(const RaschCounts& counts,
                             const std::vector<std::int32_t>& question_numbers);

} // namespace quillmark
