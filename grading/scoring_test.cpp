#include "grading/scoring.h"

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "keys/options.h"
#include "report/report_format.h"

namespace quillmark {
namespace {

// A fresh key table holding one key for form A, with answers added to
// single questions as an option or a second key sheet would add them.
void set_key_a(const char* key_text, int added_question = 0, char added_letter = 0) {
    std::memset(answer_keys, 0, sizeof answer_keys);
    store_key('A', key_text);
    if (added_question > 0)
        answer_keys[0].masks[added_question] |= static_cast<std::int32_t>(answer_bit(added_letter));
}

ScannedSheet sheet_of(const char* responses, char form = 'A') {
    ScannedSheet sheet{};
    std::strcpy(sheet.student_id, "U1");
    sheet.form_letter = form;
    std::strcpy(sheet.exam_no, "001");
    std::strcpy(sheet.responses, responses); // as parse_sheet_line leaves them
    return sheet;
}

// A run as the driver starts it.
std::unique_ptr<GradingRun> fresh_run() {
    auto run = std::make_unique<GradingRun>();
    run->highest_form = -1;
    run->highest_letter = -1;
    return run;
}

struct ScoringCase {
    const char* what;
    const char* key;
    int added_question;
    char added_letter;
    const char* responses;
    const char* scoring; // the marks shown
    std::int32_t raw_score;
    std::int32_t scored_questions;
    const char* percent_cell; // nullptr: no % Score
};

const ScoringCase scoring_cases[] = {
    {"all right", "ABCDE", 0, 0, "ABCDE", "ccccc", 5, 5, "100.000"},
    {"the last answer left blank (its trailing blank removed)", "ABCDE", 0, 0, "ABCD", "cccc", 4, 5,
     " 80.000"},
    {"the same with the last question dropped", "ABCDX", 0, 0, "ABCD", "cccc", 4, 4, "100.000"},
    {"a dropped question shows '-' whatever the response", "AB-DE", 0, 0, "ABXDE", "cc-cc", 4, 4,
     "100.000"},
    {"a second accepted letter", "ABCDE", 2, 'D', "ADCDE", "ccccc", 5, 5, "100.000"},
    {"the first accepted letter stays accepted", "ABCDE", 2, 'D', "ABCDE", "ccccc", 5, 5,
     "100.000"},
    {"a letter accepted by neither", "ABCDE", 2, 'D', "AECDE", "cXccc", 4, 5, " 80.000"},
    {"no mark inside the responses", "ABCDE", 0, 0, "A-CDE", "cXccc", 4, 5, " 80.000"},
    {"no responses at all", "ABCDE", 0, 0, "", "", 0, 5, "  0.000"},
    {"more responses than questions", "ABCDE", 0, 0, "ABCDEABCDE", "ccccc", 5, 5, "100.000"},
    {"no letter, an asterisk, a digit, a letter after P", "ABCDE", 0, 0, "Z*1QE", "XXXXc", 1, 5,
     " 20.000"},
    {"a key answer after P accepts nothing", "ABQDE", 0, 0, "ABQDE", "ccXcc", 4, 5, " 80.000"},
    {"two of three", "ABC", 0, 0, "ABD", "ccX", 2, 3, " 66.667"},
    {"one of three", "ABC", 0, 0, "AAA", "cXX", 1, 3, " 33.333"},
    {"a key without a scored question", "XX", 0, 0, "AB", "--", 0, 0, nullptr},
};

TEST(ScoreSheet, MarksRawAndPerCentScoreOfEachCase) {
    for (const ScoringCase& c : scoring_cases) {
        set_key_a(c.key, c.added_question, c.added_letter);
        SheetScore score;
        std::memset(&score, 0x55, sizeof score); // every field must be set
        score_sheet(sheet_of(c.responses), answer_keys[0], score);
        EXPECT_EQ(std::string(score.scoring, static_cast<std::size_t>(score.shown_marks)),
                  c.scoring)
            << c.what;
        EXPECT_EQ(score.raw_score, c.raw_score) << c.what;
        EXPECT_EQ(score.scored_questions, c.scored_questions) << c.what;
        EXPECT_EQ(score.questions, static_cast<std::int32_t>(std::strlen(c.key))) << c.what;
        EXPECT_EQ(score.responses, static_cast<std::int32_t>(std::strlen(c.responses))) << c.what;
        EXPECT_EQ(score.has_percent, c.percent_cell != nullptr) << c.what;
        if (c.percent_cell) {
            char cell[PERCENT_CELL_SIZE];
            format_percent_cell(cell, score.percent_score);
            EXPECT_STREQ(cell, c.percent_cell) << c.what;
        }
    }
}

// The marks by the rule, one question at a time: dropped '-'; right 'c'
// when the response is a letter 'A' to 'P' whose bit the question accepts;
// else 'X'.
std::string marks_by_rule(const std::string& responses, const AnswerKey& key, int& raw,
                          int& scored) {
    const std::size_t questions = std::strlen(key.key_text);
    std::string marks;
    raw = 0;
    scored = 0;
    for (std::size_t q = 0; q < questions; ++q) {
        const std::int32_t mask = key.masks[q + 1];
        const char r = q < responses.size() ? responses[q] : '\0';
        char mark = '-';
        if (mask != QUESTION_DROPPED) {
            ++scored;
            const bool right = r >= 'A' && r <= 'P' && (mask >> (r - 'A') & 1) != 0;
            raw += right;
            mark = right ? 'c' : 'X';
        }
        if (q < responses.size()) marks += mark;
    }
    return marks;
}

TEST(ScoreSheet, LongSheetsAgreeWithTheRuleQuestionByQuestion) {
    std::mt19937 random(42);
    const char key_chars[] = "ABCDEPQZX-*";
    const char response_chars[] = "ABCDEFOPQYZ-*1@`";
    for (int trial = 0; trial < 3000; ++trial) {
        std::string key(1 + random() % 1000, 'A');
        for (char& c : key) c = key_chars[random() % (sizeof key_chars - 1)];
        set_key_a(key.c_str());
        for (int extra = 0; extra < 5; ++extra) // a second accepted letter here and there
            answer_keys[0].masks[1 + random() % key.size()] |=
                static_cast<std::int32_t>(answer_bit(static_cast<char>('A' + random() % 16)));
        std::string responses(random() % 1001, 'A');
        for (char& c : responses) c = response_chars[random() % (sizeof response_chars - 1)];
        while (!responses.empty() && responses.back() == '-') responses.pop_back();

        SheetScore score;
        score_sheet(sheet_of(responses.c_str()), answer_keys[0], score);
        int raw = 0;
        int scored = 0;
        const std::string marks = marks_by_rule(responses, answer_keys[0], raw, scored);
        ASSERT_EQ(std::string(score.scoring, static_cast<std::size_t>(score.shown_marks)), marks)
            << trial;
        ASSERT_EQ(score.raw_score, raw) << trial;
        ASSERT_EQ(score.scored_questions, scored) << trial;
    }
}

TEST(TallySheet, CountsEveryKeyQuestionOnceAndNothingBeyondTheKey) {
    // Key ABCDE, question 2 also accepts D, question 5 dropped.
    set_key_a("ABCDX", 2, 'D');
    auto run = fresh_run();
    for (const char* responses : {"ADCDE", "B", "Z*QBBAAAAAAA"}) {
        const ScannedSheet sheet = sheet_of(responses);
        SheetScore score;
        score_sheet(sheet, answer_keys[0], score);
        tally_sheet(sheet, score, 0, *run);
    }
    finish_item_counts(*run);
    const ItemCounts* counts = run->item_counts[0];
    // Question 1: A right, B wrong, Z no response.
    EXPECT_EQ(counts[0].letter_count[0], 1);
    EXPECT_EQ(counts[0].letter_count[1], 1);
    EXPECT_EQ(counts[0].no_response, 1);
    EXPECT_EQ(counts[0].correct, 1);
    // Question 2: D right (added), '*' and the missing response no response.
    EXPECT_EQ(counts[1].letter_count[3], 1);
    EXPECT_EQ(counts[1].no_response, 2);
    EXPECT_EQ(counts[1].correct, 1);
    // Question 3: C right, Q counted under its letter but never right.
    EXPECT_EQ(counts[2].letter_count[2], 1);
    EXPECT_EQ(counts[2].letter_count[16], 1);
    EXPECT_EQ(counts[2].no_response, 1);
    EXPECT_EQ(counts[2].correct, 1);
    // Question 4: D right, B wrong.
    EXPECT_EQ(counts[3].letter_count[3], 1);
    EXPECT_EQ(counts[3].letter_count[1], 1);
    EXPECT_EQ(counts[3].correct, 1);
    // Question 5, dropped: its responses are counted, never as correct.
    EXPECT_EQ(counts[4].letter_count[4], 1);
    EXPECT_EQ(counts[4].letter_count[1], 1);
    EXPECT_EQ(counts[4].no_response, 1);
    EXPECT_EQ(counts[4].correct, 0);
    // Responses beyond the key's fifth question are not counted.
    for (int q = 5; q < 12; ++q) {
        const ItemCounts& item = counts[q];
        std::int32_t letters = 0;
        for (std::int32_t count : item.letter_count) letters += count;
        EXPECT_EQ(letters + item.no_response + item.correct, 0) << q;
    }
    EXPECT_EQ(run->highest_letter, 16); // Q
    EXPECT_EQ(run->highest_form, 0);
    // Scores 4 of 4, 0 of 4 and 0 of 4: 100, 0 and 0 per cent.
    EXPECT_EQ(run->form_stats[0].count, 3);
    EXPECT_EQ(run->form_stats[0].sum, 100);
    EXPECT_EQ(run->form_stats[0].max, 100);
    EXPECT_EQ(run->aggregate_stats.count, 3);
}

TEST(TallySheet, CorrectCountsFromTheLetterCountsEqualTheRightMarks) {
    std::mt19937 random(5);
    set_key_a("ABCDEPQZX-ABCDEABCDEABCDE");
    answer_keys[0].masks[3] |= static_cast<std::int32_t>(answer_bit('A'));
    answer_keys[0].masks[4] |= static_cast<std::int32_t>(answer_bit('P'));
    auto run = fresh_run();
    std::int32_t right_marks[MAX_QUESTIONS] = {};
    for (int s = 0; s < 500; ++s) {
        std::string responses(random() % 30, 'A');
        for (char& c : responses) c = "ABCDPQZ-*"[random() % 9];
        const ScannedSheet sheet = sheet_of(responses.c_str());
        SheetScore score;
        score_sheet(sheet, answer_keys[0], score);
        tally_sheet(sheet, score, 0, *run);
        for (int q = 0; q < score.shown_marks; ++q) right_marks[q] += score.scoring[q] == 'c';
    }
    finish_item_counts(*run);
    for (int q = 0; q < 25; ++q) EXPECT_EQ(run->item_counts[0][q].correct, right_marks[q]) << q;
}

TEST(TallySheet, AKeyWithoutAScoredQuestionOffersNoScore) {
    set_key_a("XX");
    auto run = fresh_run();
    const ScannedSheet sheet = sheet_of("AB");
    SheetScore score;
    score_sheet(sheet, answer_keys[0], score);
    tally_sheet(sheet, score, 0, *run);
    finish_item_counts(*run);
    EXPECT_EQ(run->item_counts[0][0].letter_count[0], 1);
    EXPECT_EQ(run->item_counts[0][1].letter_count[1], 1);
    EXPECT_EQ(run->form_stats[0].count, 0);
    EXPECT_EQ(run->aggregate_stats.count, 0);
    EXPECT_EQ(run->highest_form, 0);
}

std::string graded_rows(GradingRun& run, const char* const* responses, int sheets, char form) {
    testing::internal::CaptureStdout();
    for (int s = 0; s < sheets; ++s) {
        count_up(run.sheets_graded);
        grade_sheet(sheet_of(responses[s], form), run);
    }
    report_flush();
    return testing::internal::GetCapturedStdout();
}

TEST(GradeSheet, WritesTheRowOfEachSheetInBothColumnOrders) {
    set_key_a("ABCDX", 2, 'C');
    const char* const responses[] = {"ABCDE", "AC", "", "BBDDAEEEEEEE"};
    auto run = fresh_run();
    exam_first = 0;
    EXPECT_EQ(graded_rows(*run, responses, 4, 'A'),
              "\"U1\",A,\"001\",  1, 4,100.000,\"A:ABCDE\",\":cccc-\"\n"
              "\"U1\",A,\"001\",  2, 2, 50.000,\"A:AC\",\":cc\"\n"
              "\"U1\",A,\"001\",  3, 0,  0.000,\"A:\",\":\"\n"
              "\"U1\",A,\"001\",  4, 2, 50.000,\"A:BBDDA EEEEE EE\",\":XcXc-\"\n");
    exam_first = 1;
    EXPECT_EQ(graded_rows(*run, responses, 1, 'A'),
              "\"001\",\"U1\",A,  5, 4,100.000,\"A:ABCDE\",\":cccc-\"\n");
    exam_first = 0;
}

TEST(GradeSheet, AFormWithoutKeyIsANoKeyRowAndCountsNothing) {
    set_key_a("AB");
    auto run = fresh_run();
    const char* const responses[] = {"ABCDEF"};
    testing::internal::CaptureStderr();
    EXPECT_EQ(graded_rows(*run, responses, 1, 'a'),
              "\"U1\",a,\"001\",  1,\"no key\",,\":ABCDE F\"\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Student ID,Ex#,order:U1,001,1 form a does not match any key form\n");
    EXPECT_EQ(run->form_mismatches, 1);
    EXPECT_EQ(run->highest_form, -1);
    EXPECT_EQ(run->highest_letter, -1);
    EXPECT_EQ(run->item_counts[0][0].letter_count[0], 0);
    EXPECT_EQ(run->aggregate_stats.count, 0);
}

TEST(GradeSheet, AKeyWithoutAScoredQuestionLeavesTheScoreCellEmpty) {
    set_key_a("XX");
    auto run = fresh_run();
    const char* const responses[] = {"AB"};
    EXPECT_EQ(graded_rows(*run, responses, 1, 'A'), "\"U1\",A,\"001\",  1, 0,,\"A:AB\",\":--\"\n");
}

} // namespace
} // namespace quillmark
