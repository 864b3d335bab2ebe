#include "analyze/analysis_json.h"

#include <nlohmann/json.hpp>

#include "analyze/display_rules.h"
#include "analyze/rasch_output.h"

namespace quillmark {

namespace {

using nlohmann::json;

json figure(const std::optional<long double>& value) {
    return value ? json(static_cast<double>(*value)) : json(nullptr);
}

json number(long double value) { return json(static_cast<double>(value)); }

json form_json(const FormAnalysis& form) {
    const TestStatistics& test = form.test;
    json result = {
        {"form", std::string(1, form.form)},
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
    for (const QuestionAnalysis& question : form.questions) {
        const ItemStatistics& item = question.statistics;
        json options = json::array();
        for (const OptionStatistics& option : item.options)
            options.push_back({
                {"option", option_label(option.option)},
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
            {"key_error",
             item.key_error != 0 ? json(std::string(1, item.key_error)) : json(nullptr)},
            {"options", std::move(options)},
        });
    }
    result["items"] = std::move(items);
    if (form.rasch) result["rasch"] = rasch_json(form, *form.rasch);
    return result;
}

json similarity_json(const SimilarityScreen& screen) {
    json pairs = json::array();
    for (const SimilarPair& pair : screen.pairs) {
        const PairEvidence& e = pair.evidence;
        pairs.push_back({
            {"form", std::string(1, pair.form)},
            {"room", screen.rooms == RoomMode::form ? json(nullptr) : json(pair.room)},
            {"student_id", pair.student_id},
            {"other_id", pair.other_id},
            {"order", pair.order},
            {"other_order", pair.other_order},
            {"score", e.copier_score},
            {"other_score", e.source_score},
            {"matches", e.matches},
            {"expected_matches", e.expected_matches},
            {"identical_wrong", e.identical_wrong},
            {"expected_identical_wrong", e.expected_identical_wrong},
            {"longest_run", e.run},
            {"run_first", e.run > 0 ? json(pair.run_first_question) : json(nullptr)},
            {"run_last", e.run > 0 ? json(pair.run_last_question) : json(nullptr)},
            {"p_weighted", e.p_weighted},
            {"p_run", e.p_run},
            {"p", e.p},
            {"adjusted_p", pair.adjusted},
            {"student_flags", pair.student_flags},
            {"other_flags", pair.other_flags},
            {"list", pair.exploratory ? "exploratory" : "family-wise"},
        });
    }
    return {
        {"rooms", screen.rooms == RoomMode::form   ? "form"
                  : screen.rooms == RoomMode::exam ? "exam"
                                                   : "column"},
        {"room_column",
         screen.rooms == RoomMode::class_list ? json(screen.room_heading) : json(nullptr)},
        {"exploratory", screen.exploratory},
        {"ordered_pairs", screen.ordered_pairs},
        {"evaluated", screen.evaluated},
        {"pairs", std::move(pairs)},
    };
}

} // namespace

std::string analysis_json(const Analysis& analysis) {
    json forms = json::array();
    for (const FormAnalysis& form : analysis.forms) forms.push_back(form_json(form));
    json checks = json::array();
    for (const SheetCheck& check : analysis.checks)
        checks.push_back({
            {"check", check_name(check.kind)},
            {"form", check.form != 0 ? json(check_form_text(check)) : json(nullptr)},
            {"order", check.order > 0 ? json(check.order) : json(nullptr)},
            {"student_id",
             check.order > 0 || !check.student_id.empty() ? json(check.student_id) : json(nullptr)},
            {"detail", check.detail},
        });
    json document = {{"forms", std::move(forms)}, {"checks", std::move(checks)}};
    if (analysis.similarity) document["similarity"] = similarity_json(*analysis.similarity);
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace quillmark
