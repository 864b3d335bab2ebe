#include "analyze/fix_options.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// A form with question 7 keyed B whose choosers of C did better.
FormAnalysis form_with_key_error(char letter) {
    ItemStatistics item;
    item.key_error = 'C';
    item.flag = ItemFlag::key_error;
    OptionStatistics key;
    key.option = 'B';
    key.key = true;
    key.point_biserial = -0.3012L;
    OptionStatistics suspect;
    suspect.option = 'C';
    suspect.point_biserial = 0.4816L;
    item.options = {key, suspect};
    FormAnalysis form;
    form.form = letter;
    form.questions.push_back({7, item});
    form.questions.push_back({8, ItemStatistics{}}); // no flag: no line
    return form;
}

TEST(FixOptions, AnAmendmentForFormsAToDAndAKeySheetToCorrectForTheOthers) {
    Analysis analysis;
    analysis.forms = {form_with_key_error('A'), form_with_key_error('E')};
    // The keys across versions suggest for form A's question 7 what its own
    // key error does: the line is not written twice.
    analysis.key_amendments = {{'A', 7, 3, "C", "question 7 is master question 3 and accepts B"}};
    EXPECT_EQ(fix_options(analysis),
              "# Written by quillmark-analyze: each question below may be keyed wrong.\n"
              "# form A question 7: the key's B has point-biserial -0.301, C has 0.482\n"
              "alta:7C\n"
              "# form E question 7: the key's B has point-biserial -0.301, C has 0.482\n"
              "# no option amends the key of form E: correct its key sheet instead\n"
              "# form A question 7: keys disagree: question 7 is master question 3 and accepts B\n"
              "# the option lines for it are the same as above\n");
    EXPECT_EQ(fix_options(Analysis{}),
              "# Written by quillmark-analyze: each question below may be keyed wrong.\n");
}

TEST(FixOptions, TheWholeExamsKeyErrorsOnEachFormAndTheKeysThatDisagree) {
    // Master question 7 suspected C: on form B it is question 2, whose
    // letters put master C at D; on form E, question 9, same letters.
    Analysis analysis;
    analysis.exam = form_with_key_error(WHOLE_EXAM);
    analysis.exam->questions.pop_back();
    analysis.exam_versions = {{{'B', 2, "BADCE"}, {'E', 9, ""}, {'A', 4, "ABQDEFGHIJKLMNOPC"}}};
    analysis.key_amendments = {{'C', 17, 4, "AD", "question 17 is master question 4 and accepts B"},
                               {'D', 3, 5, "", "question 3 is master question 5 and accepts E"},
                               {'F', 1, 1, "A", "question 1 is master question 1 and accepts B"},
                               {'B', 6, 8, "AR", "question 6 is master question 8 and accepts A"}};
    EXPECT_EQ(
        fix_options(analysis),
        "# Written by quillmark-analyze: each question below may be keyed wrong.\n"
        "# all forms, master question 7: the key's B has point-biserial -0.301, C has 0.482\n"
        "altb:2D\n"
        "# no option amends the key of form E: correct its key sheet instead\n"
        "# Q comes after P: no key accepts it, so no option can make it the answer\n"
        "# form C question 17: keys disagree: question 17 is master question 4 and accepts B\n"
        "altc:17A\n"
        "altc:17+D\n"
        "# form D question 3: keys disagree: question 3 is master question 5 and accepts E\n"
        "altd:3X\n"
        "# form F question 1: keys disagree: question 1 is master question 1 and accepts B\n"
        "# no option amends the key of form F: correct its key sheet instead\n"
        "# form B question 6: keys disagree: question 6 is master question 8 and accepts A\n"
        "# R comes after P: no key accepts it, so no option can make it the answer\n");
}

} // namespace
} // namespace quillmark
