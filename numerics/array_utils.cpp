#include "numerics/array_utils.h"

#include "stats/batch_stats.h"

namespace quillmark {

namespace {

// Slides a window of w values over the array, summing in 32-bit wrapping
// arithmetic; with `last_wins` a tie with the best sum so far moves the
// result on.
std::int32_t best_window(const std::int32_t* values, std::int32_t n, std::int32_t w,
                         bool last_wins) {
    if (w < 1 || w > n) return 0;
    std::uint32_t s = 0;
    for (std::int32_t i = 0; i < w; ++i) s += static_cast<std::uint32_t>(values[i]);
    std::int32_t best = static_cast<std::int32_t>(s);
    std::int32_t result = 0;
    for (std::int32_t i = 1; i <= n - w; ++i) {
        s = s - static_cast<std::uint32_t>(values[i - 1]) +
            static_cast<std::uint32_t>(values[i + w - 1]);
        std::int32_t sum = static_cast<std::int32_t>(s);
        if (sum > best || (last_wins && sum == best)) {
            best = sum;
            result = i;
        }
    }
    return result;
}

// Selection sort of the first `positions` places: each takes the first value
// among the rest that `before` puts ahead of all others, and is exchanged
// with it (also with itself). Tags, when given, move with their values.
template <typename T, typename Before>
void selection_sort(T* values, std::int32_t* tags, std::int32_t n, std::int32_t positions,
                    Before before) {
    if (positions > n) positions = n;
    for (std::int32_t i = 0; i < positions; ++i) {
        std::int32_t chosen = i;
        for (std::int32_t j = i + 1; j < n; ++j)
            if (before(values[j], values[chosen])) chosen = j;
        T value = values[i];
        values[i] = values[chosen];
        values[chosen] = value;
        if (tags != nullptr) {
            std::int32_t tag = tags[i];
            tags[i] = tags[chosen];
            tags[chosen] = tag;
        }
    }
}

} // namespace

long double poly_eval(long double x, const long double* coefficients, std::int32_t n) {
    long double r = 0;
    if (n <= 0) return r; // also keeps n - 1 from overflowing
    for (std::int32_t i = n - 1; i >= 0; --i) r = r * x + coefficients[i];
    return r;
}

std::int32_t best_window_first(const std::int32_t* values, std::int32_t n, std::int32_t w) {
    return best_window(values, n, w, false);
}

std::int32_t best_window_last(const std::int32_t* values, std::int32_t n, std::int32_t w) {
    return best_window(values, n, w, true);
}

void sort_ascending(long double* values, std::int32_t n) {
    selection_sort(values, nullptr, n, n, [](long double a, long double b) { return a < b; });
}

void sort_descending(long double* values, std::int32_t n) {
    selection_sort(values, nullptr, n, n, [](long double a, long double b) { return a > b; });
}

void select_top_tagged(std::int32_t* values, std::int32_t* tags, std::int32_t n, std::int32_t k) {
    selection_sort(values, tags, n, k, [](std::int32_t a, std::int32_t b) { return a > b; });
}

void smooth_kernel(const long double* x, std::int32_t n, const long double* kernel,
                   std::int32_t centre, std::int32_t m, long double* y) {
    // Outside these limits kernel indices would leave the kernel.
    if (centre < 0 || centre >= m) return;
    for (std::int32_t c = 0; c < n; ++c) {
        // 64-bit: c - centre + m may pass the 32-bit range.
        std::int64_t first = static_cast<std::int64_t>(c) - centre;
        std::int64_t end = first + m;
        std::int32_t lo = first < 0 ? 0 : static_cast<std::int32_t>(first);
        std::int32_t hi = end > n ? n : static_cast<std::int32_t>(end);
        std::int32_t kstart = centre - (c - lo);
        long double w = array_sum(kernel + kstart, hi - lo);
        long double s = 0;
        for (std::int32_t j = lo; j < hi; ++j) s = s + x[j] * kernel[j - c + centre];
        y[c] = s / w;
    }
}

} // namespace quillmark
