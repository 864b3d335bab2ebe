#include "analyze/analysis_json.h"

#include <charconv>

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

// A form's figures; `versions`, for the whole exam, tells where each of
// its questions stands on each form.
json form_json(const FormAnalysis& form,
               const std::vector<std::vector<VersionPlace>>* versions = nullptr) {
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
    if (form.rasch) result["rasch"] = rasch_json(form, *form.rasch);
    return result;
}

// A list of whole numbers on one line: "[1,2,3]".
template <typename Value> void append_numbers(std::string& text, std::size_t count, Value value) {
    text += '[';
    char number[16];
    for (std::size_t i = 0; i < count; ++i) {
        char* end = std::to_chars(number, number + sizeof number, value(i)).ptr;
        if (i > 0) text += ',';
        text.append(number, static_cast<std::size_t>(end - number));
    }
    text += ']';
}

// The "tags" member, each sheet's scores as lists on one line: a sheet's
// numbers are written straight into the text, not held as a JSON value
// each, so that a million sheets take megabytes, not hundreds.
void append_tags(std::string& text, const TagScores& scores) {
    const std::size_t sheets = scores.orders().size();
    // Room for every number: an Order of up to 7 digits, a score of up to 4,
    // each with its comma.
    text.reserve(text.size() + sheets * (8 + 5 * scores.summaries().size()) + 4096);
    text += "{\n  \"orders\": ";
    append_numbers(text, sheets, [&](std::size_t s) { return scores.orders()[s]; });
    text += ",\n  \"tags\": [";
    for (std::size_t t = 0; t < scores.summaries().size(); ++t) {
        const TagSummary& tag = scores.summaries()[t];
        const json summary = {
            {"tag", tag.tag},
            {"questions", tag.questions},
            {"sheets", tag.sheets},
            {"mean", number(tag.mean)},
            {"mean_percent", figure(tag.mean_percent)},
            {"std_dev", number(tag.std_dev)},
            {"kr20", figure(tag.kr20)},
        };
        std::string object = summary.dump(-1, ' ', false, json::error_handler_t::replace);
        object.pop_back(); // its closing brace, after which the scores come
        text += t == 0 ? "\n   " : ",\n   ";
        text += object + ",\"scores\":";
        append_numbers(text, sheets, [&](std::size_t s) { return scores.score(s, t); });
        text += '}';
    }
    text += "\n  ]\n }";
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
    if (analysis.exam) document["all"] = form_json(*analysis.exam, &analysis.exam_versions);
    if (analysis.similarity) document["similarity"] = similarity_json(*analysis.similarity);
    std::string text = document.dump(1, ' ', false, json::error_handler_t::replace);
    if (analysis.tags) {
        // The last member, where the document's keys in order put it.
        text.resize(text.size() - 2); // "\n}"
        text += ",\n \"tags\": ";
        append_tags(text, *analysis.tags);
        text += "\n}";
    }
    text += '\n';
    return text;
}

} // namespace quillmark
