#include "grading/summary.h"

#include <cstdio>
#include <cstring>

#include "grading/run_grading.h"
#include "platform/env.h"

namespace quillmark {

namespace {

void print_stats_row(const RunningStats& stats) {
    std::printf("%d,%.1Lf,%.1Lf,%.1Lf,%.1Lf\n", stats.count, stats.mean, stats.std_dev,
                stats.min, stats.max);
}

} // namespace

void print_summary(GradingRun& run) {
    finish_item_counts(run);
    send_message("%d sheets graded\n", run.sheets_graded);
    std::printf("%s\n", STATISTICS_HEADING);
    char line[256];
    for (int s = 0; s <= run.highest_form; ++s) {
        RunningStats& stats = run.form_stats[s];
        stats_finish(stats, 0);
        const char letter = form_letter_of(s);
        stats_format(line, sizeof line, stats);
        send_message("Form %c: %s", letter, line);
        std::printf(",\"Form %c\",", letter);
        print_stats_row(stats);
    }
    stats_finish(run.aggregate_stats, 0);
    stats_format(line, sizeof line, run.aggregate_stats);
    send_message("Aggregate: %s", line);
    std::printf(",Aggregate,");
    print_stats_row(run.aggregate_stats);
}

void print_item_analysis(const GradingRun& run) {
    for (int f = 0; f <= run.highest_form; ++f) {
        std::printf("\n,\"Form %c Q:A\", Correct,\"No resp\"", form_letter_of(f));
        for (int m = 0; m <= run.highest_letter; ++m) std::printf(",%c", 'A' + m);
        std::printf("\n");

        const AnswerKey& key = answer_keys[f];
        const std::int32_t scored_sheets = run.form_stats[f].count;
        const int questions = static_cast<int>(std::strlen(key.key_text));
        for (int q = 0; q < questions; ++q) {
            const ItemCounts& item = run.item_counts[f][q];
            auto mask = static_cast<std::uint32_t>(key.masks[q + 1]);
            std::printf(",Q%-2d:", q + 1);
            for (int m = 0; m <= run.highest_letter; ++m)
                if (mask & (1u << m)) std::printf("%c", 'A' + m);
            // A form without scored sheets shows 0.0 per cent.
            long double percent =
                scored_sheets > 0 ? static_cast<long double>(item.correct) * 100 / scored_sheets
                                  : 0;
            std::printf(", %3d:%5.1f%%, %3d", item.correct, static_cast<double>(percent),
                        item.no_response);
            for (int m = 0; m <= run.highest_letter; ++m)
                std::printf(", %3d", item.letter_count[m]);
            std::printf("\n");
        }
    }
    if (run.form_mismatches != 0) {
        send_message("%d form mismatches\n", run.form_mismatches);
        std::printf("\"%d form mismatches\"\n", run.form_mismatches);
    }
}

} // namespace quillmark
