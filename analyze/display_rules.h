// How the analysis is shown, the same in every writer (the tables, the JSON,
// the page and the option file): figures with three decimals, the "none"
// label, the words of the flags, the reading of a KR-20 and the forms whose
// keys an option can amend.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "analyze/analysis.h"
#include "analyze/item_statistics.h"
#include "analyze/rasch.h"

namespace quillmark {

// The decimals of every figure shown as text.
constexpr int FIGURE_DECIMALS = 3;

// `value` with FIGURE_DECIMALS decimals, e.g. "0.412", "-1.000".
std::string figure_text(long double value);

// The decimals of a standardised Z of the Rasch fit.
constexpr int Z_DECIMALS = 2;

// Whether a calibrated question misfits the Rasch model: its infit lies
// outside 0.7 to 1.3 with its infit Z beyond -2 to 2, or its outfit does
// with its outfit Z. A question without fit figures does not misfit.
bool rasch_misfit(const RaschItem& item);

// `value` as figure_text shows it, written to `out`.
void print_figure(std::FILE* out, long double value);

// An optional figure as above, or `absent` where it cannot be worked out.
std::string figure_text(const std::optional<long double>& value, const char* absent);

// The word for what is not there: the option of no letter A to Y (no mark,
// or a mark that is not a letter), and a figure that a text must name.
extern const char NONE_LABEL[]; // "none"

// An option's name: its letter, or NONE_LABEL for option 0.
std::string option_label(char option);

// The words of a flag: "possible key error", "no variance", "negative
// discrimination", "too easy", "too hard"; empty for ItemFlag::none.
const char* flag_name(ItemFlag flag);

// A question's flag as the tables show it: its words, with ": " and the
// suspected letter after a possible key error ("possible key error: C");
// empty for none.
std::string flag_text(const ItemStatistics& item);

// The plain-words reading of a KR-20, judged on the value rounded to the
// FIGURE_DECIMALS decimals shown, so that a value shown as "0.900" never
// reads below the band that begins there: "excellent" from 0.900, "good"
// from 0.800, "acceptable" from 0.700, "poor" from 0.600, else
// "unreliable".
const char* reliability_reading(long double kr20);

// The scale of those readings in words, its bounds with two decimals:
// "0.90 and above excellent, 0.80 to 0.89 good, 0.70 to 0.79 acceptable,
// 0.60 to 0.69 poor, below 0.60 unreliable".
std::string reliability_scale();

// The Form cell of a form's rows: its letter, or "all" for the whole exam
// (WHOLE_EXAM).
std::string form_label(char form);

// Whether quillmark has an option that amends single questions of the
// form's key: forms A to D (alta: to altd:); forms E to J have none.
bool has_amend_option(char form);

// A p-value as the similarity tables show it: four significant digits in
// scientific notation with a signed two-digit exponent at least (1.234e-05),
// the same on every system; "0" below the smallest representable value.
std::string scientific(double value);

} // namespace quillmark
