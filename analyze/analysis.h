// The analysis of a report: every figure the writers show, worked out once.
// The CSV, JSON and option-file writers read this model and compute nothing
// of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyze/class_list.h"
#include "analyze/grades.h"
#include "analyze/item_statistics.h"
#include "analyze/rasch.h"
#include "analyze/report_reader.h"
#include "analyze/sheet_checks.h"
#include "analyze/similarity.h"
#include "analyze/tags.h"

namespace quillmark {

// Where a master question of an exam in versions stands on one form: its
// number there, and the letters that master options A, B, C, ... carry
// there (empty: the same letters).
struct VersionPlace {
    char form = 0;
    std::int32_t question = 0;
    std::string options;
};

// The letter that master letter `master` carries on a form whose question
// has the letters `options` (as VersionPlace::options): its place there, or
// its own letter past their end.
inline char version_letter(char master, const std::string& options) {
    const auto m = static_cast<std::size_t>(master - 'A');
    return m < options.size() ? options[m] : master;
}

// One scored question of a form: its number on the key and its figures,
// option rows included (for the whole exam, its master number).
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

// The form of the whole exam's FormAnalysis: its rows show "all".
constexpr char WHOLE_EXAM = 0;

// A form's key that disagrees with the other versions of its master
// question: the question on the form, the letters it should accept in its
// own letters (empty: it should drop the question) and why.
struct KeyAmendment {
    char form = 0;
    std::int32_t question = 0;
    std::int32_t master = 0;
    std::string accept;
    std::string detail;
};

// The whole analysis: the forms in letter order and the findings of the
// sheet checks (with those of the class list, when there is one). When the
// run asks for them: every sheet row's score and grade, in report order,
// the grade scale with the number of sheets that got each of its grades (in
// its order), and the sheets matched to the class list. With a version map
// also the whole exam, every sheet of every form by master question and
// letter (its form WHOLE_EXAM) with, for each of its questions, where it
// stands on each form, and the keys that disagree across versions (each a
// "keys disagree" finding too); with a tag file and scored sheets the
// scores by tag; and the answer-similarity screen.
struct Analysis {
    std::vector<FormAnalysis> forms;
    std::vector<SheetCheck> checks;
    std::vector<SheetScore> sheets;
    GradeScale grades;
    std::vector<std::int64_t> grade_counts;
    std::optional<ClassListMatch> class_list;
    std::optional<FormAnalysis> exam;
    std::vector<std::vector<VersionPlace>> exam_versions; // parallel to exam->questions
    std::vector<KeyAmendment> key_amendments;
    std::optional<TagScores> tags;
    std::optional<SimilarityScreen> similarity;
};

struct VersionMap;

// What a run may bring beside the report, each optional: a class list, a
// grade scale, whether every sheet's score is wanted (for a gradebook), a
// version map and a tag list (each already checked against the report).
struct AnalysisInputs {
    const ClassList* class_list = nullptr;
    const GradeScale* grades = nullptr;
    bool sheet_scores = false;
    bool rasch = false; // each form's Rasch measurement
    const VersionMap* versions = nullptr;
    const TagList* tags = nullptr;
    const SimilarityRequest* similarity = nullptr; // the answer-similarity screen
};

// Analyses what the reader found. Each form's table of answers is released
// as soon as its figures are worked out, so `tables.forms` is left without
// them. The sheets' scores are worked out when `inputs` asks for them or
// brings a class list or a scale. With a version map, the whole exam and
// the cross-check of the keys; with a tag list, the scores by tag.
Analysis analyse(ReportTables& tables, const AnalysisInputs& inputs = {});

} // namespace quillmark
