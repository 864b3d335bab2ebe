// Scoring: one student sheet against the key of its form, the counting of
// its responses into the state of the run for the statistics and the item
// analysis, and its row of the report.
#pragma once

#include <cstdint>

#include "grading/sheet_line.h"
#include "stats/running_stats.h"

namespace quillmark {

// The counters of one question of one form.
struct ItemCounts {
    std::int32_t letter_count[TALLY_LETTERS]; // responses A to Y
    std::int32_t no_response;                 // no mark, no response, any other character
    std::int32_t correct;                     // sheets that answered correctly
};

// Letter counts of one form not yet added to its ItemCounts: one byte per
// letter and question, added up sixteen questions at a time, and moved to
// the 32-bit counters before a byte can overflow.
struct PendingTallies {
    std::uint8_t counts[TALLY_LETTERS][MAX_QUESTIONS + 16];
    std::int32_t pending; // sheets counted in the bytes, at most 255
    std::int32_t letters; // letters counted: A up to the highest letter seen
    std::int32_t sheets;  // sheets tallied in all (wrapping)
};

// The state of the run, filled by the scorer and read by the closing report.
struct GradingRun {
    std::int32_t sheets_graded;         // student sheets met so far: the Order of the latest
    std::int32_t form_mismatches;       // student sheets whose form has no key
    std::int32_t highest_form;          // highest form index of a scored sheet, -1 for none
    std::int32_t highest_letter;        // highest response letter index counted, -1 for none
    RunningStats form_stats[NUM_FORMS]; // per-cent scores per form
    RunningStats aggregate_stats;       // per-cent scores of all scored sheets
    ItemCounts item_counts[NUM_FORMS][MAX_QUESTIONS]; // complete after finish_item_counts
    PendingTallies pending_tallies[NUM_FORMS];        // letter counts on their way there
};

// A sheet scored against a key.
struct SheetScore {
    std::int32_t questions;        // the key's questions
    std::int32_t responses;        // the sheet's responses
    std::int32_t shown_marks;      // marks shown: the smaller of the two counts above
    std::int32_t scored_questions; // the key's questions that are not dropped
    std::int32_t raw_score;        // scored questions answered correctly
    bool has_percent;              // false for a key without a scored question
    double percent_score;          // raw_score / scored_questions * 100
    char scoring[MAX_QUESTIONS];   // per shown question: 'c' right, 'X' wrong, '-' dropped
};

// Scores a sheet against a key, touching nothing else: the q-th response
// answers question q; a scored question is right when the response's answer
// bit is one of the question's accepted answers; the questions after the
// last response are scored wrong (unless dropped) but get no mark.
void score_sheet(const ScannedSheet& sheet, const AnswerKey& key, SheetScore& score);

// Counts a scored sheet of form index `form` into the run: each key
// question's response under its letter A to Y, the highest letter and form
// seen, and its per-cent score offered to the statistics of its form and
// then to the aggregate (none without one). The letter counts reach
// item_counts in batches; finish_item_counts completes them.
void tally_sheet(const ScannedSheet& sheet, const SheetScore& score, int form, GradingRun& run);

// Completes item_counts after the last sheet: adds the letter counts still
// pending, and works out the rest of every key question's counters from
// them. No response: the sheets of the form that gave none of the letters
// (every sheet counts once for every key question). Correct: the sheets
// whose letter the question accepts, the sum of the counts of its accepted
// letters (none for a dropped question). The keys do not change once the
// first student sheet is graded, so this equals counting sheet by sheet.
// print_summary calls it.
void finish_item_counts(GradingRun& run);

// Grades a student sheet whose Order is run.sheets_graded: scores it
// against the key of its form, counts it into the run and writes its row. A
// sheet whose form has no key is reported on standard error, counted as a
// form mismatch and written as a "no key" row. A key without any scored
// question gives an empty % Score cell.
void grade_sheet(const ScannedSheet& sheet, GradingRun& run);

} // namespace quillmark
