// Uses one facility of each part of the installed toolkit and checks the
// results, which are worked out by hand in the comments.
#include <cstdio>

#include <quillmark/numerics/array_utils.h>
#include <quillmark/stats/random.h>
#include <quillmark/stats/running_stats.h>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("wrong: %s\n", what);
        ++failures;
    }
}

} // namespace

int main() {
    using namespace quillmark;

    // 2, 4, 4, 4, 5, 5, 7, 9: sum 40, mean 5; squared deviations 9+1+1+1+0+0+4+16
    // = 32, population variance 32/8 = 4, standard deviation 2.
    RunningStats stats;
    stats_init(stats);
    const long double values[] = {2.0L, 4.0L, 4.0L, 4.0L, 5.0L, 5.0L, 7.0L, 9.0L};
    for (long double v : values) stats_add(stats, v);
    stats_finish(stats, 0);
    check(stats.count == 8 && stats.mean == 5.0L && stats.std_dev == 2.0L, "running statistics");
    check(stats.min == 2.0L && stats.max == 9.0L, "minimum and maximum");

    // 1 + 2x + 3x^2 at x = 2: 1 + 4 + 12 = 17.
    const long double coefficients[] = {1.0L, 2.0L, 3.0L};
    check(poly_eval(2.0L, coefficients, 3) == 17.0L, "polynomial");

    // 20 choose 10 = 184756. Seeding from the clock needs the platform layer.
    check(binomial_coefficient_table(20, 10) == 184756, "binomial coefficient");
    check(rng_seed_from_clock() != 0, "clock seed");
    long double u = rng_uniform();
    check(u >= 0.0L && u < 1.0L, "uniform draw");

    std::printf("n=%d mean %.1Lf sd %.1Lf: %s\n", stats.count, stats.mean, stats.std_dev,
                failures == 0 ? "toolkit works" : "toolkit FAILED");
    return failures == 0 ? 0 : 1;
}
