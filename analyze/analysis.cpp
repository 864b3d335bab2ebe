#include "analyze/analysis.h"

#include <utility>

#include "report/report_layout.h"

namespace quillmark {

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
    if (inputs.similarity)
        analysis.similarity =
            screen_similarity(tables, *inputs.similarity, inputs.class_list,
                              analysis.class_list ? &*analysis.class_list : nullptr);
    for (FormScores& scores : tables.forms) {
        FormAnalysis form;
        form.form = scores.form;
        form.test = test_statistics(scores.matrix);
        std::vector<ItemStatistics> items = item_statistics(scores.matrix);
        for (std::size_t i = 0; i < items.size(); ++i)
            form.questions.push_back({scores.question_numbers[i], std::move(items[i])});
        for (std::int32_t raw = 0; raw <= form.test.items; ++raw)
            form.percent_of_score.push_back(percent_score(raw, form.test.items));
        if (inputs.rasch)
            form.rasch = rasch_analysis(rasch_counts(scores.matrix), scores.question_numbers);
        scores.matrix.cells = ByteArray();
        analysis.forms.push_back(std::move(form));
    }
    return analysis;
}

} // namespace quillmark
