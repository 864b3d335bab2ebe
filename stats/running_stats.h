// Running statistics: values are offered one at a time and summarised as
// count, mean, variance, standard deviation, minimum and maximum, with an
// optional inclusive acceptance window. All arithmetic is 80-bit extended.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quillmark {

// Adds an amount to a 32-bit counter, wrapping past the largest value
// instead of overflowing. Every count of sheets, values or evaluations is
// kept this way.
inline void count_up(std::int32_t& counter, std::uint32_t amount = 1) {
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + amount);
}

// A statistics record. A record of zero bits is a valid empty record whose
// window is off (both limits zero), so static records need no set-up.
struct RunningStats {
    long double mean;        // derived by stats_finish
    long double variance;    // derived by stats_finish
    long double std_dev;     // derived by stats_finish
    long double min;         // smallest accepted value (while count > 0)
    long double max;         // largest accepted value (while count > 0)
    long double lower_limit; // acceptance window, inclusive
    long double upper_limit;
    long double sum;       // sum of the accepted values
    long double sum_sq;    // sum of their squares
    std::int32_t count;    // accepted values
    std::int32_t rejected; // values refused by the window
};

// Empties the record and opens its window to the whole double range.
void stats_init(RunningStats& stats);

// Empties the sums and counts; keeps the window and the derived fields.
void stats_reset(RunningStats& stats);

// Sets the acceptance window; both limits zero switch it off.
void stats_set_limits(RunningStats& stats, long double lower, long double upper);

// Offers one value: refused values only raise `rejected`; accepted ones are
// summed and may become the new minimum or maximum.
void stats_add(RunningStats& stats, long double value);

// Derives mean, variance and standard deviation from the sums. The variance
// divisor is `divisor` when positive, else divisor + count, and at least 1:
// 0 gives the population variance, -1 the sample variance.
void stats_finish(RunningStats& stats, std::int32_t divisor);

// Writes the summary line "n=..., avg dev [min, max]: ...", its line end
// included, to the stream; yields what the formatted print reports.
int stats_print(std::FILE* stream, const RunningStats& stats);

// Formats the same summary line into `line` (at most size characters,
// terminator included, like snprintf); yields its full length.
int stats_format(char* line, std::size_t size, const RunningStats& stats);

} // namespace quillmark
