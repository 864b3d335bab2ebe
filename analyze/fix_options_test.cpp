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
    EXPECT_EQ(fix_options(analysis),
              "# Written by quillmark-analyze: each question below may be keyed wrong.\n"
              "# form A question 7: the key's B has point-biserial -0.301, C has 0.482\n"
              "alta:7C\n"
              "# form E question 7: the key's B has point-biserial -0.301, C has 0.482\n"
              "# no option amends the key of form E: correct its key sheet instead\n");
    EXPECT_EQ(fix_options(Analysis{}),
              "# Written by quillmark-analyze: each question below may be keyed wrong.\n");
}

} // namespace
} // namespace quillmark
