// Random numbers and distributions: a 64-bit xorshift generator (shifts 21,
// 35, 4) whose output word, multiplied by a 64-bit constant, is scaled into
// [0, 1) in 80-bit extended precision; its seeding; exact and table-driven
// binomial coefficients; binomial and Poisson probabilities; Poisson and
// Gaussian deviates; and a self-test that prints the output's statistics.
// The generator is one process-wide state used from a single thread.
#pragma once

#include <cstdint>

namespace quillmark {

// XORed into every seed; also the generator's initial state.
constexpr std::uint64_t RNG_SEED_CONSTANT = 0x38ECAC5FB3251641u; // 4101842887655102017
// Multiplies the state into the output word.
constexpr std::uint64_t RNG_MULTIPLIER = 0x2545F4914F6CDD1Du; // 2685821657736338717
// The largest count that poisson_deviate tests; one more stands for "above".
constexpr std::int32_t POISSON_MAX_K = 200;

// The generator's state word; starts as RNG_SEED_CONSTANT.
extern std::uint64_t rng_state;
// Uniform draws made so far, wrapping modulo 2^64.
extern std::uint64_t rng_draw_count;
// Non-zero until rng_seed_from_clock has seeded the generator.
extern std::int32_t rng_clock_seed_pending;

// 0! to 20!, exact, as extended values and as unsigned 64-bit integers.
extern const long double factorial_table[21];
extern const std::uint64_t factorial_table_u64[21];

// The word after one xorshift step; maps 0 to 0 and non-zero to non-zero.
std::uint64_t rng_step(std::uint64_t word);

// Makes rng_step(word) the state and yields it. A word that would leave the
// state at 0 (only 0 itself) sets it to RNG_SEED_CONSTANT instead.
std::uint64_t rng_load(std::uint64_t word);

// Seeds the generator: the state becomes rng_load(seed ^ RNG_SEED_CONSTANT),
// so the seed RNG_SEED_CONSTANT restarts the initial sequence. Leaves the
// draw count and the clock flag alone.
void rng_seed(std::uint64_t seed);

// The first call seeds from the system clock (100-ns intervals since
// 1 January 1601, UTC) and yields that clock value; later calls change
// nothing and yield 0.
std::uint64_t rng_seed_from_clock();

// Steps the generator and yields a uniform value u with 0 <= u < 1.
long double rng_uniform();

// (n choose k) from the extended factorial table for 0 <= k <= n <= 20,
// else 0.
std::int32_t binomial_coefficient_table(std::int32_t n, std::int32_t k);

// (n choose k) exactly when it fits in 64 bits; 0 when it does not, or when
// k is outside 0..n.
std::uint64_t binomial_coefficient(std::int32_t n, std::int32_t k);

// (n choose k) p^k (1-p)^(n-k); 0 for k outside 0..n. For n <= 20 it is
// formed from the coefficient table in double-precision powers; above 20 it
// is accurate to 1e-12 relative for p in [0, 1] (NaN for other p).
long double binomial_probability(long double p, std::int32_t n, std::int32_t k);

// mean^k e^-mean / k!; a mean not above 0 gives 1 for k = 0 and 0 for
// other k. A negative k gives 0. The power and the exponential are the
// double-precision ones: where mean^k overflows a double while e^-mean
// underflows, the result is NaN.
long double poisson_probability(long double mean, std::int32_t k);

// A Poisson count for the mean by inversion of one uniform draw: 0 to 200,
// or 201 for any count above 200.
std::int32_t poisson_deviate(double mean);

// A standard normal deviate from two uniform draws (Box-Muller, cosine
// branch only).
long double gaussian_deviate();

// Prints nine lines to standard output, each the statistics of 10000
// uniforms from the current state: pass number, its tenth, the sample
// variance, then the record's summary line.
void rng_self_test();

} // namespace quillmark
