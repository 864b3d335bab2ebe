#include "grading/scoring.h"

#include <cstdio>
#include <cstring>

#include "grading/report_format.h"
#include "grading/run_grading.h"
#include "keys/options.h"
#include "platform/env.h"

namespace quillmark {

namespace {

// The longest row: the identity cells, Order and Raw Score (at most eleven
// places each), % Score, and the two grouped cells with their quotes.
constexpr std::size_t ROW_MAX = 64 + 3 * 12 + 1 + 2 * (GROUPED_MAX + 4);

// The per-cent score of raw out of scored questions and its "%7.3f" cell.
// All sheets of a form have the same number of scored questions, so each
// form keeps the scores it has met, made once each.
struct PercentCell {
    double value;
    char text[16];
    bool made;
};
PercentCell percent_cells[NUM_FORMS][MAX_QUESTIONS + 1];
std::int32_t percent_cells_scored[NUM_FORMS];

const PercentCell& percent_cell(int form, std::int32_t raw_score, std::int32_t scored) {
    if (percent_cells_scored[form] != scored) {
        std::memset(percent_cells[form], 0, sizeof percent_cells[form]);
        percent_cells_scored[form] = scored;
    }
    PercentCell& cell = percent_cells[form][raw_score];
    if (!cell.made) {
        // Worked out in extended precision, then rounded to a double.
        cell.value =
            static_cast<double>(static_cast<long double>(raw_score) / scored * 100);
        std::snprintf(cell.text, sizeof cell.text, "%7.3f", cell.value);
        cell.made = true;
    }
    return cell;
}

char* write_identity_columns(char* out, const ScannedSheet& sheet) {
    *out++ = '"';
    if (exam_first) {
        out = write_text(out, sheet.exam_no);
        out = write_text(out, "\",\"");
        out = write_text(out, sheet.student_id);
        out = write_text(out, "\",");
        *out++ = sheet.form_letter;
    } else {
        out = write_text(out, sheet.student_id);
        out = write_text(out, "\",");
        *out++ = sheet.form_letter;
        out = write_text(out, ",\"");
        out = write_text(out, sheet.exam_no);
        *out++ = '"';
    }
    return out;
}

void write_row(const char* row, const char* end) {
    std::fwrite(row, 1, static_cast<std::size_t>(end - row), stdout);
}

} // namespace

void print_identity_columns(const ScannedSheet& sheet) {
    char cells[64];
    write_row(cells, write_identity_columns(cells, sheet));
}

void grade_sheet(const ScannedSheet& sheet, GradingRun& run) {
    char row[ROW_MAX];
    char* out = write_identity_columns(row, sheet);

    // Taken as a signed character: a letter above 127 gives a negative index.
    int f = static_cast<signed char>(sheet.form_letter) - 'A';
    if (f < 0 || f >= NUM_FORMS || answer_keys[f].form != sheet.form_letter) {
        std::fprintf(stderr,
                     "Student ID,Ex#,order:%s,%s,%d form %c does not match any key form\n",
                     sheet.student_id, sheet.exam_no, run.sheets_graded, sheet.form_letter);
        end_message();
        count_up(run.form_mismatches);
        *out++ = ',';
        out = write_int(out, run.sheets_graded, 3);
        out = write_text(out, ",\"no key\",,\"");
        out = write_grouped(out, sheet.responses, std::strlen(sheet.responses));
        out = write_text(out, "\"\n");
        write_row(row, out);
        return;
    }
    if (f > run.highest_form) run.highest_form = f;

    const AnswerKey& key = answer_keys[f];
    ItemCounts* counts = run.item_counts[f];
    char scoring[MAX_QUESTIONS + 1];
    std::int32_t scored_questions = 0;
    std::int32_t raw_score = 0;
    std::int32_t highest_letter = run.highest_letter;
    // The response of question q is the q-th; the marks are shown only as
    // far as the sheet has responses.
    const auto questions = static_cast<int>(std::strlen(key.key_text));
    const auto response_count = static_cast<int>(std::strlen(sheet.responses));
    const int shown_marks = questions < response_count ? questions : response_count;
    for (int q = 0; q < shown_marks; ++q) {
        const char r = sheet.responses[q];
        ItemCounts& item = counts[q];
        // A letter A to Y is counted under its letter, anything else as no
        // response (written so that the compiler can choose the counter, and
        // the mark below, without a branch).
        const bool is_letter = r >= 'A' && r <= 'Y';
        const int letter = is_letter ? r - 'A' : -1;
        count_up(*(is_letter ? &item.letter_count[letter] : &item.no_response));
        highest_letter = letter > highest_letter ? letter : highest_letter;
        char mark = '-';
        std::int32_t mask = key.masks[q + 1];
        if (mask != QUESTION_DROPPED) {
            ++scored_questions;
            // Right and wrong answers come in no order that a processor
            // could predict: no branch on them.
            const unsigned right = (static_cast<std::int32_t>(answer_bit(r)) & mask) != 0;
            raw_score += static_cast<std::int32_t>(right);
            count_up(item.correct, right);
            mark = right ? 'c' : 'X';
        }
        scoring[q] = mark;
    }
    // The questions after the last response: no response, so wrong unless
    // dropped.
    for (int q = shown_marks; q < questions; ++q) {
        count_up(counts[q].no_response);
        scored_questions += key.masks[q + 1] != QUESTION_DROPPED;
    }
    run.highest_letter = highest_letter;

    *out++ = ',';
    out = write_int(out, run.sheets_graded, 3);
    *out++ = ',';
    out = write_int(out, raw_score, 2);
    *out++ = ',';
    if (scored_questions > 0) {
        const PercentCell& percent = percent_cell(f, raw_score, scored_questions);
        stats_add(run.form_stats[f], percent.value);
        stats_add(run.aggregate_stats, percent.value);
        out = write_text(out, percent.text);
    }
    // A key without a scored question leaves the % Score cell empty and
    // offers nothing to the statistics.
    *out++ = ',';
    *out++ = '"';
    *out++ = sheet.form_letter;
    out = write_grouped(out, sheet.responses, static_cast<std::size_t>(response_count));
    out = write_text(out, "\",\"");
    out = write_grouped(out, scoring, static_cast<std::size_t>(shown_marks));
    out = write_text(out, "\"\n");
    write_row(row, out);
}

} // namespace quillmark
