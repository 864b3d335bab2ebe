#include "stats/running_stats.h"

#include <cfloat>
#include <cmath>

namespace quillmark {

void stats_init(RunningStats& stats) {
    stats.count = 0;
    stats.rejected = 0;
    stats.lower_limit = -static_cast<long double>(DBL_MAX);
    stats.upper_limit = static_cast<long double>(DBL_MAX);
    stats.sum = 0;
    stats.sum_sq = 0;
    stats.max = 0;
    stats.min = 0;
    stats.std_dev = 0;
    stats.variance = 0;
    stats.mean = 0;
}

void stats_reset(RunningStats& stats) {
    stats.sum = 0;
    stats.sum_sq = 0;
    stats.count = 0;
    stats.rejected = 0;
}

void stats_set_limits(RunningStats& stats, long double lower, long double upper) {
    stats.lower_limit = lower;
    stats.upper_limit = upper;
}

void stats_add(RunningStats& stats, long double value) {
    bool window_on = !(stats.lower_limit == 0 && stats.upper_limit == 0);
    // Written so that a NaN is refused by an open window, like an infinity.
    if (window_on && (stats.lower_limit > value || !(value <= stats.upper_limit))) {
        count_up(stats.rejected);
        return;
    }
    stats.sum = stats.sum + value;
    stats.sum_sq = stats.sum_sq + value * value;
    if (stats.count == 0) {
        stats.min = value;
        stats.max = value;
    } else {
        if (value < stats.min) stats.min = value;
        if (!(value <= stats.max)) stats.max = value;
    }
    count_up(stats.count);
}

void stats_finish(RunningStats& stats, std::int32_t divisor) {
    // Widened: a negative count (a record filled from a negative length)
    // plus a very negative divisor must not overflow.
    std::int64_t d = divisor;
    if (d <= 0) d += stats.count;
    if (d <= 0) d = 1;
    if (stats.count <= 0) {
        stats.mean = 0;
        stats.variance = 0;
        stats.std_dev = 0;
        return;
    }
    stats.mean = stats.sum / stats.count;
    stats.variance = (stats.sum_sq - (stats.sum * stats.sum) / stats.count) / d;
    // The square root is the double-precision library one.
    stats.std_dev = stats.variance > 0
                        ? static_cast<long double>(std::sqrt(static_cast<double>(stats.variance)))
                        : 0;
}

namespace {
const char* const SUMMARY_LINE = "n=%d, avg dev [min, max]: %.4Lg  %.4Lg [%.4Lg, %.4Lg]\n";
} // namespace

int stats_print(std::FILE* stream, const RunningStats& stats) {
    return std::fprintf(stream, SUMMARY_LINE, stats.count, stats.mean, stats.std_dev, stats.min,
                        stats.max);
}

int stats_format(char* line, std::size_t size, const RunningStats& stats) {
    return std::snprintf(line, size, SUMMARY_LINE, stats.count, stats.mean, stats.std_dev,
                         stats.min, stats.max);
}

} // namespace quillmark
