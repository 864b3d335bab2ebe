#include "analyze/analysis.h"

#include <utility>

#include "analyze/versions.h"
#include "keys/report_layout.h"

namespace quillmark {

namespace {

// The per-cent score of every raw score from 0 to `items`, as the grader
// works it out.
std::vector<long double> percent_of_scores(std::int32_t items) {
    std::vector<long double> percent;
    for (std::int32_t raw = 0; raw <= items; ++raw) percent.push_back(percent_score(raw, items));
    return percent;
}

// The figures of one table of answers whose columns are the questions
// `numbers`, and the sums they come from.
FormAnalysis form_analysis(char letter, const ResponseMatrix& matrix,
                           const std::vector<std::int32_t>& numbers, QuestionTallies& sums) {
    FormAnalysis form;
    form.form = letter;
    form.test = test_statistics(matrix);
    std::vector<ItemStatistics> items = item_statistics(matrix, sums);
    for (std::size_t i = 0; i < items.size(); ++i)
        form.questions.push_back({numbers[i], std::move(items[i])});
    form.percent_of_score = percent_of_scores(form.test.items);
    return form;
}

} // namespace

Analysis analyse(ReportTables& tables) { return analyse(tables, nullptr, nullptr); }

Analysis analyse(ReportTables& tables, const VersionMap* versions, const TagList* tags) {
    Analysis analysis;
    analysis.checks = sheet_checks(tables);
    const bool whole_exam = versions != nullptr || tags != nullptr;
    std::vector<QuestionTallies> form_sums(tables.forms.size());
    for (std::size_t f = 0; f < tables.forms.size(); ++f) {
        FormScores& scores = tables.forms[f];
        analysis.forms.push_back(form_analysis(scores.form, scores.matrix, scores.question_numbers, form_sums[f]));
        // The whole exam is made of the forms' answers and sums: they are
        // kept for it.
        if (!whole_exam) {
            scores.matrix.cells = ByteArray();
            form_sums[f] = QuestionTallies();
        }
    }
    if (!whole_exam) return analysis;

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
    }
    if (tags) {
        const std::vector<std::vector<std::size_t>> columns = tag_columns(*tags, layout.masters);
        std::vector<std::uint16_t> scores = exam_right_sums(tables, layout, sheets, columns);
        analysis.tags = tag_scores(*tags, columns, std::move(scores), exam_right_counts(layout, analysis.forms),
                                   std::move(sheets.orders));
    }
    for (FormScores& scores : tables.forms) scores.matrix.cells = ByteArray();
    return analysis;
}

std::string form_label(char form) { return form == WHOLE_EXAM ? "all" : std::string(1, form); }

std::string flag_text(const ItemStatistics& item) {
    std::string text = item.flag;
    if (item.key_error != 0) text += item.key_error;
    return text;
}

} // namespace quillmark
