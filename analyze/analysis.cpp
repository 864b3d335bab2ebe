#include "analyze/analysis.h"

#include <utility>

#include "analyze/versions.h"
#include "report/report_layout.h"

namespace quillmark {

namespace {

// The per-cent score of every raw score from 0 to `items`, as the grader
// works it out.
std::vector<long double> percent_of_scores(std::int32_t items) {
    std::vector<long double> percent;
    for (std::int32_t raw = 0; raw <= items; ++raw) percent.push_back(percent_score(raw, items));
    return percent;
}

// The whole exam, the cross-check of the versions' keys and the scores by
// tag, from the forms' tables of answers and the sums their analyses made.
void analyse_exam(ReportTables& tables, const AnalysisInputs& inputs,
                  const std::vector<QuestionTallies>& form_sums,
                  const std::vector<RaschCounts>& form_counts, Analysis& analysis) {
    const VersionMap* versions = inputs.versions;
    if (versions) {
        analysis.key_amendments = disagreeing_keys(*versions, tables, analysis.forms);
        for (const KeyAmendment& amendment : analysis.key_amendments) {
            SheetCheck check;
            check.kind = CheckKind::keys_disagree;
            check.form = amendment.form;
            check.detail = amendment.detail;
            analysis.checks.push_back(std::move(check));
        }
    }
    const ExamLayout layout = exam_layout(versions, tables);
    ExamSheets sheets = exam_sheets(tables);
    if (versions && !layout.masters.empty()) {
        ExamFigures figures = exam_figures(tables, layout, sheets, form_sums);
        FormAnalysis& exam = analysis.exam.emplace();
        exam.form = WHOLE_EXAM;
        exam.test = std::move(figures.test);
        for (std::size_t j = 0; j < layout.masters.size(); ++j)
            exam.questions.push_back({layout.masters[j], std::move(figures.items[j])});
        exam.percent_of_score = percent_of_scores(exam.test.items);
        analysis.exam_versions = layout.places;
        if (inputs.rasch)
            exam.rasch =
                rasch_analysis(exam_rasch_counts(tables, layout, form_counts), layout.masters);
    }
    if (inputs.tags && !tables.forms.empty()) {
        const std::vector<std::vector<std::size_t>> columns =
            tag_columns(*inputs.tags, layout.masters);
        std::vector<std::uint16_t> scores = exam_right_sums(tables, layout, sheets, columns);
        analysis.tags =
            tag_scores(*inputs.tags, columns, std::move(scores),
                       exam_right_counts(layout, analysis.forms), std::move(sheets.orders));
    }
}

} // namespace

Analysis analyse(ReportTables& tables, const AnalysisInputs& inputs) {
    Analysis analysis;
    analysis.checks = sheet_checks(tables);
    if (inputs.sheet_scores || inputs.class_list || inputs.grades)
        analysis.sheets = sheet_scores(tables, inputs.grades);
    if (inputs.grades) {
        analysis.grades = *inputs.grades;
        analysis.grade_counts.assign(analysis.grades.size(), 0);
        for (const SheetScore& sheet : analysis.sheets)
            if (sheet.grade != NO_GRADE)
                ++analysis.grade_counts[static_cast<std::size_t>(sheet.grade)];
    }
    if (inputs.class_list) {
        // Their findings' kinds come after the report's own.
        analysis.class_list =
            match_class_list(*inputs.class_list, tables.identities, analysis.checks);
    }
    // The screen reads every form's answers before they are released below.
    if (inputs.similarity)
        analysis.similarity =
            screen_similarity(tables, *inputs.similarity, inputs.class_list,
                              analysis.class_list ? &*analysis.class_list : nullptr);
    // The whole exam is made of the forms' answers and sums: they are kept
    // for it.
    const bool whole_exam = inputs.versions != nullptr || inputs.tags != nullptr;
    std::vector<QuestionTallies> form_sums(tables.forms.size());
    // Each form's Rasch counts, kept for the whole exam's.
    std::vector<RaschCounts> form_counts(whole_exam && inputs.rasch ? tables.forms.size() : 0);
    for (std::size_t f = 0; f < tables.forms.size(); ++f) {
        FormScores& scores = tables.forms[f];
        FormAnalysis form;
        form.form = scores.form;
        form.test = test_statistics(scores.matrix);
        std::vector<ItemStatistics> items = item_statistics(scores.matrix, form_sums[f]);
        for (std::size_t i = 0; i < items.size(); ++i)
            form.questions.push_back({scores.question_numbers[i], std::move(items[i])});
        form.percent_of_score = percent_of_scores(form.test.items);
        if (inputs.rasch) {
            RaschCounts counts = rasch_counts(scores.matrix);
            form.rasch = rasch_analysis(counts, scores.question_numbers);
            if (f < form_counts.size()) form_counts[f] = std::move(counts);
        }
        if (!whole_exam) {
            scores.matrix.cells = ByteArray();
            form_sums[f] = QuestionTallies();
        }
        analysis.forms.push_back(std::move(form));
    }
    if (whole_exam) {
        analyse_exam(tables, inputs, form_sums, form_counts, analysis);
        for (FormScores& scores : tables.forms) scores.matrix.cells = ByteArray();
    }
    return analysis;
}

} // namespace quillmark
