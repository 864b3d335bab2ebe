// The analysis of a report: every figure the writers show, worked out once.
// The CSV, JSON and option-file writers read this model and compute nothing
// of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyze/item_statistics.h"
#include "analyze/report_reader.h"
#include "analyze/sheet_checks.h"
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

// One scored question of a form: its number on the key and its figures,
// option rows included (for the whole exam, its master number).
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
// sheet checks. With a version map also the whole exam, every sheet of
// every form by master question and letter (its form WHOLE_EXAM) with,
// for each of its questions, where it stands on each form, and the keys
// that disagree across versions (each a "keys disagree" finding too); with
// a tag file the scores by tag.
struct Analysis {
    std::vector<FormAnalysis> forms;
    std::vector<SheetCheck> checks;
    std::optional<FormAnalysis> exam;
    std::vector<std::vector<VersionPlace>> exam_versions; // parallel to exam->questions
    std::vector<KeyAmendment> key_amendments;
    std::optional<TagScores> tags;
};

// Analyses what the reader found. Each form's table of answers is released
// as soon as its figures are worked out, so `tables.forms` is left without
// them.
Analysis analyse(ReportTables& tables);

struct VersionMap;

// The same, and with a version map (`versions` not null, checked against
// the report) the whole exam and the cross-check of the keys, with a tag
// list (checked too) the scores by tag.
Analysis analyse(ReportTables& tables, const VersionMap* versions, const TagList* tags);

// The Form cell of a form's rows: its letter, or "all" for the whole exam.
std::string form_label(char form);

// The flag text of a question as the tables show it: the flag, with the
// suspected letter after a possible key error; empty for none.
std::string flag_text(const ItemStatistics& item);

} // namespace quillmark
