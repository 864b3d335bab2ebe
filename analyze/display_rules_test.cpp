#include "analyze/display_rules.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(DisplayRules, ReliabilityReadingAtTheBoundsAsShown) {
    const struct {
        long double kr20;
        const char* reading;
    } cases[] = {
        {0.95L, "excellent"}, {0.90L, "excellent"},    {0.8996L, "excellent"}, // shown as 0.900
        {0.8994L, "good"},                                                     // shown as 0.899
        {0.80L, "good"},      {0.7994L, "acceptable"}, {0.70L, "acceptable"},  {0.699L, "poor"},
        {0.60L, "poor"},      {0.599L, "unreliable"},  {-0.3L, "unreliable"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(reliability_reading(c.kr20), c.reading) << static_cast<double>(c.kr20);
}

TEST(DisplayRules, ReliabilityScaleNamesEveryBandOnce) {
    EXPECT_EQ(reliability_scale(),
              "0.90 and above excellent, 0.80 to 0.89 good, 0.70 to 0.79 "
              "acceptable, 0.60 to 0.69 poor, below 0.60 unreliable");
}

TEST(DisplayRules, FlagTextNamesTheSuspectedLetterOfAKeyError) {
    const struct {
        ItemFlag flag;
        char key_error;
        const char* text;
    } cases[] = {
        {ItemFlag::none, 0, ""},
        {ItemFlag::key_error, 'C', "possible key error: C"},
        {ItemFlag::no_variance, 0, "no variance"},
        {ItemFlag::negative, 0, "negative discrimination"},
        {ItemFlag::too_easy, 0, "too easy"},
        {ItemFlag::too_hard, 0, "too hard"},
    };
    for (const auto& c : cases) {
        ItemStatistics item;
        item.flag = c.flag;
        item.key_error = c.key_error;
        EXPECT_EQ(flag_text(item), c.text);
    }
}

TEST(DisplayRules, FiguresAndOptionsAsEveryWriterShowsThem) {
    EXPECT_EQ(figure_text(2.0L / 3), "0.667");
    EXPECT_EQ(figure_text(-1.0L), "-1.000");
    EXPECT_EQ(figure_text(std::optional<long double>(0.25L), NONE_LABEL), "0.250");
    EXPECT_EQ(figure_text(std::nullopt, NONE_LABEL), "none");
    EXPECT_EQ(option_label('C'), "C");
    EXPECT_EQ(option_label(0), "none");
}

TEST(DisplayRules, OnlyFormsAToDHaveAnAmendOption) {
    for (char form = 'A'; form <= 'J'; ++form)
        EXPECT_EQ(has_amend_option(form), form <= 'D') << form;
    EXPECT_FALSE(has_amend_option('a'));
    EXPECT_FALSE(has_amend_option('?'));
}

// Misfit needs a mean square outside 0.7 to 1.3 and its own |Z| above 2;
// the bounds themselves fit, and a figure missing means no misfit.
TEST(DisplayRules, RaschMisfitNeedsTheMeanSquareAndItsZBeyondTheirBounds) {
    struct Case {
        std::optional<long double> infit, outfit, infit_z, outfit_z;
        bool misfit;
    };
    const Case cases[] = {
        {1.0L, 1.0L, 0.0L, 0.0L, false},
        {1.31L, 1.0L, 2.01L, 0.0L, true}, // infit high, its Z beyond 2
        {0.69L, 1.0L, -2.5L, 0.0L, true}, // infit low, its Z beyond -2
        {1.0L, 1.5L, 0.0L, 3.0L, true},   // outfit alone
        {1.31L, 1.0L, 2.0L, 0.0L, false}, // Z on its bound
        {1.3L, 0.7L, 5.0L, -5.0L, false}, // mean squares on their bounds
        {1.5L, 1.0L, 0.0L, 3.0L, false},  // infit out, but the Z beyond 2 is outfit's
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, false},
    };
    for (const Case& c : cases) {
        RaschItem item;
        item.infit = c.infit;
        item.outfit = c.outfit;
        item.infit_z = c.infit_z;
        item.outfit_z = c.outfit_z;
        EXPECT_EQ(rasch_misfit(item), c.misfit)
            << (c.infit ? static_cast<double>(*c.infit) : -1) << " "
            << (c.outfit ? static_cast<double>(*c.outfit) : -1);
    }
}

TEST(Scientific, FourDigitsAndASignedExponent) {
    const std::pair<double, const char*> cases[] = {
        {0.5, "5.000e-01"},
        {1.0, "1.000e+00"},
        {1.23456e-20, "1.235e-20"},
        {9.9996e-5, "1.000e-04"},
        {0.0, "0"},
        {2.5e-310, "2.500e-310"},
        {0.01, "1.000e-02"},
        {7.4596e-9, "7.460e-09"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(scientific(value), text) << value;
}

} // namespace
} // namespace quillmark
