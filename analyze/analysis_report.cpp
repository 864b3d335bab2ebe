#include "analyze/analysis_report.h"

#include <cmath>

#include "analyze/csv_cell.h"
#include "analyze/display_rules.h"
#include "analyze/rasch_output.h"
#include "numerics/histogram.h"

namespace quillmark {

namespace {

// A figure after a comma.
void print_cell(std::FILE* out, long double value) {
    std::fputc(',', out);
    print_figure(out, value);
}

// An optional figure after a comma, or an empty cell.
void print_optional(std::FILE* out, const std::optional<long double>& value) {
    std::fputc(',', out);
    if (value) print_figure(out, *value);
}

} // namespace

void print_form_tables(std::FILE* out, const FormAnalysis& form) {
    const TestStatistics& test = form.test;
    std::fprintf(out,
                 "Form,Sheets,Questions,Mean,Median,\"Std dev\",Lowest,Highest,KR-20,SEM,"
                 "Skewness,Kurtosis\n");
    const std::string label = form_label(form.form);
    std::fprintf(out, "%s,%d,%d", label.c_str(), test.sheets, test.items);
    print_cell(out, test.mean);
    print_cell(out, test.median);
    print_cell(out, test.std_dev);
    std::fprintf(out, ",%d,%d", test.lowest, test.highest);
    print_optional(out, test.kr20);
    print_optional(out, test.sem);
    print_optional(out, test.skewness);
    print_optional(out, test.kurtosis);
    std::fprintf(out, "\n\n");

    std::fprintf(out, "Form,Question,Difficulty,\"Point-biserial\",\"Upper-lower\",Flag\n");
    for (const QuestionAnalysis& question : form.questions) {
        const ItemStatistics& item = question.statistics;
        std::fprintf(out, "%s,%d", label.c_str(), question.question);
        print_cell(out, item.difficulty);
        print_optional(out, item.point_biserial);
        print_optional(out, item.discrimination);
        std::fputc(',', out);
        const std::string flag = flag_text(item);
        if (!flag.empty()) print_text_cell(out, flag);
        std::fputc('\n', out);
    }
    std::fprintf(out, "\n");

    std::fprintf(out, "Form,Question,Option,Key,Count,Share,Upper,Lower,\"Point-biserial\"\n");
    for (const QuestionAnalysis& question : form.questions)
        for (const OptionStatistics& option : question.statistics.options) {
            std::fprintf(out, "%s,%d,%s,%s,%d", label.c_str(), question.question,
                         option_label(option.option).c_str(), option.key ? "key" : "",
                         option.count);
            print_cell(out, option.share);
            print_optional(out, option.upper);
            print_optional(out, option.lower);
            print_optional(out, option.point_biserial);
            std::fputc('\n', out);
        }
    std::fprintf(out, "\n");
    if (form.rasch) print_rasch_tables(out, form, *form.rasch);
}

void print_checks_table(std::FILE* out, const std::vector<SheetCheck>& checks) {
    std::fprintf(out, "Check,Form,Order,\"Student ID\",Detail\n");
    for (const SheetCheck& check : checks) {
        print_text_cell(out, check_name(check.kind));
        std::fputc(',', out);
        if (check.form != 0) print_text_cell(out, check_form_text(check));
        std::fputc(',', out);
        if (check.order > 0) std::fprintf(out, "%d", check.order);
        std::fputc(',', out);
        if (check.order > 0 || !check.student_id.empty()) print_text_cell(out, check.student_id);
        std::fputc(',', out);
        print_text_cell(out, check.detail);
        std::fputc('\n', out);
    }
}

void print_similarity_table(std::FILE* out, const SimilarityScreen& screen) {
    std::fprintf(
        out,
        "Form,Room,\"Student ID\",\"Other ID\",Order,\"Other order\",Score,\"Other score\","
        "Matches,\"Expected matches\",\"Identical wrong\",\"Expected identical wrong\","
        "\"Longest run\",\"Run first\",\"Run last\",\"P weighted\",\"P run\",P,"
        "\"Adjusted P\",\"Student flags\",\"Other flags\",List\n");
    for (const SimilarPair& pair : screen.pairs) {
        const PairEvidence& e = pair.evidence;
        std::fprintf(out, "%c,", pair.form);
        if (!pair.room.empty()) print_text_cell(out, pair.room);
        std::fputc(',', out);
        print_text_cell(out, pair.student_id);
        std::fputc(',', out);
        print_text_cell(out, pair.other_id);
        std::fprintf(out, ",%d,%d,%d,%d,%d,%.3f,%d,%.3f,%d,", pair.order, pair.other_order,
                     e.copier_score, e.source_score, e.matches, e.expected_matches,
                     e.identical_wrong, e.expected_identical_wrong, e.run);
        if (e.run > 0)
            std::fprintf(out, "%d,%d", pair.run_first_question, pair.run_last_question);
        else
            std::fputc(',', out);
        std::fprintf(out, ",%s,%s,%s,%s,%d,%d,%s\n", scientific(e.p_weighted).c_str(),
                     scientific(e.p_run).c_str(), scientific(e.p).c_str(),
                     scientific(pair.adjusted).c_str(), pair.student_flags, pair.other_flags,
                     pair.exploratory ? "exploratory" : "family-wise");
    }
}

void print_similarity_counts(std::FILE* err, const SimilarityScreen& screen) {
    std::int64_t family_wise = 0;
    for (const SimilarPair& pair : screen.pairs) family_wise += pair.exploratory ? 0 : 1;
    std::fprintf(err, "%lld pairs to look at (1%% family-wise)",
                 static_cast<long long>(family_wise));
    if (screen.exploratory)
        std::fprintf(err, ", %lld more on the exploratory list (5%% false discoveries)",
                     static_cast<long long>(static_cast<std::int64_t>(screen.pairs.size()) -
                                            family_wise));
    std::fprintf(err, "; %lld ordered pairs compared, %lld of them in full\n",
                 static_cast<long long>(screen.ordered_pairs),
                 static_cast<long long>(screen.evaluated));
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

void print_check_counts(std::FILE* err, const std::vector<SheetCheck>& checks, bool class_list,
                        bool keys_checked) {
    std::int32_t counts[CHECK_KINDS] = {};
    for (const SheetCheck& check : checks) ++counts[static_cast<int>(check.kind)];
    auto print = [&](int kind) {
        std::fprintf(err, "%d %s\n", counts[kind], check_name(static_cast<CheckKind>(kind)));
    };
    for (int kind = 0; kind < SHEET_CHECK_KINDS; ++kind) print(kind);
    if (class_list)
        for (int kind = SHEET_CHECK_KINDS; kind < CLASS_LIST_CHECK_END; ++kind) print(kind);
    if (keys_checked) print(static_cast<int>(CheckKind::keys_disagree));
}

void print_tag_table(std::FILE* out, const TagScores& tags) {
    std::fprintf(out, "Tag,Questions,Sheets,Mean,\"Mean %%\",\"Std dev\",KR-20\n");
    for (const TagSummary& tag : tags.summaries()) {
        print_text_cell(out, tag.tag);
        std::fprintf(out, ",%d,%d", tag.questions, tag.sheets);
        print_cell(out, tag.mean);
        print_optional(out, tag.mean_percent);
        print_cell(out, tag.std_dev);
        print_optional(out, tag.kr20);
        std::fputc('\n', out);
    }
    std::fputc('\n', out);
}

} // namespace quillmark
