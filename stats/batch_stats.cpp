#include "stats/batch_stats.h"

#include <cstdint>

namespace quillmark {

long double array_sum(const long double* values, std::int32_t n) {
    long double sum = 0;
    if (n <= 0) return sum; // also keeps n - 1 from overflowing
    for (std::int32_t i = n - 1; i >= 0; --i) sum = values[i] + sum;
    return sum;
}

std::int32_t int_array_sum(const std::int32_t* values, std::int32_t n) {
    // Unsigned arithmetic wraps without undefined behaviour.
    std::uint32_t sum = 0;
    if (n <= 0) return 0;
    for (std::int32_t i = n - 1; i >= 0; --i) sum = static_cast<std::uint32_t>(values[i]) + sum;
    // Back to two's complement: the compiler converts modulo 2^32.
    return static_cast<std::int32_t>(sum);
}

long double dot_product(const long double* a, const long double* b, std::int32_t n) {
    long double sum = 0;
    if (n <= 0) return sum;
    for (std::int32_t i = n - 1; i >= 0; --i) sum = a[i] * b[i] + sum;
    return sum;
}

std::int32_t convolve(const long double* a, std::int32_t na, const long double* b, std::int32_t nb,
                      long double* out) {
    if (na < 1 || nb < 1) return 0;
    // The longer input runs along j; on equal lengths the order stays.
    const long double* longer = a;
    const long double* shorter = b;
    std::int64_t long_len = na;
    std::int64_t short_len = nb;
    if (nb > na) {
        longer = b;
        shorter = a;
        long_len = nb;
        short_len = na;
    }
    const std::int64_t total = long_len + short_len - 1;
    if (total > INT32_MAX) return 0;
    // One sum per output over the j where both factors exist, j ascending:
    // from max(0, k-S+1) to min(k, L-1). This covers the rising, full and
    // falling stretches of the convolution alike.
    for (std::int64_t k = 0; k < total; ++k) {
        const std::int64_t first = k - short_len + 1 > 0 ? k - short_len + 1 : 0;
        const std::int64_t last = k < long_len - 1 ? k : long_len - 1;
        long double sum = 0;
        for (std::int64_t j = first; j <= last; ++j) sum = sum + longer[j] * shorter[k - j];
        out[k] = sum;
    }
    return static_cast<std::int32_t>(total);
}

void linear_fit(const long double* x, const long double* y, std::int32_t n, long double& intercept,
                long double& slope) {
    if (n <= 0) {
        intercept = 0;
        slope = 0;
        return;
    }
    long double sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        sx = sx + x[i];
        sxx = sxx + x[i] * x[i];
        sy = sy + y[i];
        sxy = sxy + x[i] * y[i];
    }
    const long double count = n;
    const long double det = count * sxx - sx * sx;
    slope = det == 0 ? 0 : (count * sxy - sx * sy) / det;
    intercept = (sy - slope * sx) / count;
}

void subtract_fit(const long double* x, long double* y, std::int32_t n, long double intercept,
                  long double slope) {
    for (std::int32_t i = 0; i < n; ++i) y[i] = (y[i] - slope * x[i]) - intercept;
}

void stats_from_array(RunningStats& stats, const long double* values, std::int32_t n,
                      std::int32_t divisor) {
    stats.count = n;
    if (n < 1) {
        stats.sum = 0;
        stats.sum_sq = 0;
        stats.min = 0;
        stats.max = 0;
        stats.mean = 0;
        stats.variance = 0;
        stats.std_dev = 0;
        return;
    }
    long double sum = 0, sum_sq = 0;
    long double low = values[0], high = values[0];
    for (std::int32_t i = 0; i < n; ++i) {
        const long double v = values[i];
        sum = v + sum;
        sum_sq = v * v + sum_sq;
        if (v < low) low = v;
        if (!(v <= high)) high = v;
    }
    stats.sum = sum;
    stats.sum_sq = sum_sq;
    stats.min = low;
    stats.max = high;
    // With count >= 1 the divisor rule and the derived fields are exactly
    // those of a record finished from the same sums.
    stats_finish(stats, divisor);
}

} // namespace quillmark
