// Writes the analysis as comma-separated tables for a spreadsheet, and the
// distribution of each form's per-cent scores and the count of each sheet
// check as text for the person at the console.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "analyze/analysis.h"

namespace quillmark {

// The form's tables, each followed by an empty line, to `out`: the test
// statistics (heading row and the form's row), the question table (heading
// row and one row per scored question) and the option table (heading row and
// one row per option of every scored question), then the Rasch tables when
// the form has them. The whole exam's rows show "all" in the Form cell.
void print_form_tables(std::FILE* out, const FormAnalysis& form);

// The sheet checks table: its heading row and one row per finding.
void print_checks_table(std::FILE* out, const std::vector<SheetCheck>& checks);

// The answer-similarity table: its heading row and one row per listed pair
// (the family-wise list, then the exploratory one).
void print_similarity_table(std::FILE* out, const SimilarityScreen& screen);

// A line with the number of pairs listed and compared, to `err`.
void print_similarity_counts(std::FILE* err, const SimilarityScreen& screen);

// The per-cent scores of a form's sheets as histogram_print takes them, one
// per sheet: a perfect score is put just below 100, so that it falls into
// the top bin (90 to 100) rather than beyond the histogram's range.
std::vector<long double> histogram_scores(const FormAnalysis& form);

// A title line and the histogram of the form's per-cent scores in 10 bins
// from 0 to 100, to `err`.
void print_score_histogram(std::FILE* err, const FormAnalysis& form);

// One line per check, "<count> <check>" (e.g. "2 duplicate student"), to
// `err`; the checks of a class list only when the run has one, "keys
// disagree" only when the keys of versions were checked.
void print_check_counts(std::FILE* err, const std::vector<SheetCheck>& checks,
                        bool class_list = false, bool keys_checked = false);

// The tag table, followed by an empty line: its heading row and one row
// per tag.
void print_tag_table(std::FILE* out, const TagScores& tags);

} // namespace quillmark
