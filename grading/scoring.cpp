#include "grading/scoring.h"

#include <cstddef>
#include <cstring>

#include "keys/options.h"
#include "platform/byte_scan.h"
#include "platform/env.h"
#include "report/report_rows.h"

namespace quillmark {

namespace {

// The % Score cells of each form, each made once: all sheets of a form have
// the same number of scored questions, so a form has at most 1001 of them.
struct PercentCell {
    char text[PERCENT_CELL_SIZE];
    int length; // 0 until made
};
PercentCell percent_cells[NUM_FORMS][MAX_QUESTIONS + 1];
std::int32_t percent_cells_scored[NUM_FORMS];

const PercentCell& percent_cell(int form, const SheetScore& score) {
    if (percent_cells_scored[form] != score.scored_questions) {
        std::memset(percent_cells[form], 0, sizeof percent_cells[form]);
        percent_cells_scored[form] = score.scored_questions;
    }
    PercentCell& cell = percent_cells[form][score.raw_score];
    if (cell.length == 0) cell.length = format_percent_cell(cell.text, score.percent_score);
    return cell;
}

#if QUILLMARK_SSE2
// Packs four vectors of 32-bit all-ones-or-zero lanes into one of 8-bit lanes.
__m128i narrow(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}

// Marks sixteen questions whose responses and masks start at the pointers:
// writes their marks and adds one, in the byte of each question, to `right`
// for a right answer and to `dropped` for a dropped question.
void score_sixteen(const char* responses, const std::int32_t* masks, char* marks, __m128i& right,
                   __m128i& dropped) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i letters = sse2::load(responses);
    // A response has an answer bit when it is 'A' to 'P': bit (letter - 'A').
    const __m128i index = _mm_sub_epi8(letters, _mm_set1_epi8('A'));
    const __m128i has_bit = sse2::in_range(letters, 'A', 16);
    const __m128i low = _mm_unpacklo_epi8(index, zero);
    const __m128i high = _mm_unpackhi_epi8(index, zero);
    const __m128i indexes[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                                _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
    __m128i missed[4];
    __m128i dropped_lanes[4];
    for (int i = 0; i < 4; ++i) {
        const __m128i mask = sse2::load(masks + 4 * i);
        // 1 << index, made as the float 2^index (exponent field 127 + index);
        // lanes without an answer bit are cleared by has_bit below.
        const __m128i exponent = _mm_slli_epi32(_mm_add_epi32(indexes[i], _mm_set1_epi32(127)), 23);
        const __m128i bit = _mm_cvttps_epi32(_mm_castsi128_ps(exponent));
        missed[i] = _mm_cmpeq_epi32(_mm_and_si128(bit, mask), zero);
        dropped_lanes[i] = _mm_cmpeq_epi32(mask, _mm_set1_epi32(QUESTION_DROPPED));
    }
    const __m128i is_dropped =
        narrow(dropped_lanes[0], dropped_lanes[1], dropped_lanes[2], dropped_lanes[3]);
    const __m128i not_right =
        _mm_or_si128(narrow(missed[0], missed[1], missed[2], missed[3]), is_dropped);
    const __m128i is_right = _mm_andnot_si128(not_right, has_bit);
    // '-' dropped, 'c' right, 'X' wrong.
    const __m128i unright = _mm_or_si128(_mm_and_si128(is_dropped, _mm_set1_epi8('-')),
                                         _mm_andnot_si128(is_dropped, _mm_set1_epi8('X')));
    const __m128i mark = _mm_or_si128(_mm_and_si128(is_right, _mm_set1_epi8('c')),
                                      _mm_andnot_si128(is_right, unright));
    sse2::store(marks, mark);
    right = _mm_sub_epi8(right, is_right);
    dropped = _mm_sub_epi8(dropped, is_dropped);
}
#endif

} // namespace

void score_sheet(const ScannedSheet& sheet, const AnswerKey& key, SheetScore& score) {
    score.questions = static_cast<std::int32_t>(std::strlen(key.key_text));
    score.responses = static_cast<std::int32_t>(std::strlen(sheet.responses));
    score.shown_marks = score.questions < score.responses ? score.questions : score.responses;
    std::int32_t scored_questions = 0;
    std::int32_t raw_score = 0;
    int q = 0;
#if QUILLMARK_SSE2
    // Sixteen questions at a time; a byte counts at most 62 of them.
    __m128i right = _mm_setzero_si128();
    __m128i dropped = _mm_setzero_si128();
    for (; q + 16 <= score.shown_marks; q += 16)
        score_sixteen(sheet.responses + q, key.masks + q + 1, score.scoring + q, right, dropped);
    raw_score = sse2::byte_sum(right);
    scored_questions = q - sse2::byte_sum(dropped);
#endif
    for (; q < score.shown_marks; ++q) {
        const std::int32_t mask = key.masks[q + 1];
        char mark = '-';
        if (mask != QUESTION_DROPPED) {
            ++scored_questions;
            // Right and wrong answers come in no order that a processor
            // could predict: no branch on them.
            const auto right = static_cast<std::int32_t>(
                (static_cast<std::int32_t>(answer_bit(sheet.responses[q])) & mask) != 0);
            raw_score += right;
            mark = right ? 'c' : 'X';
        }
        score.scoring[q] = mark;
    }
    for (int q = score.shown_marks; q < score.questions; ++q)
        scored_questions += key.masks[q + 1] != QUESTION_DROPPED;
    score.scored_questions = scored_questions;
    score.raw_score = raw_score;
    score.has_percent = scored_questions > 0;
    score.percent_score = score.has_percent ? percent_score(raw_score, scored_questions) : 0;
}

namespace {

// Adds the pending letter counts of a form to its ItemCounts.
void flush_pending(GradingRun& run, int form) {
    PendingTallies& tallies = run.pending_tallies[form];
    const auto questions = static_cast<int>(std::strlen(answer_keys[form].key_text));
    for (int m = 0; m < tallies.letters; ++m) {
        std::uint8_t* counts = tallies.counts[m];
        for (int q = 0; q < questions; ++q)
            count_up(run.item_counts[form][q].letter_count[m], counts[q]);
        std::memset(counts, 0, static_cast<std::size_t>(questions));
    }
    tallies.pending = 0;
}

// The highest letter A to Y among the first `count` responses, as its
// index; -1 for none.
int highest_letter_of(const char* responses, int count) {
    const unsigned char highest =
        scan::highest_in_range(responses, static_cast<std::size_t>(count), 'A', TALLY_LETTERS);
    return highest == 0 ? -1 : highest - 'A';
}

} // namespace

void tally_sheet(const ScannedSheet& sheet, const SheetScore& score, int form, GradingRun& run) {
    if (form > run.highest_form) run.highest_form = form;
    PendingTallies& tallies = run.pending_tallies[form];
    const int shown = score.shown_marks;
    // Every letter up to the highest one seen is counted; a letter above
    // them all makes the counted letters reach it.
    const int highest = highest_letter_of(sheet.responses, shown);
    if (highest >= tallies.letters) tallies.letters = highest + 1;
    if (highest > run.highest_letter) run.highest_letter = highest;

    int q = 0;
#if QUILLMARK_SSE2
    // Sixteen questions at a time: the byte of each letter's counter goes
    // up (by subtracting the all-ones of an equal compare) where the
    // response is that letter.
    const int letters = tallies.letters;
    for (; q + 16 <= shown; q += 16) {
        const __m128i r = sse2::load(sheet.responses + q);
        __m128i letter = _mm_set1_epi8('A'); // the letter of counter m in every lane
        for (int m = 0; m < letters; ++m) {
            std::uint8_t* counts = tallies.counts[m] + q;
            sse2::store(counts, _mm_sub_epi8(sse2::load(counts), _mm_cmpeq_epi8(r, letter)));
            letter = _mm_add_epi8(letter, _mm_set1_epi8(1));
        }
    }
#endif
    for (; q < shown; ++q) {
        const unsigned m = static_cast<unsigned char>(sheet.responses[q]) - 'A';
        if (m < static_cast<unsigned>(TALLY_LETTERS)) ++tallies.counts[m][q];
    }
    count_up(tallies.sheets);
    if (++tallies.pending == 255) flush_pending(run, form);

    // A key without a scored question offers nothing to the statistics.
    if (score.has_percent) {
        stats_add(run.form_stats[form], score.percent_score);
        stats_add(run.aggregate_stats, score.percent_score);
    }
}

void finish_item_counts(GradingRun& run) {
    for (int f = 0; f < NUM_FORMS; ++f) {
        flush_pending(run, f);
        const AnswerKey& key = answer_keys[f];
        const auto questions = static_cast<int>(std::strlen(key.key_text));
        const auto sheets = static_cast<std::uint32_t>(run.pending_tallies[f].sheets);
        for (int q = 0; q < questions; ++q) {
            ItemCounts& item = run.item_counts[f][q];
            const auto mask = static_cast<std::uint32_t>(key.masks[q + 1]);
            const bool dropped = key.masks[q + 1] == QUESTION_DROPPED;
            std::uint32_t letters = 0;
            std::uint32_t correct = 0;
            for (int m = 0; m < TALLY_LETTERS; ++m) {
                const auto count = static_cast<std::uint32_t>(item.letter_count[m]);
                letters += count;
                // Only letters A to P have an answer bit.
                if (m < 16 && !dropped && (mask >> m & 1u) != 0) correct += count;
            }
            item.no_response = static_cast<std::int32_t>(sheets - letters);
            item.correct = static_cast<std::int32_t>(correct);
        }
    }
}

void grade_sheet(const ScannedSheet& sheet, GradingRun& run) {
    const int form = form_index(sheet.form_letter);
    SheetRow row{};
    row.student_id = sheet.student_id;
    row.form = sheet.form_letter;
    row.exam_no = sheet.exam_no;
    row.order = run.sheets_graded;
    if (form < 0 || answer_keys[form].form != sheet.form_letter) {
        send_message("Student ID,Ex#,order:%s,%s,%d form %c does not match any key form\n",
                     sheet.student_id, sheet.exam_no, run.sheets_graded, sheet.form_letter);
        count_up(run.form_mismatches);
        row.no_key = true;
        row.responses = sheet.responses;
        write_sheet_row(row, exam_first != 0);
        return;
    }
    SheetScore score;
    score_sheet(sheet, answer_keys[form], score);
    tally_sheet(sheet, score, form, run);
    row.raw_score = score.raw_score;
    if (score.has_percent) {
        const PercentCell& percent = percent_cell(form, score);
        row.percent = std::string_view(percent.text, static_cast<std::size_t>(percent.length));
    }
    row.responses = std::string_view(sheet.responses, static_cast<std::size_t>(score.responses));
    row.scoring = std::string_view(score.scoring, static_cast<std::size_t>(score.shown_marks));
    write_sheet_row(row, exam_first != 0);
}

} // namespace quillmark
