#include "analyze/analysis.h"

#include <utility>

#include "report/report_layout.h"

namespace quillmark {

Analysis analyse(ReportTables& tables) {
    Analysis analysis;
    analysis.checks = sheet_checks(tables);
    for (FormScores& scores : tables.forms) {
        FormAnalysis form;
        form.form = scores.form;
        form.test = test_statistics(scores.matrix);
        std::vector<ItemStatistics> items = item_statistics(scores.matrix);
        for (std::size_t i = 0; i < items.size(); ++i)
            form.questions.push_back({scores.question_numbers[i], std::move(items[i])});
        for (std::int32_t raw = 0; raw <= form.test.items; ++raw)
            form.percent_of_score.push_back(percent_score(raw, form.test.items));
        scores.matrix.cells = ByteArray();
        analysis.forms.push_back(std::move(form));
    }
    return analysis;
}

std::string flag_text(const ItemStatistics& item) {
    std::string text = item.flag;
    if (item.key_error != 0) text += item.key_error;
    return text;
}

} // namespace quillmark
