// The analysis of a report: every figure the writers show, worked out once.
// The CSV, JSON and option-file writers read this model and compute nothing
// of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analyze/class_list.h"
#include "analyze/grades.h"
#include "analyze/item_statistics.h"
#include "analyze/rasch.h"
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
// the grader works it out (the histogram counts each sheet at its own);
// its Rasch measurement when asked for.
struct FormAnalysis {
    char form = 0;
    TestStatistics test;
    std::vector<QuestionAnalysis> questions;
    std::vector<long double> percent_of_score;
    std::optional<RaschAnalysis> rasch;
};

// The whole analysis: the forms in letter order and the findings of the
// sheet checks (with those of the class list, when there is one). When the
// run asks for them: every sheet row's score and grade, in report order,
// the grade scale with the number of sheets that got each of its grades (in
// its order), the sheets matched to the class list, and the
// answer-similarity screen.
struct Analysis {
    std::vector<FormAnalysis> forms;
    std::vector<SheetCheck> checks;
    std::vector<SheetScore> sheets;
    GradeScale grades;
    std::vector<std::int64_t> grade_counts;
    std::optional<ClassListMatch> class_list;
    std::optional<SimilarityScreen> similarity;
};

// What a run may bring beside the report, each optional: a class list, a
// grade scale, and whether every sheet's score is wanted (for a gradebook).
struct AnalysisInputs {
    const ClassList* class_list = nullptr;
    const GradeScale* grades = nullptr;
    bool sheet_scores = false;
    bool rasch = false;                            // each form's Rasch measurement
    const SimilarityRequest* similarity = nullptr; // the answer-similarity screen
};

// Analyses what the reader found. Each form's table of answers is released
// as soon as its figures are worked out, so `tables.forms` is left without
// them. The sheets' scores are worked out when `inputs` asks for them or
// brings a class list or a scale.
Analysis analyse(ReportTables& tables, const AnalysisInputs& inputs = {});

} // namespace quillmark
