#include "analyze/analysis_report.h"

#include <cmath>

#include "numerics/histogram.h"

namespace quillmark {

namespace {

// An optional figure with three decimals, or an empty cell.
void print_optional(std::FILE* out, const std::optional<long double>& value) {
    std::fprintf(out, ",");
    if (value) std::fprintf(out, "%.3f", static_cast<double>(*value));
}

} // namespace

void print_form_tables(std::FILE* out, const FormScores& form) {
    const TestStatistics test = test_statistics(form.matrix);
    std::fprintf(out, "Form,Sheets,Questions,Mean,Median,\"Std dev\",Lowest,Highest,KR-20,SEM\n");
    std::fprintf(out, "%c,%d,%d,%.3f,%.3f,%.3f,%d,%d", form.form, test.sheets, test.items,
                 static_cast<double>(test.mean), static_cast<double>(test.median),
                 static_cast<double>(test.std_dev), test.lowest, test.highest);
    print_optional(out, test.kr20);
    print_optional(out, test.sem);
    std::fprintf(out, "\n\n");

    const std::vector<ItemStatistics> items = item_statistics(form.matrix);
    std::fprintf(out, "Form,Question,Difficulty,\"Point-biserial\",\"Upper-lower\",Flag\n");
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ItemStatistics& item = items[i];
        std::fprintf(out, "%c,%d,%.3f", form.form, form.question_numbers[i],
                     static_cast<double>(item.difficulty));
        print_optional(out, item.point_biserial);
        print_optional(out, item.discrimination);
        if (item.flag[0] != '\0')
            std::fprintf(out, ",\"%s\"\n", item.flag);
        else
            std::fprintf(out, ",\n");
    }
    std::fprintf(out, "\n");
}

std::vector<long double> histogram_scores(const std::vector<long double>& percent_scores) {
    std::vector<long double> values(percent_scores);
    for (long double& value : values)
        if (value >= 100) value = std::nextafter(100.0L, 0.0L);
    return values;
}

void print_score_histogram(std::FILE* err, const FormScores& form) {
    const std::vector<long double> values = histogram_scores(form.percent_scores);
    std::fprintf(err, "Form %c: %% scores\n", form.form);
    histogram_print(err, values.data(), static_cast<std::int32_t>(values.size()), nullptr, 0, 0,
                    100, 10);
}

} // namespace quillmark
