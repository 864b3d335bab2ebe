#include "analyze/similarity.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "tools/cohort.h"

namespace quillmark {
namespace {

// The exact P(sum of w over successes >= observed), by listing every outcome.
double brute_weighted(const std::vector<double>& p, const std::vector<double>& w, double observed) {
    double tail = 0;
    for (unsigned mask = 0; mask < (1u << p.size()); ++mask) {
        double chance = 1, sum = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const bool hit = (mask >> i) & 1;
            chance *= hit ? p[i] : 1 - p[i];
            sum += hit ? w[i] : 0;
        }
        if (sum >= observed) tail += chance;
    }
    return tail;
}

double brute_run(const std::vector<double>& p, int length) {
    double tail = 0;
    for (unsigned mask = 0; mask < (1u << p.size()); ++mask) {
        double chance = 1;
        int run = 0, best = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const bool hit = (mask >> i) & 1;
            chance *= hit ? p[i] : 1 - p[i];
            run = hit ? run + 1 : 0;
            best = std::max(best, run);
        }
        if (best >= length) tail += chance;
    }
    return tail;
}

TEST(WeightedTail, SmallCasesWorkedByHand) {
    struct Case {
        std::vector<double> p, w;
        double observed, step, upper, lower;
    };
    // Three fair matches of weight 1, two seen: P(two or more) = 1/2. With
    // steps of 0.25 each weight rounds up to 5 steps (2 matches reach the 8
    // needed) and down to 3 (only 3 matches reach the 9 needed): 1/8.
    // Weights 2 and 1 with chances 0.2 and 0.5: W >= 2 needs the first
    // (0.2); W >= 2.95 needs both (0.1); rounded down (19 and 9 steps of
    // 0.1) only both reach 21 steps, and nothing reaches 30.
    const Case cases[] = {
        {{0.5, 0.5, 0.5}, {1, 1, 1}, 2.0, 0.25, 0.5, 0.125},
        {{0.2, 0.5}, {2, 1}, 2.0, 0.1, 0.2, 0.1},
        {{0.2, 0.5}, {2, 1}, 2.95, 0.1, 0.1, 0.0},
        {{0.2, 0.5}, {2, 1}, 0.0, 0.1, 1.0, 1.0},
    };
    std::vector<double> work;
    for (const Case& c : cases) {
        EXPECT_NEAR(weighted_tail_upper(c.p.data(), c.w.data(), c.p.size(), c.observed, c.step,
                                        work),
                    c.upper, 1e-15);
        EXPECT_NEAR(weighted_tail_lower(c.p.data(), c.w.data(), c.p.size(), c.observed, c.step,
                                        work),
                    c.lower, 1e-15);
    }
}

TEST(WeightedTail, BoundsTheEnumeratedTail) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> work;
    for (int trial = 0; trial < 400; ++trial) {
        const std::size_t n = 1 + random() % 10;
        std::vector<double> p(n), w(n);
        double observed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            p[i] = 0.01 + 0.98 * unit(random);
            w[i] = match_weight(p[i]);
            if (random() % 2) observed += w[i];
        }
        const double step =
            observed > 0 ? observed / (5 + static_cast<double>(random() % 200)) : 0.1;
        const double exact = brute_weighted(p, w, observed);
        const double upper = weighted_tail_upper(p.data(), w.data(), n, observed, step, work);
        const double lower = weighted_tail_lower(p.data(), w.data(), n, observed, step, work);
        EXPECT_LE(exact, upper * (1 + 1e-12)) << trial;
        EXPECT_LE(lower, exact * (1 + 1e-12)) << trial;
        // Rounding moves each weight by less than a step.
        EXPECT_LE(upper,
                  brute_weighted(p, w, observed - static_cast<double>(n) * step) * (1 + 1e-12))
            << trial;
        EXPECT_GE(lower,
                  brute_weighted(p, w, observed + static_cast<double>(n) * step) * (1 - 1e-12))
            << trial;
    }
}

TEST(RunTail, SmallCasesWorkedByHand) {
    struct Case {
        std::vector<double> p;
        int length;
        double tail;
    };
    // Three fair items: runs of 2 or more in 110, 011, 111 (3/8); a sure
    // first and last item make a run of 2 or 3 exactly when the middle one
    // matches.
    const Case cases[] = {
        {{0.5, 0.5, 0.5}, 0, 1.0},   {{0.5, 0.5, 0.5}, 1, 0.875}, {{0.5, 0.5, 0.5}, 2, 0.375},
        {{0.5, 0.5, 0.5}, 3, 0.125}, {{0.5, 0.5, 0.5}, 4, 0.0},   {{1, 0.5, 1}, 1, 1.0},
        {{1, 0.5, 1}, 2, 0.5},       {{1, 0.5, 1}, 3, 0.5},
    };
    std::vector<double> work;
    for (const Case& c : cases)
        EXPECT_NEAR(run_tail(c.p.data(), c.p.size(), c.length, work), c.tail, 1e-15) << c.length;
}

TEST(RunTail, EqualsTheEnumeratedTail) {
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> work;
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t n = 1 + random() % 12;
        std::vector<double> p(n);
        for (double& x : p) x = unit(random);
        const int length = static_cast<int>(random() % (n + 1));
        EXPECT_NEAR(run_tail(p.data(), n, length, work), brute_run(p, length), 1e-12) << trial;
    }
}

TEST(IdenticalAnswers, AgreesWithOneAtATime) {
    std::mt19937_64 random(3);
    for (std::size_t n = 1; n <= 140; ++n) {
        std::vector<unsigned char> x(n), y(n), units(n);
        std::int32_t expected = 0, longest = 0, current = 0;
        std::int64_t expected_sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = static_cast<unsigned char>(random() % 4 | (random() % 2 ? RIGHT_BIT : 0));
            // Mostly the same answer, so that long runs occur.
            y[i] = random() % 4 ? x[i] : static_cast<unsigned char>(random() % 4);
            units[i] = static_cast<unsigned char>(random() % 256);
            const bool same = (x[i] & OPTION_BITS) == (y[i] & OPTION_BITS);
            expected += same;
            expected_sum += same ? units[i] : 0;
            current = same ? current + 1 : 0;
            longest = std::max(longest, current);
        }
        std::int32_t matches = -1;
        std::int64_t sum = -1;
        std::vector<std::uint64_t> mask(3, ~std::uint64_t{0}), work;
        identical_answers(x.data(), y.data(), units.data(), n, matches, sum, mask.data());
        EXPECT_EQ(matches, expected) << n;
        EXPECT_EQ(sum, expected_sum) << n;
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ((mask[i / 64] >> (i % 64)) & 1,
                      (x[i] & OPTION_BITS) == (y[i] & OPTION_BITS) ? 1u : 0u)
                << n << " " << i;
        // A run of the longest length is found, one longer is not.
        EXPECT_TRUE(has_run(mask.data(), n, longest, work)) << n;
        EXPECT_FALSE(has_run(mask.data(), n, longest + 1, work)) << n;
    }
}

ResponseMatrix one_item(const std::vector<unsigned char>& cells) {
    ResponseMatrix matrix;
    matrix.sheets = static_cast<std::int32_t>(cells.size());
    matrix.items = 1;
    matrix.cells = ByteArray(cells);
    matrix.accepted = {1};
    return matrix;
}

TEST(ChoiceModel, SmoothsOverNeighbouringScores) {
    // One question, A the key: scores 0 (B, blank) and 1 (A, A). Every
    // score's window is 0..1 (h = 1, weights 2 at the score and 1 beside
    // it) plus ten pseudo-sheets of weight 2 spread by the shares A 1/2,
    // B 1/4, blank 1/4: at score 0 the total is 2*2 + 2 + 20 = 26, A has
    // 0*2 + 2 + 10, B and blank 1*2 + 0 + 5; at score 1, A has
    // 2*2 + 0 + 10, B and blank 0 + 1 + 5. So A is 12/26 at score 0 and
    // 14/26 at score 1 before the tilt; a one-question form aims both
    // scores at half a right answer: A becomes 1/2, and the wrong answers
    // share the other half as before (7:7 and 6:6).
    const unsigned char a = 0 | RIGHT_BIT, b = 1;
    const ResponseMatrix matrix = one_item({b, a, a, NO_MARK});
    const ChoiceModel model(matrix);
    EXPECT_FALSE(model.leaves_out());
    EXPECT_NEAR(model.chance(0, 0, 0), 0.5, 1e-15);
    EXPECT_NEAR(model.chance(0, 0, 1), 0.25, 1e-15);
    EXPECT_NEAR(model.chance(3, 0, NO_MARK), 0.25, 1e-15);
    EXPECT_NEAR(model.chance(1, 0, 0), 0.5, 1e-15);
    EXPECT_NEAR(model.chance(1, 0, 1), 0.25, 1e-15);
    EXPECT_EQ(model.chance(1, 0, 2), 0.0); // nobody gave C
}

TEST(ChoiceModel, LeavesTheCopierOutFromTwoHundredSheets) {
    // 100 right (A) and 100 wrong (B): at score 0 the total is
    // 2*100 + 100 + 20 = 320, B has 2*100 + 0 + 10, A 0 + 100 + 10. The
    // tilt aims score 0 at half a right answer: A's 110/320 becomes 1/2
    // (times 160/110), B's 210/320 the other half (times 160/210). A copier
    // of score 0 (who answered B) is left out with weight 2 before the
    // tilt: B (210 - 2) / 318 * 160 / 210, A 110 / 318 * 160 / 110.
    std::vector<unsigned char> cells(200, 1);
    for (std::size_t s = 0; s < 100; ++s) cells[s] = 0 | RIGHT_BIT;
    const ResponseMatrix matrix = one_item(cells);
    const ChoiceModel model(matrix);
    EXPECT_TRUE(model.leaves_out());
    EXPECT_NEAR(model.chance(150, 0, 1), 208.0 / 318 * 160 / 210, 1e-15);
    EXPECT_NEAR(model.chance(150, 0, 0), 160.0 / 318, 1e-15);
}

TEST(ChoiceModel, ExpectsAsManyRightAnswersAsTheScore) {
    // A copier's chances of the right answers add up to its score (half an
    // answer inside at 0 and full marks), however the window of neighbouring
    // scores leans: 150 sheets (none left out) of 30 questions, from weak
    // to strong students, and an easy form where many have full marks.
    for (const double ability : {0.0, 2.5}) {
        CohortSettings settings{150, 30, 4, 0, 0.02, 3, ability};
        const Cohort cohort = simulate_cohort(settings);
        const ResponseMatrix matrix = cohort_matrix(cohort);
        const ChoiceModel model(matrix);
        ASSERT_FALSE(model.leaves_out());
        for (std::int32_t score = 0; score <= 30; ++score) {
            double right = 0;
            for (std::int32_t i = 0; i < 30; ++i)
                right += model.chance_at(score, i, cohort.key[static_cast<std::size_t>(i)], false);
            const double expected = score == 0 ? 0.5 : score == 30 ? 29.5 : score;
            EXPECT_NEAR(right, expected, 1e-9) << ability << " " << score;
        }
    }
}

// Pruned and exhaustive screens of cohorts with planted copiers list the
// same pairs with the same p-values, and the pruning does prune.
TEST(Screen, PrunedAndExhaustiveListTheSamePairs) {
    struct Case {
        std::int32_t sheets, items, room_size;
        std::uint64_t seed;
        std::int32_t band_width;
    };
    // Answers in 16-byte steps (30), in 32-byte steps with a part step
    // (40, 100) and without (64), and beyond the 32-byte kernel (130);
    // copier scores bounded one by one and in bands.
    const Case cases[] = {{100, 30, 0, 1, 0}, {120, 30, 40, 2, 0}, {100, 40, 50, 3, 0},
                          {80, 40, 0, 4, 3},  {150, 100, 0, 5, 6}, {100, 64, 0, 6, 0},
                          {60, 130, 0, 7, 10}};
    for (const Case& c : cases) {
        CohortSettings settings{c.sheets, c.items, 4, c.room_size, 0.02, c.seed};
        Cohort cohort = simulate_cohort(settings);
        plant_copiers(cohort, c.sheets / 20, 0.5, true);
        plant_copiers(cohort, c.sheets / 20, 0.6, false);
        const ResponseMatrix matrix = cohort_matrix(cohort);
        ScreenSettings full;
        full.exploratory = true;
        full.threads = 2;
        full.prune = false;
        ScreenSettings by_pair = full; // each pair's own lower bounds
        by_pair.prune = true;
        ScreenSettings by_source = by_pair; // bounds per source first
        by_source.bound_family = 2;
        by_source.band_width = c.band_width;
        const ScreenResult b = screen_form(matrix, cohort.room, full);
        EXPECT_EQ(b.evaluated, b.ordered_pairs);
        ASSERT_GT(b.pairs.size(), 0u) << c.seed;
        for (const ScreenSettings& settings : {by_pair, by_source}) {
            const ScreenResult a = screen_form(matrix, cohort.room, settings);
            ASSERT_EQ(a.pairs.size(), b.pairs.size()) << c.seed;
            for (std::size_t i = 0; i < a.pairs.size(); ++i) {
                EXPECT_EQ(a.pairs[i].evidence.copier, b.pairs[i].evidence.copier);
                EXPECT_EQ(a.pairs[i].evidence.source, b.pairs[i].evidence.source);
                EXPECT_EQ(a.pairs[i].evidence.p, b.pairs[i].evidence.p);
                EXPECT_EQ(a.pairs[i].exploratory, b.pairs[i].exploratory);
            }
        }
        EXPECT_LT(screen_form(matrix, cohort.room, by_source).evaluated, b.ordered_pairs / 2)
            << c.seed;
    }
}

// A copier of half the answers, one run, in a clean room of 40: found, the
// run covering the copied questions; nobody else listed.
TEST(Screen, FindsAPlantedCopier) {
    CohortSettings settings{40, 60, 4, 0, 0.02, 11};
    Cohort cohort = simulate_cohort(settings);
    plant_copiers(cohort, 1, 0.5, true);
    const Copying& planted = cohort.copyings[0];
    const ResponseMatrix matrix = cohort_matrix(cohort);
    const ScreenResult result = screen_form(matrix, cohort.room, ScreenSettings{});
    ASSERT_FALSE(result.pairs.empty());
    for (const ScreenedPair& pair : result.pairs) {
        const PairEvidence& e = pair.evidence;
        EXPECT_TRUE((e.copier == planted.copier && e.source == planted.source) ||
                    (e.copier == planted.source && e.source == planted.copier));
        EXPECT_LE(e.run_first, planted.items.front());
        EXPECT_GE(e.run_last, planted.items.back());
        EXPECT_GE(e.matches, 30);
        EXPECT_LE(e.p * 40 * 39, FAMILY_ALPHA);
        EXPECT_DOUBLE_EQ(pair.adjusted, e.p * 40 * 39);
    }
}

} // namespace
} // namespace quillmark
