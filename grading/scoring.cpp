#include "grading/scoring.h"

#include <cstdio>
#include <cstring>

#include "grading/run_grading.h"
#include "keys/options.h"

namespace quillmark {

void print_identity_columns(const ScannedSheet& sheet) {
    if (exam_first)
        std::printf("\"%s\",\"%s\",%c", sheet.exam_no, sheet.student_id, sheet.form_letter);
    else
        std::printf("\"%s\",%c,\"%s\"", sheet.student_id, sheet.form_letter, sheet.exam_no);
}

void grade_sheet(const ScannedSheet& sheet, GradingRun& run) {
    // Taken as a signed character: a letter above 127 gives a negative index.
    int f = static_cast<signed char>(sheet.form_letter) - 'A';
    if (f < 0 || f >= NUM_FORMS || answer_keys[f].form != sheet.form_letter) {
        std::fprintf(stderr,
                     "Student ID,Ex#,order:%s,%s,%d form %c does not match any key form\n",
                     sheet.student_id, sheet.exam_no, run.sheets_graded, sheet.form_letter);
        ++run.form_mismatches;
        print_identity_columns(sheet);
        std::printf(",%3d,\"no key\",,\"%s\"\n", run.sheets_graded,
                    group_display(sheet.responses));
        return;
    }
    if (f > run.highest_form) run.highest_form = f;

    const AnswerKey& key = answer_keys[f];
    ItemCounts* counts = run.item_counts[f];
    char scoring[MAX_QUESTIONS + 1];
    std::int32_t scored_questions = 0;
    std::int32_t raw_score = 0;
    int k = 0; // response cursor; stops at the last response
    const int questions = static_cast<int>(std::strlen(key.key_text));
    for (int q = 0; q < questions; ++q) {
        char r = sheet.responses[k]; // '\0' once the responses have run out
        ItemCounts& item = counts[q];
        if (r >= 'A' && r <= 'Y') {
            int letter = r - 'A';
            ++item.letter_count[letter];
            if (letter > run.highest_letter) run.highest_letter = letter;
        } else {
            ++item.no_response;
        }
        char mark;
        std::int32_t mask = key.masks[q + 1];
        if (mask == QUESTION_DROPPED) {
            mark = '-';
        } else {
            ++scored_questions;
            if (static_cast<std::int32_t>(answer_bit(r)) & mask) {
                ++raw_score;
                ++item.correct;
                mark = 'c';
            } else {
                mark = 'X';
            }
        }
        scoring[q] = mark;
        if (r != '\0') ++k;
    }
    // Marks are shown only as far as the sheet has responses.
    scoring[k] = '\0';

    print_identity_columns(sheet);
    if (scored_questions > 0) {
        double percent_score = static_cast<double>(static_cast<long double>(raw_score) /
                                                   scored_questions * 100);
        stats_add(run.form_stats[f], percent_score);
        stats_add(run.aggregate_stats, percent_score);
        std::printf(",%3d,%2d,%7.3f,\"%c%s\"", run.sheets_graded, raw_score, percent_score,
                    sheet.form_letter, group_display(sheet.responses));
    } else {
        std::printf(",%3d,%2d,,\"%c%s\"", run.sheets_graded, raw_score, sheet.form_letter,
                    group_display(sheet.responses));
    }
    std::printf(",\"%s\"\n", group_display(scoring));
}

} // namespace quillmark
