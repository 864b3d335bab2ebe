#include "numerics/histogram.h"

namespace quillmark {

namespace {

// Bin counts of the latest histogram_print; cleared by every call.
std::int32_t histogram_bins[HISTOGRAM_MAX_BINS];

// Bar length from a scaled magnitude already raised by one half: truncated
// toward zero, nothing for NaN or anything below one, and never longer than
// the `room` the chart has (only an overflow of the scaling could ask for
// more).
std::int64_t bar_length(long double scaled, std::int64_t room) {
    if (room <= 0 || !(scaled >= 1)) return 0;
    if (scaled >= static_cast<long double>(room)) return room;
    return static_cast<std::int64_t>(scaled);
}

// Prints the bar of one value: "+" for zero or positive, "-" for negative,
// magnitude * room / largest + 0.5 characters.
void print_signed_bar(bool non_negative, long double magnitude, std::int64_t room,
                      long double largest) {
    long double scaled = magnitude * static_cast<long double>(room) / largest + 0.5L;
    std::int64_t n = bar_length(scaled, room);
    const char* mark = non_negative ? "+" : "-";
    for (std::int64_t k = 0; k < n; ++k) std::printf("%s", mark);
}

// The bin index of a scaled offset, rounded down: a negative offset is low,
// an offset at or beyond `bins` or NaN is high, so no value escapes the
// three counters and nothing is converted that does not fit.
enum class BinClass { low, in_range, high };

BinClass classify(long double scaled, std::int32_t bins, std::int32_t& index) {
    if (scaled < 0) return BinClass::low;
    if (!(scaled < static_cast<long double>(bins))) return BinClass::high;
    index = static_cast<std::int32_t>(scaled); // 0 <= scaled < bins: truncation is the floor
    return BinClass::in_range;
}

void print_marker_line(std::FILE* stream, long double marker) {
    std::fprintf(stream, "%5.2g ----- ----------------------------------------------\n",
                 static_cast<double>(marker));
}

} // namespace

void bar_chart(const long double* values, std::int32_t count, std::int32_t width) {
    long double largest = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        long double magnitude = values[i] < 0 ? -values[i] : values[i];
        if (magnitude > largest) largest = magnitude;
    }
    if (largest == 0) largest = 1;
    std::int64_t room = static_cast<std::int64_t>(width) - 10;
    for (std::int32_t i = 0; i < count; ++i) {
        long double v = values[i];
        std::printf("%3d%6.3f ", i, static_cast<double>(v * 10 / largest));
        if (v >= 0)
            print_signed_bar(true, v, room, largest);
        else
            print_signed_bar(false, -v, room, largest);
        std::printf("\n");
    }
}

void bar_chart_int(const std::int32_t* values, std::int32_t count, std::int32_t width) {
    // 64-bit so that the magnitude of INT32_MIN fits.
    std::int64_t largest = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int64_t v = values[i];
        std::int64_t magnitude = v < 0 ? -v : v;
        if (magnitude > largest) largest = magnitude;
    }
    if (largest == 0) largest = 1;
    std::int64_t room = static_cast<std::int64_t>(width) - 10;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t v = values[i];
        std::printf("%3d%4d ", i, v);
        long double value = static_cast<long double>(v);
        if (v >= 0)
            print_signed_bar(true, value, room, static_cast<long double>(largest));
        else
            print_signed_bar(false, -value, room, static_cast<long double>(largest));
        std::printf("\n");
    }
}

void histogram_print(std::FILE* stream, const long double* values, std::int32_t count,
                     const long double* markers, std::int32_t marker_count, long double low,
                     long double span, std::int32_t bins) {
    if (bins > HISTOGRAM_MAX_BINS) bins = HISTOGRAM_MAX_BINS; // the table holds no more
    for (std::int32_t i = 0; i < HISTOGRAM_MAX_BINS; ++i) histogram_bins[i] = 0;
    std::int32_t in_range = 0;
    std::int32_t offscale_low = 0;
    std::int32_t offscale_high = 0;
    std::int32_t between = 0;

    for (std::int32_t i = 0; i < count; ++i) {
        long double x = values[i];
        long double scaled = (x - low) * static_cast<long double>(bins) / span;
        std::int32_t index = 0;
        switch (classify(scaled, bins, index)) {
        case BinClass::low: ++offscale_low; break;
        case BinClass::high: ++offscale_high; break;
        case BinClass::in_range:
            ++histogram_bins[index];
            ++in_range;
            break;
        }
        // Looks at the value itself, so offscale values count too.
        if (marker_count >= 2 && markers[0] <= x && x < markers[1]) ++between;
    }

    std::int32_t scale = 64;
    for (std::int32_t i = 0; i < bins; ++i)
        if (histogram_bins[i] > scale) scale = histogram_bins[i];

    std::fprintf(stream, "%d points in histogram.  Offscale %d low, %d high\n", in_range,
                 offscale_low, offscale_high);
    for (std::int32_t i = 0; i < bins; ++i) {
        long double lower = static_cast<long double>(i) * span / bins + low;
        long double upper = static_cast<long double>(i + 1) * span / bins + low;
        for (std::int32_t j = 0; j < marker_count; ++j)
            if (lower <= markers[j] && markers[j] < upper) print_marker_line(stream, markers[j]);
        std::int32_t in_bin = histogram_bins[i];
        std::fprintf(stream, "%5.2g %5d ", static_cast<double>(lower), in_bin);
        // Up to 64 asterisks, rounded half up; 64-bit so that a bin of more
        // than 2^31 / 64 values does not overflow.
        std::int64_t stars = (static_cast<std::int64_t>(in_bin) * 64 + scale / 2) / scale;
        for (std::int64_t k = 0; k < stars; ++k) std::fprintf(stream, "*");
        std::fprintf(stream, "\n");
    }
    std::fprintf(stream, "%d points.  Offscale %d low, %d high\n", in_range, offscale_low,
                 offscale_high);
    if (marker_count >= 2 && in_range >= 1) {
        long double per_cent = static_cast<long double>(between) * 100 / in_range;
        std::fprintf(stream, "%d points (%4.1f%%) between markers\n", between,
                     static_cast<double>(per_cent));
    }
}

void histogram_print_stdout(const long double* values, std::int32_t count, long double low,
                            long double span) {
    histogram_print(stdout, values, count, nullptr, 0, low, span, 50);
}

} // namespace quillmark
