#include "analyze/analysis_json.h"

#include <nlohmann/json.hpp>

namespace quillmark {

namespace {

using nlohmann::json;

json figure(const std::optional<long double>& value) {
    return value ? json(static_cast<double>(*value)) : json(nullptr);
}

json number(long double value) { return json(static_cast<double>(value)); }

// A form's figures; `versions`, for the whole exam, tells where each of
// its questions stands on each form.
json form_json(const FormAnalysis& form, const std::vector<std::vector<VersionPlace>>* versions = nullptr) {
    const TestStatistics& test = form.test;
    json result = {
        {"form", form_label(form.form)},
        {"sheets", test.sheets},
        {"questions", test.items},
        {"mean", number(test.mean)},
        {"median", number(test.median)},
        {"std_dev", number(test.std_dev)},
        {"lowest", test.lowest},
        {"highest", test.highest},
        {"kr20", figure(test.kr20)},
        {"sem", figure(test.sem)},
        {"skewness", figure(test.skewness)},
        {"kurtosis", figure(test.kurtosis)},
    };
    json items = json::array();
    for (std::size_t q = 0; q < form.questions.size(); ++q) {
        const QuestionAnalysis& question = form.questions[q];
        const ItemStatistics& item = question.statistics;
        json options = json::array();
        for (const OptionStatistics& option : item.options)
            options.push_back({
                {"option", option.option != 0 ? std::string(1, option.option) : "none"},
                {"key", option.key},
                {"count", option.count},
                {"share", number(option.share)},
                {"upper", figure(option.upper)},
                {"lower", figure(option.lower)},
                {"point_biserial", figure(option.point_biserial)},
            });
        const std::string flag = flag_text(item);
        items.push_back({
            {"question", question.question},
            {"correct", item.correct},
            {"difficulty", number(item.difficulty)},
            {"point_biserial", figure(item.point_biserial)},
            {"upper_lower", figure(item.discrimination)},
            {"flag", flag.empty() ? json(nullptr) : json(flag)},
            {"key_error", item.key_error != 0 ? json(std::string(1, item.key_error)) : json(nullptr)},
            {"options", std::move(options)},
        });
        if (versions) {
            json places = json::array();
            for (const VersionPlace& place : (*versions)[q])
                places.push_back({{"form", std::string(1, place.form)},
                                  {"question", place.question},
                                  {"options", place.options}});
            items.back()["versions"] = std::move(places);
        }
    }
    result["items"] = std::move(items);
    return result;
}

json tags_json(const TagScores& scores) {
    json tags = json::array();
    for (std::size_t t = 0; t < scores.summaries().size(); ++t) {
        const TagSummary& tag = scores.summaries()[t];
        json sheet_scores = json::array();
        for (std::size_t s = 0; s < scores.orders().size(); ++s) sheet_scores.push_back(scores.score(s, t));
        tags.push_back({
            {"tag", tag.tag},
            {"questions", tag.questions},
            {"sheets", tag.sheets},
            {"mean", number(tag.mean)},
            {"mean_percent", figure(tag.mean_percent)},
            {"std_dev", number(tag.std_dev)},
            {"kr20", figure(tag.kr20)},
            {"scores", std::move(sheet_scores)},
        });
    }
    return {{"orders", scores.orders()}, {"tags", std::move(tags)}};
}

} // namespace

std::string analysis_json(const Analysis& analysis) {
    json forms = json::array();
    for (const FormAnalysis& form : analysis.forms) forms.push_back(form_json(form));
    json checks = json::array();
    for (const SheetCheck& check : analysis.checks)
        checks.push_back({
            {"check", check_name(check.kind)},
            {"form", std::string(1, check.form)},
            {"order", check.order > 0 ? json(check.order) : json(nullptr)},
            {"student_id", check.order > 0 ? json(check.student_id) : json(nullptr)},
            {"detail", check.detail},
        });
    json document = {{"forms", std::move(forms)}, {"checks", std::move(checks)}};
    if (analysis.exam) document["all"] = form_json(*analysis.exam, &analysis.exam_versions);
    if (analysis.tags) document["tags"] = tags_json(*analysis.tags);
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace quillmark
