#include "analyze/display_rules.h"

#include <cmath>
#include <cstdio>

namespace quillmark {

namespace {

// The bands of the KR-20 readings, highest first, each from a bound in
// thousandths (whole hundredths, so that the scale can name them with two
// decimals); below the last one a KR-20 is BELOW_BANDS.
struct ReliabilityBand {
    std::int32_t from_thousandths;
    const char* reading;
};
constexpr ReliabilityBand RELIABILITY_BANDS[] = {{900, "excellent"},
                                                 {800, "good"},
                                                 {700, "acceptable"},
                                                 {600, "poor"}};
constexpr const char* BELOW_BANDS = "unreliable";

// The bands are judged on the value as shown.
static_assert(FIGURE_DECIMALS == 3, "the KR-20 bands are judged in thousandths");

// A bound in thousandths with two decimals: 890 as "0.89".
std::string hundredths_text(std::int32_t thousandths) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", thousandths / 1000.0);
    return text;
}

} // namespace

const char NONE_LABEL[] = "none";

std::string figure_text(long double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", FIGURE_DECIMALS, static_cast<double>(value));
    return text;
}

void print_figure(std::FILE* out, long double value) {
    std::fprintf(out, "%.*f", FIGURE_DECIMALS, static_cast<double>(value));
}

std::string figure_text(const std::optional<long double>& value, const char* absent) {
    return value ? figure_text(*value) : std::string(absent);
}

std::string option_label(char option) {
    return option != 0 ? std::string(1, option) : std::string(NONE_LABEL);
}

const char* flag_name(ItemFlag flag) {
    switch (flag) {
    case ItemFlag::none: break;
    case ItemFlag::key_error: return "possible key error";
    case ItemFlag::no_variance: return "no variance";
    case ItemFlag::negative: return "negative discrimination";
    case ItemFlag::too_easy: return "too easy";
    case ItemFlag::too_hard: return "too hard";
    }
    return "";
}

std::string flag_text(const ItemStatistics& item) {
    std::string text = flag_name(item.flag);
    if (item.flag == ItemFlag::key_error && item.key_error != 0) {
        text += std::string(": ") + item.key_error;
        if (item.key_error > LAST_KEY_LETTER) text += ", which no key can accept (A to P only)";
    }
    return text;
}

const char* reliability_reading(long double kr20) {
    const double thousandths = std::round(static_cast<double>(kr20) * 1000);
    for (const ReliabilityBand& band : RELIABILITY_BANDS)
        if (thousandths >= band.from_thousandths) return band.reading;
    return BELOW_BANDS;
}

std::string reliability_scale() {
    std::string text;
    std::int32_t above = 0; // the bound of the band above, 0 for the first
    for (const ReliabilityBand& band : RELIABILITY_BANDS) {
        text += hundredths_text(band.from_thousandths);
        text += above == 0 ? " and above " : " to " + hundredths_text(above - 10) + " ";
        text += band.reading;
        text += ", ";
        above = band.from_thousandths;
    }
    return text + "below " + hundredths_text(above) + " " + BELOW_BANDS;
}

std::string form_label(char form) { return form == WHOLE_EXAM ? "all" : std::string(1, form); }

bool has_amend_option(char form) { return form >= 'A' && form <= 'D'; }

namespace {

// Whether a mean square and its Z show misfit.
bool misfits(const std::optional<long double>& square, const std::optional<long double>& z) {
    if (!square || !z) return false;
    return (*square < 0.7L || *square > 1.3L) && (*z < -2 || *z > 2);
}

} // namespace

bool rasch_misfit(const RaschItem& item) {
    return misfits(item.infit, item.infit_z) || misfits(item.outfit, item.outfit_z);
}

std::string scientific(double value) {
    if (!(value > 0)) return "0";
    long double v = value;
    int exponent = static_cast<int>(std::floor(std::log10(v)));
    long double mantissa = std::round(v / std::pow(10.0L, exponent) * 1000) / 1000;
    if (mantissa >= 10) {
        mantissa /= 10;
        ++exponent;
    } else if (mantissa < 1) {
        mantissa = std::round(mantissa * 10000) / 1000;
        --exponent;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3fe%c%02d", static_cast<double>(mantissa),
                  exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
    return text;
}

} // namespace quillmark
