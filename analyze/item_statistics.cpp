#include "analyze/item_statistics.h"

#include <cmath>

#include "numerics/array_utils.h"
#include "stats/batch_stats.h"
#include "stats/running_stats.h"

namespace quillmark {

const char* const FLAG_NO_VARIANCE = "no variance";
const char* const FLAG_NEGATIVE = "negative discrimination";
const char* const FLAG_TOO_EASY = "too easy";
const char* const FLAG_TOO_HARD = "too hard";

namespace {

bool is_correct(const ScoreMatrix& matrix, std::int32_t sheet, std::int32_t item) {
    return matrix.correct[static_cast<std::size_t>(sheet) * matrix.items + item] != 0;
}

// The k largest of `keys` with their sheet indices, largest first. The keys
// are distinct, so the selection leaves no choice among equals.
void select_largest(std::vector<std::int32_t> keys, std::int32_t k,
                    std::vector<std::int32_t>& chosen) {
    const auto n = static_cast<std::int32_t>(keys.size());
    std::vector<std::int32_t> tags(keys.size());
    for (std::int32_t i = 0; i < n; ++i) tags[i] = i;
    select_top_tagged(keys.data(), tags.data(), n, k);
    chosen.assign(tags.begin(), tags.begin() + k);
}

} // namespace

std::vector<std::int32_t> total_scores(const ScoreMatrix& matrix) {
    std::vector<std::int32_t> totals(static_cast<std::size_t>(matrix.sheets), 0);
    for (std::int32_t s = 0; s < matrix.sheets; ++s)
        for (std::int32_t i = 0; i < matrix.items; ++i)
            if (is_correct(matrix, s, i)) ++totals[s];
    return totals;
}

TestStatistics test_statistics(const ScoreMatrix& matrix) {
    TestStatistics result;
    result.sheets = matrix.sheets;
    result.items = matrix.items;
    const std::int32_t n = matrix.sheets;
    const std::vector<std::int32_t> totals = total_scores(matrix);

    std::vector<long double> values(totals.begin(), totals.end());
    RunningStats moments{};
    stats_from_array(moments, values.data(), n, 0);
    result.mean = moments.mean;
    result.variance = moments.variance;
    result.std_dev = moments.std_dev;
    result.lowest = static_cast<std::int32_t>(moments.min);
    result.highest = static_cast<std::int32_t>(moments.max);

    sort_ascending(values.data(), n);
    result.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;

    // KR-20 = k / (k - 1) * (1 - sum of p*q / variance of the totals).
    const std::int32_t k = matrix.items;
    if (k >= 2 && moments.variance > 0) {
        long double sum_pq = 0;
        for (std::int32_t i = 0; i < k; ++i) {
            std::int32_t right = 0;
            for (std::int32_t s = 0; s < n; ++s)
                if (is_correct(matrix, s, i)) ++right;
            long double p = static_cast<long double>(right) / n;
            sum_pq += p * (1 - p);
        }
        long double kr20 = static_cast<long double>(k) / (k - 1) * (1 - sum_pq / moments.variance);
        result.kr20 = kr20;
        // KR-20 cannot exceed 1 but may come out a hair above it in rounding.
        long double unreliable = 1 - kr20;
        if (unreliable < 0) unreliable = 0;
        result.sem = moments.std_dev *
                     static_cast<long double>(std::sqrt(static_cast<double>(unreliable)));
    }
    return result;
}

std::int32_t group_size(std::int32_t sheets) {
    // 27% rounded half up, worked in integers so that no rounding of 0.27
    // moves a group's edge.
    return static_cast<std::int32_t>((static_cast<std::int64_t>(sheets) * 27 + 50) / 100);
}

void extreme_groups(const std::vector<std::int32_t>& totals, std::int32_t size,
                    std::vector<std::int32_t>& upper, std::vector<std::int32_t>& lower) {
    const auto n = static_cast<std::int32_t>(totals.size());
    std::int32_t highest = 0;
    for (std::int32_t t : totals)
        if (t > highest) highest = t;
    // Each key puts the total first and the sheet's place second, so that of
    // equal totals the earlier sheet ranks higher: total * n + (n - 1 - i)
    // for the upper group, (highest - total) * n + (n - 1 - i) for the lower.
    std::vector<std::int32_t> high_keys(totals.size());
    std::vector<std::int32_t> low_keys(totals.size());
    for (std::int32_t i = 0; i < n; ++i) {
        high_keys[i] = totals[i] * n + (n - 1 - i);
        low_keys[i] = (highest - totals[i]) * n + (n - 1 - i);
    }
    select_largest(high_keys, size, upper);
    select_largest(low_keys, size, lower);
}

const char* item_flag(std::int32_t correct, std::int32_t sheets,
                      std::optional<long double> point_biserial) {
    if (correct == 0 || correct == sheets) return FLAG_NO_VARIANCE;
    if (point_biserial && *point_biserial < 0) return FLAG_NEGATIVE;
    // p > 0.90 and p < 0.30, compared in integers.
    const std::int64_t right = correct;
    const std::int64_t all = sheets;
    if (10 * right > 9 * all) return FLAG_TOO_EASY;
    if (10 * right < 3 * all) return FLAG_TOO_HARD;
    return "";
}

std::vector<ItemStatistics> item_statistics(const ScoreMatrix& matrix) {
    const std::int32_t n = matrix.sheets;
    const std::vector<std::int32_t> totals = total_scores(matrix);
    const std::int32_t size = group_size(n);
    std::vector<std::int32_t> upper;
    std::vector<std::int32_t> lower;
    if (size > 0) extreme_groups(totals, size, upper, lower);

    std::vector<ItemStatistics> items(static_cast<std::size_t>(matrix.items));
    for (std::int32_t i = 0; i < matrix.items; ++i) {
        ItemStatistics& item = items[i];
        // Sums over the sheets of the question's mark x and of the rest
        // score r = total - x. They are whole numbers, exact in extended.
        long double sum_x = 0;
        long double sum_r = 0;
        long double sum_xr = 0;
        long double sum_rr = 0;
        for (std::int32_t s = 0; s < n; ++s) {
            const int x = is_correct(matrix, s, i) ? 1 : 0;
            const long double r = totals[s] - x;
            sum_x += x;
            sum_r += r;
            sum_xr += x * r;
            sum_rr += r * r;
        }
        item.correct = static_cast<std::int32_t>(sum_x);
        item.difficulty = sum_x / n;

        // Pearson correlation of x with r, each sum scaled by n so that
        // numerator and variances stay whole numbers.
        const long double covariance = n * sum_xr - sum_x * sum_r;
        const long double variance_x = n * sum_x - sum_x * sum_x;
        const long double variance_r = n * sum_rr - sum_r * sum_r;
        if (variance_x > 0 && variance_r > 0)
            item.point_biserial =
                covariance / (static_cast<long double>(std::sqrt(static_cast<double>(variance_x))) *
                              static_cast<long double>(std::sqrt(static_cast<double>(variance_r))));

        if (size > 0) {
            std::int32_t upper_right = 0;
            std::int32_t lower_right = 0;
            for (std::int32_t s : upper)
                if (is_correct(matrix, s, i)) ++upper_right;
            for (std::int32_t s : lower)
                if (is_correct(matrix, s, i)) ++lower_right;
            item.discrimination = static_cast<long double>(upper_right - lower_right) / size;
        }
        item.flag = item_flag(item.correct, n, item.point_biserial);
    }
    return items;
}

} // namespace quillmark
