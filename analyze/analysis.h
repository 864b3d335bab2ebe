// The analysis of a report: every figure the writers show, worked out once.
// The CSV, JSON and option-file writers read this model and compute nothing
// of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analyze/item_statistics.h"
#include "analyze/report_reader.h"
#include "analyze/sheet_checks.h"
#include "analyze/similarity.h"

namespace quillmark {

// One scored question of a form: its number on the key and its figures,
// option rows included.
struct QuestionAnalysis {
    std::int32_t question = 0;
    ItemStatistics statistics;
};

// One form with scored sheets: its test statistics, its questions, and the
// per-cent score of every raw score from 0 to the number of questions, as
// the grader works it out (the histogram counts each sheet at its own).
struct FormAnalysis {
    char form = 0;
    TestStatistics test;
    std::vector<QuestionAnalysis> questions;
    std::vector<long double> percent_of_score;
};

// The whole analysis: the forms in letter order, the findings of the
// sheet checks, and the answer-similarity screen when it was asked for.
struct Analysis {
    std::vector<FormAnalysis> forms;
    std::vector<SheetCheck> checks;
    std::optional<SimilarityScreen> similarity;
};

// Analyses what the reader found. Each form's table of answers is released
// as soon as its figures are worked out, so `tables.forms` is left without
// them.
Analysis analyse(ReportTables& tables);

// The flag text of a question as the tables show it: the flag, with the
// suspected letter after a possible key error; empty for none.
std::string flag_text(const ItemStatistics& item);

} // namespace quillmark
