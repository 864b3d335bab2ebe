#include "analyze/analysis_report.h"

#include <cmath>

#include "numerics/histogram.h"

namespace quillmark {

namespace {

// An optional figure with three decimals, or an empty cell.
void print_optional(std::FILE* out, const std::optional<long double>& value) {
    std::fputc(',', out);
    if (value) std::fprintf(out, "%.3f", static_cast<double>(*value));
}

// A text in a quoted cell, its quotes doubled.
void print_quoted(std::FILE* out, const std::string& text) {
    std::fputc('"', out);
    for (char c : text) {
        if (c == '"') std::fputc('"', out);
        std::fputc(c, out);
    }
    std::fputc('"', out);
}

} // namespace

void print_form_tables(std::FILE* out, const FormAnalysis& form) {
    const TestStatistics& test = form.test;
    std::fprintf(out, "Form,Sheets,Questions,Mean,Median,\"Std dev\",Lowest,Highest,KR-20,SEM,"
                      "Skewness,Kurtosis\n");
    const std::string label = form_label(form.form);
    std::fprintf(out, "%s,%d,%d,%.3f,%.3f,%.3f,%d,%d", label.c_str(), test.sheets, test.items,
                 static_cast<double>(test.mean), static_cast<double>(test.median),
                 static_cast<double>(test.std_dev), test.lowest, test.highest);
    print_optional(out, test.kr20);
    print_optional(out, test.sem);
    print_optional(out, test.skewness);
    print_optional(out, test.kurtosis);
    std::fprintf(out, "\n\n");

    std::fprintf(out, "Form,Question,Difficulty,\"Point-biserial\",\"Upper-lower\",Flag\n");
    for (const QuestionAnalysis& question : form.questions) {
        const ItemStatistics& item = question.statistics;
        std::fprintf(out, "%s,%d,%.3f", label.c_str(), question.question,
                     static_cast<double>(item.difficulty));
        print_optional(out, item.point_biserial);
        print_optional(out, item.discrimination);
        std::fputc(',', out);
        const std::string flag = flag_text(item);
        if (!flag.empty()) print_quoted(out, flag);
        std::fputc('\n', out);
    }
    std::fprintf(out, "\n");

    std::fprintf(out, "Form,Question,Option,Key,Count,Share,Upper,Lower,\"Point-biserial\"\n");
    for (const QuestionAnalysis& question : form.questions)
        for (const OptionStatistics& option : question.statistics.options) {
            std::fprintf(out, "%s,%d,", label.c_str(), question.question);
            if (option.option != 0)
                std::fputc(option.option, out);
            else
                std::fputs("none", out);
            std::fprintf(out, ",%s,%d,%.3f", option.key ? "key" : "", option.count,
                         static_cast<double>(option.share));
            print_optional(out, option.upper);
            print_optional(out, option.lower);
            print_optional(out, option.point_biserial);
            std::fputc('\n', out);
        }
    std::fprintf(out, "\n");
}

void print_checks_table(std::FILE* out, const std::vector<SheetCheck>& checks) {
    std::fprintf(out, "Check,Form,Order,\"Student ID\",Detail\n");
    for (const SheetCheck& check : checks) {
        print_quoted(out, check_name(check.kind));
        std::fputc(',', out);
        print_quoted(out, std::string(1, check.form));
        std::fputc(',', out);
        if (check.order > 0) {
            std::fprintf(out, "%d,", check.order);
            print_quoted(out, check.student_id);
        } else {
            std::fputc(',', out);
        }
        std::fputc(',', out);
        print_quoted(out, check.detail);
        std::fputc('\n', out);
    }
}

std::vector<long double> histogram_scores(const FormAnalysis& form) {
    std::vector<long double> values;
    values.reserve(static_cast<std::size_t>(form.test.sheets));
    for (std::size_t raw = 0; raw < form.test.score_counts.size(); ++raw) {
        long double value = form.percent_of_score[raw];
        if (value >= 100) value = std::nextafter(100.0L, 0.0L);
        values.insert(values.end(), static_cast<std::size_t>(form.test.score_counts[raw]), value);
    }
    return values;
}

void print_score_histogram(std::FILE* err, const FormAnalysis& form) {
    const std::vector<long double> values = histogram_scores(form);
    std::fprintf(err, "Form %s: %% scores\n", form_label(form.form).c_str());
    histogram_print(err, values.data(), static_cast<std::int32_t>(values.size()), nullptr, 0, 0,
                    100, 10);
}

void print_check_counts(std::FILE* err, const std::vector<SheetCheck>& checks, bool keys_checked) {
    std::int32_t counts[CHECK_KINDS] = {};
    for (const SheetCheck& check : checks) ++counts[static_cast<int>(check.kind)];
    for (int kind = 0; kind < CHECK_KINDS; ++kind)
        if (keys_checked || static_cast<CheckKind>(kind) != CheckKind::keys_disagree)
            std::fprintf(err, "%d %s\n", counts[kind], check_name(static_cast<CheckKind>(kind)));
}

void print_tag_table(std::FILE* out, const TagScores& tags) {
    std::fprintf(out, "Tag,Questions,Sheets,Mean,\"Mean %%\",\"Std dev\",KR-20\n");
    for (const TagSummary& tag : tags.summaries()) {
        print_quoted(out, tag.tag);
        std::fprintf(out, ",%d,%d,%.3f", tag.questions, tag.sheets, static_cast<double>(tag.mean));
        print_optional(out, tag.mean_percent);
        std::fprintf(out, ",%.3f", static_cast<double>(tag.std_dev));
        print_optional(out, tag.kr20);
        std::fputc('\n', out);
    }
    std::fprintf(out, "\n");
}

} // namespace quillmark
