#include "grading/summary.h"

#include <cstring>

#include "grading/scoring.h"
#include "platform/env.h"
#include "report/report_rows.h"

namespace quillmark {

void print_summary(GradingRun& run) {
    finish_item_counts(run);
    send_message("%d sheets graded\n", run.sheets_graded);
    write_statistics_heading();
    char line[256];
    for (int s = 0; s <= run.highest_form; ++s) {
        RunningStats& stats = run.form_stats[s];
        stats_finish(stats, 0);
        const char letter = form_letter_of(s);
        stats_format(line, sizeof line, stats);
        send_message("Form %c: %s", letter, line);
        write_statistics_row(letter, stats.count, stats.mean, stats.std_dev, stats.min, stats.max);
    }
    RunningStats& all = run.aggregate_stats;
    stats_finish(all, 0);
    stats_format(line, sizeof line, all);
    send_message("Aggregate: %s", line);
    write_statistics_row(0, all.count, all.mean, all.std_dev, all.min, all.max);
}

void print_item_analysis(const GradingRun& run) {
    const int letters = run.highest_letter + 1;
    for (int f = 0; f <= run.highest_form; ++f) {
        write_item_heading(form_letter_of(f), letters);
        const AnswerKey& key = answer_keys[f];
        const std::int32_t scored_sheets = run.form_stats[f].count;
        const int questions = static_cast<int>(std::strlen(key.key_text));
        for (int q = 0; q < questions; ++q) {
            const ItemCounts& item = run.item_counts[f][q];
            // A form without scored sheets shows 0.0 per cent.
            const long double percent =
                scored_sheets > 0 ? static_cast<long double>(item.correct) * 100 / scored_sheets
                                  : 0;
            write_item_row({q + 1, static_cast<std::uint32_t>(key.masks[q + 1]), item.correct,
                            static_cast<double>(percent), item.no_response, item.letter_count,
                            letters});
        }
    }
    if (run.form_mismatches != 0) {
        send_message("%d form mismatches\n", run.form_mismatches);
        write_mismatch_line(run.form_mismatches);
    }
}

} // namespace quillmark
