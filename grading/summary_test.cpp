#include "grading/summary.h"

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "grading/scoring.h"
#include "keys/options.h"
#include "report/report_format.h"

namespace quillmark {
namespace {

struct Sheet {
    char form;
    const char* responses; // as parse_sheet_line leaves them
};

// Grades the sheets as the run driver does (Order first) and yields the run.
std::unique_ptr<GradingRun> graded(std::initializer_list<Sheet> sheets) {
    auto run = std::make_unique<GradingRun>();
    run->highest_form = -1;
    run->highest_letter = -1;
    exam_first = 0;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const Sheet& s : sheets) {
        ScannedSheet sheet{};
        std::strcpy(sheet.student_id, "ID");
        sheet.form_letter = s.form;
        std::strcpy(sheet.exam_no, "EXM");
        std::strcpy(sheet.responses, s.responses);
        count_up(run->sheets_graded);
        grade_sheet(sheet, *run);
    }
    report_flush();
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    return run;
}

struct Closing {
    std::string report;
    std::string messages;
};

Closing closing_of(GradingRun& run) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    print_summary(run);
    print_item_analysis(run);
    report_flush();
    Closing closing;
    closing.report = testing::internal::GetCapturedStdout();
    closing.messages = testing::internal::GetCapturedStderr();
    return closing;
}

TEST(Summary, OneFormWithDroppedQuestionAddedAnswerBlanksAndLongSheets) {
    // Key ABCD, question 2 also accepts C, question 5 dropped.
    std::memset(answer_keys, 0, sizeof answer_keys);
    store_key('A', "ABCDX");
    answer_keys[0].masks[2] |= answer_bit('C');
    // 4 of 4; 2 of 4 (the last three left blank); no response (0 of 4); 2 of 4
    // with responses beyond the key's five questions.
    auto run = graded({{'A', "ABCDE"}, {'A', "AC"}, {'A', ""}, {'A', "BBDDAEEEEEEE"}});
    const Closing closing = closing_of(*run);
    // Per cent 100, 50, 0, 50: mean 50, population variance 1250.
    EXPECT_EQ(closing.report,
              ",,n,avg,dev,min,max\n"
              ",\"Form A\",4,50.0,35.4,0.0,100.0\n"
              ",Aggregate,4,50.0,35.4,0.0,100.0\n"
              "\n"
              ",\"Form A Q:A\", Correct,\"No resp\",A,B,C,D,E\n"
              ",Q1 :A,   2: 50.0%,   1,   2,   1,   0,   0,   0\n"
              ",Q2 :BC,   3: 75.0%,   1,   0,   2,   1,   0,   0\n"
              ",Q3 :C,   1: 25.0%,   2,   0,   0,   1,   1,   0\n"
              ",Q4 :D,   2: 50.0%,   2,   0,   0,   0,   2,   0\n"
              ",Q5 :ABCDE,   0:  0.0%,   2,   1,   0,   0,   0,   1\n");
    EXPECT_EQ(closing.messages,
              "4 sheets graded\n"
              "Form A: n=4, avg dev [min, max]: 50  35.36 [0, 100]\n"
              "Aggregate: n=4, avg dev [min, max]: 50  35.36 [0, 100]\n");
}

TEST(Summary, FormsWithoutSheetsWithoutKeyWithoutScoredQuestionAndMismatches) {
    std::memset(answer_keys, 0, sizeof answer_keys);
    store_key('A', "AB"); // keyed, no sheet
    store_key('C', "XX"); // keyed, no scored question
    // Form B has no key; a lower-case letter matches no key either.
    auto run = graded({{'C', "AB"}, {'a', "AB"}, {'B', "BA"}});
    EXPECT_EQ(run->form_mismatches, 2);
    const Closing closing = closing_of(*run);
    EXPECT_EQ(closing.report,
              ",,n,avg,dev,min,max\n"
              ",\"Form A\",0,0.0,0.0,0.0,0.0\n"
              ",\"Form B\",0,0.0,0.0,0.0,0.0\n"
              ",\"Form C\",0,0.0,0.0,0.0,0.0\n"
              ",Aggregate,0,0.0,0.0,0.0,0.0\n"
              "\n"
              ",\"Form A Q:A\", Correct,\"No resp\",A,B\n"
              ",Q1 :A,   0:  0.0%,   0,   0,   0\n"
              ",Q2 :B,   0:  0.0%,   0,   0,   0\n"
              "\n"
              ",\"Form B Q:A\", Correct,\"No resp\",A,B\n"
              "\n"
              ",\"Form C Q:A\", Correct,\"No resp\",A,B\n"
              ",Q1 :AB,   0:  0.0%,   0,   1,   0\n"
              ",Q2 :AB,   0:  0.0%,   0,   0,   1\n"
              "\"2 form mismatches\"\n");
    EXPECT_EQ(closing.messages,
              "3 sheets graded\n"
              "Form A: n=0, avg dev [min, max]: 0  0 [0, 0]\n"
              "Form B: n=0, avg dev [min, max]: 0  0 [0, 0]\n"
              "Form C: n=0, avg dev [min, max]: 0  0 [0, 0]\n"
              "Aggregate: n=0, avg dev [min, max]: 0  0 [0, 0]\n"
              "2 form mismatches\n");
}

TEST(Summary, NoScoredSheetWritesOnlyTheAggregate) {
    std::memset(answer_keys, 0, sizeof answer_keys);
    auto run = graded({{'?', ""}});
    const Closing closing = closing_of(*run);
    EXPECT_EQ(closing.report,
              ",,n,avg,dev,min,max\n"
              ",Aggregate,0,0.0,0.0,0.0,0.0\n"
              "\"1 form mismatches\"\n");
    EXPECT_EQ(closing.messages,
              "1 sheets graded\n"
              "Aggregate: n=0, avg dev [min, max]: 0  0 [0, 0]\n"
              "1 form mismatches\n");
}

} // namespace
} // namespace quillmark
