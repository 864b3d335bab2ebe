// Small operations on caller-owned arrays: polynomial evaluation, the run of
// consecutive integers with the largest sum, selection sorts, a partial sort
// that carries tags along, and smoothing with a weighting kernel. Extended
// values are 80-bit long double; lengths and indices are 32-bit signed.
#pragma once

#include <cstdint>

namespace quillmark {

// The polynomial with coefficients[0] as constant term and ascending powers,
// evaluated at x by Horner's rule; 0 when n <= 0.
long double poly_eval(long double x, const long double* coefficients, std::int32_t n);

// Start index of the run of w consecutive values with the largest sum
// (32-bit wrapping sums); of equal sums the first wins. Expects 1 <= w <= n;
// otherwise yields 0 without reading.
std::int32_t best_window_first(const std::int32_t* values, std::int32_t n, std::int32_t w);

// As best_window_first, but of equal sums the last wins.
std::int32_t best_window_last(const std::int32_t* values, std::int32_t n, std::int32_t w);

// Sorts values[0..n-1] in place, smallest first (selection sort).
void sort_ascending(long double* values, std::int32_t n);

// Sorts values[0..n-1] in place, largest first (selection sort).
void sort_descending(long double* values, std::int32_t n);

// Moves the k largest values, largest first, into positions 0..k-1, each
// tag exchanged along with its value; the rest stay in the order the
// exchanges leave them. k above n is taken as n.
void select_top_tagged(std::int32_t* values, std::int32_t* tags, std::int32_t n, std::int32_t k);

// Weighted moving average: y[c] is the sum of x[j] * kernel[j - c + centre]
// over the data under the kernel, divided by the sum of the weights in use,
// so the kernel is renormalised where it hangs over an end. The kernel is
// not reversed. Expects 0 <= centre < m (else writes nothing) and y distinct
// from x.
void smooth_kernel(const long double* x, std::int32_t n, const long double* kernel,
                   std::int32_t centre, std::int32_t m, long double* y);

} // namespace quillmark
