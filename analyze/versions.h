// One exam given in shuffled versions, one form letter a version: the map of
// each form's questions and answer letters to the master exam's, the whole
// exam's figures by master question and master letter worked out from the
// forms' own tables, each sheet's right answers on sets of its questions,
// and the cross-check of the versions' keys.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analyze/analysis.h"
#include "analyze/csv_input.h"
#include "analyze/rasch.h"
#include "analyze/report_reader.h"

namespace quillmark {

// One row of a version map: question `question` of form `form` is master
// question `master`; `options` holds the letters that master options A, B,
// C, ... carry on the form, in that order (empty: the same letters; a
// letter past its end keeps its own).
struct VersionRow {
    char form = 0;
    std::int32_t question = 0;
    std::int32_t master = 0;
    std::string options;
    std::int32_t line = 0;
};

struct VersionMap {
    std::vector<VersionRow> rows; // in file order
};

// Reads a map file's text: the heading names the columns Form, Question,
// Master and, optionally, Options (in any order and case; other columns are
// passed over); every row then gives a form letter A to J, a question
// number and a master number from 1 to 1000, and an Options cell that is
// empty or an arrangement of the first letters of A to Y. A question mapped
// twice, or two questions of one form mapped to one master question, is a
// fault. Yields false with `error` at the first fault.
bool parse_version_map(const std::string& text, VersionMap& map, FileError& error);

// Holds a map against the report's forms with scored sheets: every row of
// such a form names a question of its key, every scored question of such a
// form is mapped, and every master question reached from one of them is
// reached from each. Rows of forms without scored sheets are passed over.
bool check_version_map(const VersionMap& map, const ReportTables& tables, FileError& error);

// The questions of the exam that a tag file may name, ascending: the
// master numbers the map reaches from the forms with scored sheets, or
// without a map (`map` null) the numbers of those forms' keys.
std::vector<std::int32_t> exam_question_numbers(const VersionMap* map, const ReportTables& tables);

// Where the whole exam's questions stand in each form's table of answers.
// `masters` are the exam's questions, ascending: the master numbers scored
// on every form with scored sheets (the forms' own numbers without a map).
// For each form, parallel to `tables.forms`: `source[j]` is the column of
// its table that holds exam question j, `code[j][c]` the master option code
// of its option code c there. `places[j]` tells where exam question j
// stands on each form, with a map (empty without one).
struct ExamLayout {
    struct Form {
        std::vector<std::int32_t> source;
        std::vector<std::array<unsigned char, 32>> code;
    };
    std::vector<std::int32_t> masters;
    std::vector<Form> forms;
    std::vector<std::vector<VersionPlace>> places;
};

// The layout of the exam by the map; with `map` null, question q of every
// form is exam question q and letters stay as they are. Expects a map
// that check_version_map has passed.
ExamLayout exam_layout(const VersionMap* map, const ReportTables& tables);

// Where each form's sheets stand among all the exam's sheets:
// `position[f][s]` is the place, in report order, of sheet s of
// `tables.forms[f]`, `orders[p]` the Order of the sheet at place p.
struct ExamSheets {
    std::vector<std::vector<std::int32_t>> position;
    std::vector<std::int32_t> orders;
};

ExamSheets exam_sheets(const ReportTables& tables);

// The whole exam's figures: what test_statistics and item_statistics work
// out from one table that holds every sheet of every form in report order
// on the exam's questions, its answers in master letters and its grader's
// marks kept, each question accepting the letters that any form accepts.
// They are worked out from the forms' own tables, which hold the answers
// once, and the sums their analyses made (`form_sums`, in the order of
// `tables.forms`): where the exam has every question of a form, only the
// groups are counted again.
struct ExamFigures {
    TestStatistics test;
    std::vector<ItemStatistics> items; // per exam question
};

ExamFigures exam_figures(const ReportTables& tables, const ExamLayout& layout,
                         const ExamSheets& sheets, const std::vector<QuestionTallies>& form_sums);

// Each sheet's right answers on each of some sets of exam questions (indices
// into `layout.masters`): `sums[p * sets.size() + t]` for the sheet at place
// p and set t.
std::vector<std::uint16_t> exam_right_sums(const ReportTables& tables, const ExamLayout& layout,
                                           const ExamSheets& sheets,
                                           const std::vector<std::vector<std::size_t>>& sets);

// The whole exam's Rasch sufficient statistics: every sheet's raw score on
// the exam's questions and which of them it got right, each form's counts
// (`form_counts`, in the order of `tables.forms`) moved to the exam's
// questions where the exam has every question of the form (its sheets'
// raw scores are then their own), else counted again from its answers.
RaschCounts exam_rasch_counts(const ReportTables& tables, const ExamLayout& layout,
                              const std::vector<RaschCounts>& form_counts);

// The number of sheets right on each exam question, from the forms'
// analyses (in the order of `tables.forms`).
std::vector<std::int64_t> exam_right_counts(const ExamLayout& layout,
                                            const std::vector<FormAnalysis>& forms);

// The keys of the versions held against each other: for every master
// question reached, each form's accepted letters in master letters (or
// that the form drops the question). A form that disagrees with the key
// of the most forms, or where no key has the most, with the key the
// students' answers favour (the best point-biserial of its letters on each
// form, weighted by the form's sheets), gets a finding and the key that
// would make it agree. `forms` are the forms' analyses, in the order of
// `tables.forms`. Findings by master question, then form.
std::vector<KeyAmendment> disagreeing_keys(const VersionMap& map, const ReportTables& tables,
                                           const std::vector<FormAnalysis>& forms);

} // namespace quillmark
