#include "stats/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/env.h"

namespace quillmark {
namespace {

// The module state as the process started, taken before any test runs.
const std::uint64_t initial_state = rng_state;
const std::uint64_t initial_draws = rng_draw_count;
const std::int32_t initial_pending = rng_clock_seed_pending;

// Puts the generator back where a fresh process starts.
void restart() { rng_state = RNG_SEED_CONSTANT; }

void expect_relative(long double actual, long double expected, long double tolerance) {
    EXPECT_LE(std::fabs(actual - expected), tolerance * std::fabs(expected))
        << "actual " << static_cast<double>(actual) << " expected "
        << static_cast<double>(expected);
}

TEST(Generator, StartsFromTheSeedConstant) {
    EXPECT_EQ(initial_state, 4101842887655102017u);
    EXPECT_EQ(initial_draws, 0u);
    EXPECT_NE(initial_pending, 0);
    EXPECT_EQ(RNG_MULTIPLIER, 2685821657736338717u);
    EXPECT_EQ(factorial_table_u64[20], 2432902008176640000u);
    EXPECT_EQ(factorial_table[20], 2432902008176640000.0L);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(factorial_table_u64[i],
                  factorial_table_u64[i - 1] * static_cast<std::uint64_t>(i));
        EXPECT_EQ(factorial_table[i], static_cast<long double>(factorial_table_u64[i]));
    }
}

// The next uniform, to ten places.
std::string next_uniform_text() {
    char text[64];
    std::snprintf(text, sizeof text, "%.10Lf", rng_uniform());
    return text;
}

TEST(Generator, FirstUniformsOfAFreshGenerator) {
    restart();
    EXPECT_EQ(next_uniform_text(), "0.6362133257");
    EXPECT_EQ(rng_state, 0x827ECC6D5B239565u);
    EXPECT_EQ(next_uniform_text(), "0.3847481350");
    EXPECT_EQ(next_uniform_text(), "0.3991692921");
}

TEST(Generator, LargestUniformIsJustBelowOne) {
    // This state steps to the word whose product with the multiplier is
    // 2^64 - 1 (worked out with the inverse step and the inverse multiplier).
    rng_state = 0xC5ABCE95F346BC6Eu;
    EXPECT_EQ(rng_uniform(), 1.0L - 0x1p-53L - 0x1p-64L);
}

TEST(Seeding, SeedZeroSkipsOneDraw) {
    const std::uint64_t draws = rng_draw_count;
    rng_seed(0);
    EXPECT_EQ(rng_state, 0x827ECC6D5B239565u);
    EXPECT_EQ(rng_draw_count, draws);
    EXPECT_EQ(next_uniform_text(), "0.3847481350");
}

TEST(Seeding, NoSeedLeavesTheStateAtZero) {
    rng_seed(RNG_SEED_CONSTANT);
    EXPECT_EQ(rng_state, RNG_SEED_CONSTANT);
    EXPECT_EQ(next_uniform_text(), "0.6362133257");
    EXPECT_EQ(rng_step(0), 0u); // the step itself keeps 0
    EXPECT_EQ(rng_load(0), RNG_SEED_CONSTANT);
    EXPECT_EQ(rng_state, RNG_SEED_CONSTANT);
    EXPECT_EQ(rng_load(RNG_SEED_CONSTANT), 0x827ECC6D5B239565u);
    EXPECT_EQ(rng_state, 0x827ECC6D5B239565u);
}

TEST(Seeding, ClockSeedsOnce) {
    ASSERT_NE(rng_clock_seed_pending, 0);
    rng_seed(12345);
    EXPECT_NE(rng_clock_seed_pending, 0); // an explicit seed keeps it pending
    const std::uint64_t before = system_file_time();
    const std::uint64_t seed = rng_seed_from_clock();
    const std::uint64_t after = system_file_time();
    EXPECT_LE(before, seed);
    EXPECT_LE(seed, after);
    EXPECT_GT(seed, 116444736000000000u); // later than 1970
    EXPECT_EQ(rng_clock_seed_pending, 0);
    EXPECT_EQ(rng_state, rng_step(seed ^ RNG_SEED_CONSTANT));
    const std::uint64_t state = rng_state;
    EXPECT_EQ(rng_seed_from_clock(), 0u);
    EXPECT_EQ(rng_state, state);
}

TEST(Deviates, DrawCounts) {
    restart();
    const std::uint64_t start = rng_draw_count;
    rng_uniform();
    EXPECT_EQ(rng_draw_count, start + 1);
    gaussian_deviate();
    EXPECT_EQ(rng_draw_count, start + 3);
    poisson_deviate(3.0);
    EXPECT_EQ(rng_draw_count, start + 4);
    poisson_deviate(1000.0); // runs the whole search
    EXPECT_EQ(rng_draw_count, start + 5);
}

TEST(Deviates, PoissonByInversion) {
    // Fresh uniforms 0.636, 0.385, 0.399 against the cumulative
    // probabilities e^-2 (1, 3, 5) = 0.135, 0.406, 0.677: counts 2, 1, 1.
    restart();
    EXPECT_EQ(poisson_deviate(2.0), 2);
    EXPECT_EQ(poisson_deviate(2.0), 1);
    EXPECT_EQ(poisson_deviate(2.0), 1);
    // With mean 0.5 the first step is e^-0.5 = 0.607: counts 1, 0, 0.
    restart();
    EXPECT_EQ(poisson_deviate(0.5), 1);
    EXPECT_EQ(poisson_deviate(0.5), 0);
    EXPECT_EQ(poisson_deviate(0.5), 0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(poisson_deviate(0.0), 0);
    // For this mean e^-1000 is 0 in double precision and from k = 103 on
    // 1000^k overflows, so no probability (0, then NaN) takes u below 0:
    // "above 200".
    EXPECT_EQ(poisson_deviate(1000.0), POISSON_MAX_K + 1);
}

TEST(Deviates, PoissonAndGaussianMoments) {
    // 20000 draws: the standard error of the Poisson mean is sqrt(3/20000)
    // = 0.012 and of the normal mean 0.007; the tolerances are ~6 of them.
    rng_seed(99);
    double sum = 0;
    for (int i = 0; i < 20000; ++i) sum += poisson_deviate(3.0);
    EXPECT_NEAR(sum / 20000, 3.0, 0.075);
    long double gsum = 0, gsq = 0;
    for (int i = 0; i < 20000; ++i) {
        const long double g = gaussian_deviate();
        gsum += g;
        gsq += g * g;
    }
    EXPECT_NEAR(static_cast<double>(gsum / 20000), 0.0, 0.045);
    EXPECT_NEAR(static_cast<double>(gsq / 20000), 1.0, 0.06);
}

TEST(Deviates, FirstGaussianOfAFreshGenerator) {
    // cos(0.6362133257 * 2 pi) * sqrt(-2 log 0.3847481350), from the exact
    // uniforms.
    restart();
    EXPECT_NEAR(static_cast<double>(gaussian_deviate()), -0.90610046950846157, 1e-15);
}

// n, k and the binomial coefficient n over k.
struct Coefficient {
    std::int32_t n, k;
    std::uint64_t value;
};

TEST(Binomial, CoefficientTable) {
    const Coefficient cases[] = {{20, 10, 184756}, {0, 0, 1},  {7, 3, 35}, {21, 1, 0},
                                 {5, 6, 0},        {-1, 0, 0}, {5, -1, 0}};
    for (const Coefficient& c : cases)
        EXPECT_EQ(binomial_coefficient_table(c.n, c.k), static_cast<std::int64_t>(c.value))
            << c.n << " over " << c.k;
}

TEST(Binomial, ExactCoefficients) {
    const Coefficient cases[] = {{20, 10, 184756u},
                                 {21, 0, 1u},
                                 {21, 21, 1u},
                                 {21, 1, 21u},
                                 {21, 20, 21u},
                                 {62, 31, 465428353255261088u},
                                 {63, 31, 916312070471295267u},
                                 {63, 32, 916312070471295267u},
                                 {67, 33, 14226520737620288370u},
                                 {68, 34, 0u},
                                 {2147483647, 1, 2147483647u},
                                 {2147483647, 2147483646, 2147483647u},
                                 {2147483647, 1000, 0u},
                                 {5, 6, 0u},
                                 {-1, 0, 0u},
                                 {5, -1, 0u}};
    for (const Coefficient& c : cases)
        EXPECT_EQ(binomial_coefficient(c.n, c.k), c.value) << c.n << " over " << c.k;
}

TEST(Binomial, SmallNFromTheTable) {
    EXPECT_EQ(binomial_probability(0.5L, 2, 1), 0.5L);
    EXPECT_EQ(binomial_probability(0.5L, 20, 10), 184756.0L / 1048576.0L);
    EXPECT_EQ(binomial_probability(0.25L, 4, 2), 54.0L / 256.0L);
    // p is rounded to double for its power: this is 0.1 as a double.
    EXPECT_EQ(binomial_probability(0.1L, 1, 1), static_cast<long double>(0.1));
    // p = 1/3 in extended: 2 * (1/3 as a double) times (1 - p, formed in
    // extended and rounded to double), the product kept in extended.
    const long double third = 1.0L / 3.0L;
    EXPECT_EQ(binomial_probability(third, 2, 1), std::ldexp(8198552921648688697.0L, -64));
    // 3 * (1/3 as a double) rounds to exactly 1 as a double.
    EXPECT_EQ(binomial_probability(third, 3, 1), std::ldexp(2001599834386887.0L, -52));
    for (long double p : {0.0L, 0.3L, 1.0L}) {
        EXPECT_EQ(binomial_probability(p, 5, 6), 0.0L);
        EXPECT_EQ(binomial_probability(p, 5, -1), 0.0L);
        EXPECT_EQ(binomial_probability(p, -1, 0), 0.0L);
    }
    EXPECT_EQ(binomial_probability(0.0L, 5, 0), 1.0L);
    EXPECT_EQ(binomial_probability(1.0L, 5, 5), 1.0L);
}

TEST(Binomial, LargeNIsTheRealProbability) {
    // References from exact rational arithmetic.
    const long double tol = 1e-12L;
    expect_relative(binomial_probability(0.5L, 21, 3), 6.34193420410156250000e-04L, tol);
    expect_relative(binomial_probability(0.25L, 100, 30), 4.57538076104867241778e-02L, tol);
    expect_relative(binomial_probability(0.5L, 1000, 500), 2.52250181783608001806e-02L, tol);
    expect_relative(binomial_probability(0.125L, 10000, 1300), 3.83153508682136352895e-03L, tol);
    expect_relative(binomial_probability(1 - 0x1p-10L, 50, 49), 4.65455561927481387130e-02L, tol);
    expect_relative(binomial_probability(0.1L, 30, 3), 2.36087932232342645467e-01L, tol);
    expect_relative(binomial_probability(0.5L, 21, 0), 4.76837158203125e-07L, tol);
    expect_relative(binomial_probability(0.75L, 40, 40), 1.00565851616374967418e-05L, tol);
    EXPECT_EQ(binomial_probability(0.0L, 30, 0), 1.0L);
    EXPECT_EQ(binomial_probability(0.0L, 30, 1), 0.0L);
    EXPECT_EQ(binomial_probability(1.0L, 30, 30), 1.0L);
    EXPECT_EQ(binomial_probability(1.0L, 30, 29), 0.0L);
    EXPECT_EQ(binomial_probability(0.5L, 30, 31), 0.0L);
    EXPECT_EQ(binomial_probability(0.5L, 30, -1), 0.0L);
}

TEST(Binomial, LargeNKeepsItsAccuracyForHugeN) {
    // Neighbouring probabilities stand in the exact ratio
    // (n-k)/(k+1) * p/(1-p), and the probabilities near the mean sum to 1.
    const std::int32_t n = 1000000000;
    const long double p = 0.3L;
    const std::int32_t centre = 300000000;
    for (std::int32_t k : {centre - 50000, centre - 1, centre, centre + 7, centre + 60000}) {
        const long double ratio = binomial_probability(p, n, k + 1) / binomial_probability(p, n, k);
        expect_relative(ratio, static_cast<long double>(n - k) / (k + 1) * (p / (1 - p)), 2e-12L);
    }
    // Standard deviation sqrt(n p (1-p)) = 14491; +-12 of them hold all
    // but about 1e-32 of the mass.
    long double total = 0;
    for (std::int32_t k = centre - 174000; k <= centre + 174000; ++k)
        total += binomial_probability(p, n, k);
    EXPECT_NEAR(static_cast<double>(total), 1.0, 1e-11);
}

TEST(Poisson, Probabilities) {
    EXPECT_EQ(poisson_probability(0, 0), 1.0L);
    EXPECT_EQ(poisson_probability(0, 1), 0.0L);
    EXPECT_EQ(poisson_probability(-2, 0), 1.0L);
    EXPECT_EQ(poisson_probability(1, -1), 0.0L);
    EXPECT_NEAR(static_cast<double>(poisson_probability(1, 0)), 0.3678794412, 1e-10);
    EXPECT_EQ(poisson_probability(1, 0), static_cast<long double>(std::exp(-1.0)));
    // 2^25 e^-2 / 25! (e^-2 the double), with 20! extended by 21 to 25,
    // worked out with each extended step rounded to 64 bits.
    expect_relative(poisson_probability(2, 25), 2.927623664354991540613361e-19L, 1e-18L);
    // Far past the factorials that extended precision can hold.
    EXPECT_EQ(poisson_probability(1, 2147483647), 0.0L);
}

TEST(SelfTest, NineLinesOfStatistics) {
    restart();
    testing::internal::CaptureStdout();
    rng_self_test();
    std::fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();
    // First pass from a fresh generator, worked out with exact arithmetic
    // rounded to the 64-bit significand at every step.
    const std::string first =
        "1 0.1 0.0837027 n=10000, avg dev [min, max]: 0.5021  0.2893 [0.0001716, 0.9999]\n";
    ASSERT_GE(out.size(), first.size());
    EXPECT_EQ(out.substr(0, first.size()), first);
    std::size_t pos = 0;
    int lines = 0;
    while (pos < out.size()) {
        const std::size_t end = out.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        ++lines;
        int pass = 0, count = 0, used = 0;
        double tenth = 0, variance = 0, mean = 0, sd = 0, low = 0, high = 0;
        ASSERT_EQ(std::sscanf(line.c_str(),
                              "%d %lf %lf n=%d, avg dev [min, max]: %lf  %lf [%lf, %lf]%n", &pass,
                              &tenth, &variance, &count, &mean, &sd, &low, &high, &used),
                  8)
            << line;
        EXPECT_EQ(static_cast<std::size_t>(used), line.size()) << line;
        EXPECT_EQ(pass, lines);
        EXPECT_NEAR(tenth, lines * 0.1, 1e-12);
        EXPECT_EQ(count, 10000);
        // Sample statistics of 10000 uniforms: 1/12 +- 0.003, 0.5 +- 0.015.
        EXPECT_NEAR(variance, 1.0 / 12, 0.003);
        EXPECT_NEAR(sd, 0.2887, 0.006);
        EXPECT_NEAR(mean, 0.5, 0.015);
        EXPECT_GE(low, 0.0);
        EXPECT_LE(high, 1.0); // 0.99996 prints as 1
    }
    EXPECT_EQ(lines, 9);
}

} // namespace
} // namespace quillmark
