// Text charts of number arrays for a console or a log: signed bar charts of
// extended values and of 32-bit integers, and a histogram of extended values
// over a fixed range with optional marker lines and a count of the values
// that lie between the first two markers.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quillmark {

// Size of the one bin table that every histogram shares.
constexpr std::int32_t HISTOGRAM_MAX_BINS = 200;

// Writes one line per value to standard output: the index, the value scaled
// so that the largest magnitude shows as +-10.000, and a bar of "+" or "-"
// whose longest member is width - 10 characters.
void bar_chart(const long double* values, std::int32_t count, std::int32_t width);

// The same chart for 32-bit integers, showing each value itself.
void bar_chart_int(const std::int32_t* values, std::int32_t count, std::int32_t width);

// Writes a histogram of `count` values to `stream`: `bins` equal bins from
// `low` up to, not including, `low + span`, one line of asterisks per bin
// (the fullest bin is cut down to 64), a line before the bin that holds each
// marker, and, with two or more markers, the share of values in
// markers[0] <= x < markers[1]. Values below the range count as offscale low,
// values at or above it (NaN included) as offscale high. `markers` may be
// null when `marker_count` is 0. `bins` above HISTOGRAM_MAX_BINS is taken as
// HISTOGRAM_MAX_BINS. Calls must not overlap: the bin table is shared.
void histogram_print(std::FILE* stream, const long double* values, std::int32_t count,
                     const long double* markers, std::int32_t marker_count, long double low,
                     long double span, std::int32_t bins);

// histogram_print on standard output with no markers and 50 bins.
void histogram_print_stdout(const long double* values, std::int32_t count, long double low,
                            long double span);

} // namespace quillmark
