#include "stats/random.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/env.h"
#include "stats/running_stats.h"

namespace quillmark {

std::uint64_t rng_state = RNG_SEED_CONSTANT;
std::uint64_t rng_draw_count = 0;
std::int32_t rng_clock_seed_pending = 1;

const std::uint64_t factorial_table_u64[21] = {
    1u,
    1u,
    2u,
    6u,
    24u,
    120u,
    720u,
    5040u,
    40320u,
    362880u,
    3628800u,
    39916800u,
    479001600u,
    6227020800u,
    87178291200u,
    1307674368000u,
    20922789888000u,
    355687428096000u,
    6402373705728000u,
    121645100408832000u,
    2432902008176640000u,
};

const long double factorial_table[21] = {
    1.0L,
    1.0L,
    2.0L,
    6.0L,
    24.0L,
    120.0L,
    720.0L,
    5040.0L,
    40320.0L,
    362880.0L,
    3628800.0L,
    39916800.0L,
    479001600.0L,
    6227020800.0L,
    87178291200.0L,
    1307674368000.0L,
    20922789888000.0L,
    355687428096000.0L,
    6402373705728000.0L,
    121645100408832000.0L,
    2432902008176640000.0L,
};

namespace {

double double_from_bits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// (2^53 - 1) * 2^-117, the largest double below 2^-64: turns a 64-bit
// output word into [0, 1).
double uniform_scale() { return double_from_bits(0x3BEFFFFFFFFFFFFFu); }

// 2 pi as a double, for the Gaussian angle.
double two_pi() { return double_from_bits(0x401921FB54442D18u); }

// 2 pi in extended precision, for the large-n binomial probability.
constexpr long double TWO_PI_EXTENDED = 6.283185307179586476925286766559005768L;

// log(x!) - log(sqrt(2 pi x) (x/e)^x) for a whole x >= 1: from the
// factorial table up to 20, beyond it from the asymptotic series, whose
// first omitted term is below 1e-21 there.
long double stirling_error(long double x) {
    if (x <= 20) {
        const long double log_factorial = std::log(factorial_table[static_cast<int>(x)]);
        return log_factorial - 0.5L * std::log(TWO_PI_EXTENDED * x) - x * std::log(x) + x;
    }
    constexpr long double s0 = 1.0L / 12, s1 = 1.0L / 360, s2 = 1.0L / 1260, s3 = 1.0L / 1680,
                          s4 = 1.0L / 1188, s5 = 691.0L / 360360, s6 = 1.0L / 156;
    const long double xx = x * x;
    return (s0 - (s1 - (s2 - (s3 - (s4 - (s5 - s6 / xx) / xx) / xx) / xx) / xx) / xx) / x;
}

// x log(x / mean) + mean - x for x, mean > 0, without the cancellation of
// that formula when x is near the mean.
long double deviance(long double x, long double mean) {
    const long double diff = x - mean;
    if (std::fabs(diff) < 0.1L * (x + mean)) {
        // With v = diff / (x + mean): diff*v + 2x (v^3/3 + v^5/5 + ...);
        // |v| < 0.1, so a few dozen terms always settle it.
        long double v = diff / (x + mean);
        long double sum = diff * v;
        long double term = 2 * x * v;
        v = v * v;
        for (int j = 1; j < 64; ++j) {
            term = term * v;
            const long double next = sum + term / (2 * j + 1);
            if (next == sum) break;
            sum = next;
        }
        return sum;
    }
    return x * std::log(x / mean) + mean - x;
}

// (n choose k) p^k (1-p)^(n-k) for n above 20 and 0 <= k <= n, in
// extended precision through the saddle-point form
//   exp(stirling terms - deviance(k, np) - deviance(n-k, nq)) / sqrt(2 pi k (n-k) / n),
// which has no large cancelling terms, so the relative error stays far
// below 1e-12 for every n a 32-bit length allows.
long double binomial_probability_large(long double p, std::int32_t n, std::int32_t k) {
    if (!(p >= 0 && p <= 1)) return std::numeric_limits<long double>::quiet_NaN();
    if (p == 0) return k == 0 ? 1 : 0;
    if (p == 1) return k == n ? 1 : 0;
    const long double q = 1 - p;
    const long double count = n;
    const long double x = k;
    if (k == 0) return std::exp(count * std::log1p(-p));
    if (k == n) return std::exp(count * std::log(p));
    const long double exponent = stirling_error(count) - stirling_error(x) -
                                 stirling_error(count - x) - deviance(x, count * p) -
                                 deviance(count - x, count * q);
    return std::exp(exponent) * std::sqrt(count / (TWO_PI_EXTENDED * x * (count - x)));
}

} // namespace

std::uint64_t rng_step(std::uint64_t word) {
    word ^= word >> 21;
    word ^= word << 35;
    word ^= word >> 4;
    return word;
}

std::uint64_t rng_load(std::uint64_t word) {
    rng_state = rng_step(word);
    // A zero state would stay zero for ever; restart the initial sequence.
    if (rng_state == 0) rng_state = RNG_SEED_CONSTANT;
    return rng_state;
}

void rng_seed(std::uint64_t seed) { rng_load(seed ^ RNG_SEED_CONSTANT); }

std::uint64_t rng_seed_from_clock() {
    if (rng_clock_seed_pending == 0) return 0;
    const std::uint64_t now = system_file_time();
    rng_seed(now);
    rng_clock_seed_pending = 0;
    return now;
}

long double rng_uniform() {
    rng_state = rng_step(rng_state);
    ++rng_draw_count;
    const std::uint64_t output = rng_state * RNG_MULTIPLIER;
    return static_cast<long double>(output) * static_cast<long double>(uniform_scale());
}

std::int32_t binomial_coefficient_table(std::int32_t n, std::int32_t k) {
    if (n < 0 || n > 20 || k < 0 || k > 20 || k > n) return 0;
    // The quotient of these factorials is exact in extended precision.
    const long double quotient = factorial_table[n] / (factorial_table[k] * factorial_table[n - k]);
    return static_cast<std::int32_t>(quotient + 0.5L);
}

std::uint64_t binomial_coefficient(std::int32_t n, std::int32_t k) {
    if (n < 0 || k < 0 || k > n) return 0;
    if (n <= 20)
        return factorial_table_u64[n] / (factorial_table_u64[k] * factorial_table_u64[n - k]);
    if (n / 2 < k) k = n - k;
    if (k == 0) return 1;
    // After step i, value = (n-k+i choose i), which grows with i; the
    // product before the division needs at most 64 + 31 bits.
    const std::uint64_t base = static_cast<std::uint64_t>(n - k);
    unsigned __int128 value = base + 1;
    for (std::int32_t i = 2; i <= k; ++i) {
        value = value * (base + static_cast<std::uint64_t>(i)) / static_cast<std::uint64_t>(i);
        if (value > std::numeric_limits<std::uint64_t>::max()) return 0;
    }
    return static_cast<std::uint64_t>(value);
}

long double binomial_probability(long double p, std::int32_t n, std::int32_t k) {
    if (k < 0 || k > n) return 0;
    if (n > 20) return binomial_probability_large(p, n, k);
    const double a = std::pow(static_cast<double>(p), k);
    const double b =
        static_cast<double>(binomial_coefficient_table(n, k) * static_cast<long double>(a));
    const double c = std::pow(static_cast<double>(1 - p), n - k);
    return static_cast<long double>(c) * static_cast<long double>(b);
}

long double poisson_probability(long double mean, std::int32_t k) {
    if (k < 0) return 0;
    if (!(mean > 0)) return k == 0 ? 1 : 0;
    long double factorial = factorial_table[k <= 20 ? k : 20];
    // Past about 1754! the factorial is infinite and stays so.
    for (std::int32_t i = 21; i <= k && !std::isinf(factorial); ++i) factorial = factorial * i;
    const double m = static_cast<double>(mean);
    const double e = std::exp(-m);
    return static_cast<long double>(std::pow(m, k)) * static_cast<long double>(e) / factorial;
}

std::int32_t poisson_deviate(double mean) {
    double u = static_cast<double>(rng_uniform());
    std::int32_t k = 0;
    for (;;) {
        u = static_cast<double>(u - poisson_probability(mean, k));
        if (u <= 0) return k;
        ++k;
        if (k > POISSON_MAX_K) return k;
    }
}

long double gaussian_deviate() {
    const long double angle = rng_uniform() * static_cast<long double>(two_pi());
    const double u2 = static_cast<double>(rng_uniform());
    const double r = std::sqrt(static_cast<double>(-2 * static_cast<long double>(std::log(u2))));
    return static_cast<long double>(std::cos(static_cast<double>(angle))) *
           static_cast<long double>(r);
}

void rng_self_test() {
    for (int i = 1; i <= 9; ++i) {
        const long double x = i * 0.1L;
        RunningStats stats;
        stats_init(stats);
        for (int draw = 0; draw < 10000; ++draw) stats_add(stats, rng_uniform());
        stats_finish(stats, -1);
        std::printf("%d %Lg %Lg ", i, x, stats.variance);
        stats_print(stdout, stats);
    }
}

} // namespace quillmark
