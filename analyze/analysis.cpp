#include "analyze/analysis.h"

#include <utility>

#include "analyze/versions.h"
#include "keys/report_layout.h"

namespace quillmark {

namespace {

// The figures of one table of answers whose columns are the questions
// `numbers`.
FormAnalysis form_analysis(char letter, const ResponseMatrix& matrix,
                           const std::vector<std::int32_t>& numbers) {
    FormAnalysis form;
    form.form = letter;
    form.test = test_statistics(matrix);
    std::vector<ItemStatistics> items = item_statistics(matrix);
    for (std::size_t i = 0; i < items.size(); ++i)
        form.questions.push_back({numbers[i], std::move(items[i])});
    for (std::int32_t raw = 0; raw <= form.test.items; ++raw)
        form.percent_of_score.push_back(percent_score(raw, form.test.items));
    return form;
}

// The Orders of the sheets that the forms' tables hold, ascending.
std::vector<std::int32_t> scored_orders(const ReportTables& tables) {
    bool analysed[NUM_FORMS] = {};
    for (const FormScores& form : tables.forms) analysed[form_index(form.form)] = true;
    std::vector<std::int32_t> orders;
    for (std::size_t r = 0; r < tables.identities.size(); ++r) {
        const SheetIdentity& row = tables.identities[r];
        if (row.scored != 0 && form_index(row.form) >= 0 && analysed[form_index(row.form)])
            orders.push_back(static_cast<std::int32_t>(r) + 1);
    }
    return orders;
}

} // namespace

Analysis analyse(ReportTables& tables) { return analyse(tables, nullptr, nullptr); }

Analysis analyse(ReportTables& tables, const VersionMap* versions, const TagList* tags) {
    Analysis analysis;
    analysis.checks = sheet_checks(tables);
    const bool whole_exam = versions != nullptr || tags != nullptr;
    for (FormScores& scores : tables.forms) {
        analysis.forms.push_back(form_analysis(scores.form, scores.matrix, scores.question_numbers));
        // The whole exam is made of the forms' answers: they are kept for it.
        if (!whole_exam) scores.matrix.cells = ByteArray();
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
    std::vector<std::int32_t> orders = scored_orders(tables);
    const ResponseMatrix exam = exam_matrix(tables, layout);
    if (versions && !layout.masters.empty()) {
        analysis.exam = form_analysis(WHOLE_EXAM, exam, layout.masters);
        analysis.exam_versions = layout.places;
    }
    if (tags) analysis.tags = tag_scores(*tags, exam, layout.masters, std::move(orders));
    return analysis;
}

std::string form_label(char form) { return form == WHOLE_EXAM ? "all" : std::string(1, form); }

std::string flag_text(const ItemStatistics& item) {
    std::string text = item.flag;
    if (item.key_error != 0) text += item.key_error;
    return text;
}

} // namespace quillmark
