// Writes the analysis of one form: its test statistics and its question
// table as comma-separated rows for a spreadsheet, and the distribution of
// its per-cent scores as a text histogram for the person at the console.
#pragma once

#include <cstdio>
#include <vector>

#include "analyze/report_reader.h"

namespace quillmark {

// The test statistics table (heading row and the form's row), an empty
// line, the question table (heading row and one row per scored question),
// and an empty line, all to `out`.
void print_form_tables(std::FILE* out, const FormScores& form);

// The per-cent scores as histogram_print takes them: a perfect score is put
// just below 100, so that it falls into the top bin (90 to 100) rather than
// beyond the histogram's range.
std::vector<long double> histogram_scores(const std::vector<long double>& percent_scores);

// A title line and the histogram of the form's per-cent scores in 10 bins
// from 0 to 100, to `err`.
void print_score_histogram(std::FILE* err, const FormScores& form);

} // namespace quillmark
