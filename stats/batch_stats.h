// Batch statistics and vector sums over caller-owned arrays of 80-bit
// extended values: sums, a dot product, a full linear convolution, a
// least-squares straight line with its residuals, and the statistics record
// of a whole array at once. Lengths are 32-bit signed; nothing allocates.
#pragma once

#include <cstdint>

// From this header's own folder, in the source tree as where it is installed.
#include "running_stats.h"

namespace quillmark {

// The sum of values[0..n-1], accumulated from the last element to the
// first; 0 when n <= 0.
long double array_sum(const long double* values, std::int32_t n);

// The sum of values[0..n-1], last to first, wrapping modulo 2^32 in two's
// complement; 0 when n <= 0.
std::int32_t int_array_sum(const std::int32_t* values, std::int32_t n);

// The sum of a[i]*b[i] for i in 0..n-1, last to first; 0 when n <= 0.
long double dot_product(const long double* a, const long double* b, std::int32_t n);

// Full linear convolution out[k] = sum over j of a[j]*b[k-j]; writes and
// yields na + nb - 1 values. `out` must not overlap the inputs. A length
// below 1 (or a result too long for the 32-bit count) writes nothing and
// yields 0.
std::int32_t convolve(const long double* a, std::int32_t na, const long double* b, std::int32_t nb,
                      long double* out);

// Least-squares line y = intercept + slope*x through n points. All x equal
// gives slope 0 and the mean of y; n <= 0 gives 0 for both.
void linear_fit(const long double* x, const long double* y, std::int32_t n, long double& intercept,
                long double& slope);

// Removes the line from y in place: y[i] = (y[i] - slope*x[i]) - intercept.
void subtract_fit(const long double* x, long double* y, std::int32_t n, long double intercept,
                  long double slope);

// Fills mean, variance, std_dev, min, max, sum, sum_sq and count of the
// record from values[0..n-1], as stats_add of each value into an empty
// record with the window off followed by stats_finish(stats, divisor)
// would. Limits and `rejected` are untouched. With n < 1 the array is not
// read: count = n and all the other fields written become 0.
void stats_from_array(RunningStats& stats, const long double* values, std::int32_t n,
                      std::int32_t divisor);

} // namespace quillmark
