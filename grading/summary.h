// The closing report: statistics per form and for all sheets, and the item
// analysis of every question, on standard output with readable lines on
// standard error.
#pragma once

namespace quillmark {

struct GradingRun;

// Completes the counts of the item analysis (finish_item_counts)
// and writes the sheets-graded count to standard error, then finishes the
// statistics of every form from A to the highest scored form and of all
// sheets (population variance) and writes each as a row and as a readable
// line on standard error.
void print_summary(GradingRun& run);

// Writes one item-analysis table per form from A to the highest scored form:
// per question its accepted letters, correct count and per cent, the
// no-response count and the count of each letter seen; then, if any sheet
// matched no key, the number of such sheets on both streams.
void print_item_analysis(const GradingRun& run);

} // namespace quillmark
