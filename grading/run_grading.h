// The run driver: the whole life of one grading run, from the command line
// to the end of the report.
#pragma once

#include <cstdint>

#include "grading/scoring.h"
#include "stats/running_stats.h"

namespace quillmark {

// The state of the run, shared by the scorer and the closing report.
struct GradingRun {
    std::int32_t sheets_graded;   // student sheets met so far: the Order of the latest
    std::int32_t form_mismatches; // student sheets whose form has no key
    std::int32_t highest_form;    // highest form index of a scored sheet, -1 for none
    std::int32_t highest_letter;  // highest response letter index counted, -1 for none
    RunningStats form_stats[NUM_FORMS]; // per-cent scores per form
    RunningStats aggregate_stats;       // per-cent scores of all scored sheets
    ItemCounts item_counts[NUM_FORMS][MAX_QUESTIONS]; // complete after finish_item_counts
    PendingTallies pending_tallies[NUM_FORMS];        // letter counts on their way there
};

// Grades the sheet file named by argv[1] with the options argv[2] on, writes
// the report to standard output and messages to standard error. Yields the
// exit status: 0 after a complete run, -1 when the sheet file could not be
// read to its end or the report not written completely (the report of what
// was read is written all the same); other fatal errors end the process
// with -1 at once.
int run_grading(int argc, char** argv);

} // namespace quillmark
