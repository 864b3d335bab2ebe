#include "analyze/rasch_output.h"

#include "analyze/display_rules.h"

namespace quillmark {

namespace {

using nlohmann::json;

// A comma and an optional figure with the given decimals, or an empty cell.
void print_figure(std::FILE* out, const std::optional<long double>& value, int decimals) {
    std::fputc(',', out);
    if (value) std::fprintf(out, "%.*f", decimals, static_cast<double>(*value));
}

json figure(const std::optional<long double>& value) {
    return value ? json(static_cast<double>(*value)) : json(nullptr);
}

} // namespace

void print_rasch_tables(std::FILE* out, const FormAnalysis& form, const RaschAnalysis& rasch) {
    std::fprintf(out, "Form,Question,Measure,SE,Infit,Outfit,\"Infit Z\",\"Outfit Z\"\n");
    for (std::size_t i = 0; i < rasch.items.size(); ++i) {
        const RaschItem& item = rasch.items[i];
        std::fprintf(out, "%s,%d", form_label(form.form).c_str(), form.questions[i].question);
        print_figure(out, item.measure, 3);
        print_figure(out, item.se, 3);
        print_figure(out, item.infit, 3);
        print_figure(out, item.outfit, 3);
        print_figure(out, item.infit_z, 2);
        print_figure(out, item.outfit_z, 2);
        std::fputc('\n', out);
    }
    std::fprintf(out, "\n");

    std::fprintf(out, "Form,\"Raw score\",Measure,SE,Sheets\n");
    for (std::size_t raw = 0; raw < rasch.scores.size(); ++raw) {
        const RaschScore& score = rasch.scores[raw];
        std::fprintf(out, "%s,%d", form_label(form.form).c_str(), static_cast<int>(raw));
        print_figure(out, score.measure, 3);
        print_figure(out, score.se, 3);
        std::fprintf(out, ",%d\n", score.sheets);
    }
    std::fprintf(out, "\n");

    std::fprintf(out, "Form,Persons,Items,\"Person reliability\",\"Item reliability\"\n");
    std::fprintf(out, "%s,%d,%d", form_label(form.form).c_str(), rasch.persons, rasch.calibrated);
    print_figure(out, rasch.person_reliability, 3);
    print_figure(out, rasch.item_reliability, 3);
    std::fprintf(out, "\n\n");
}

json rasch_json(const FormAnalysis& form, const RaschAnalysis& rasch) {
    json questions = json::array();
    for (std::size_t i = 0; i < rasch.items.size(); ++i) {
        const RaschItem& item = rasch.items[i];
        questions.push_back({
            {"question", form.questions[i].question},
            {"measure", figure(item.measure)},
            {"se", figure(item.se)},
            {"infit", figure(item.infit)},
            {"outfit", figure(item.outfit)},
            {"infit_z", figure(item.infit_z)},
            {"outfit_z", figure(item.outfit_z)},
            {"note",
             item.note == RaschNote::none ? json(nullptr) : json(rasch_note_text(item.note))},
        });
    }
    json scores = json::array();
    for (std::size_t raw = 0; raw < rasch.scores.size(); ++raw) {
        const RaschScore& score = rasch.scores[raw];
        scores.push_back({
            {"raw_score", raw},
            {"measure", figure(score.measure)},
            {"se", figure(score.se)},
            {"sheets", score.sheets},
            {"extreme", score.extreme},
        });
    }
    return {
        {"persons", rasch.persons},
        {"items", rasch.calibrated},
        {"person_reliability", figure(rasch.person_reliability)},
        {"item_reliability", figure(rasch.item_reliability)},
        {"iterations", rasch.iterations},
        {"message", rasch.message.empty() ? json(nullptr) : json(rasch.message)},
        {"questions", std::move(questions)},
        {"scores", std::move(scores)},
    };
}

void print_rasch_notes(std::FILE* err, const FormAnalysis& form, const RaschAnalysis& rasch) {
    for (RaschNote note : {RaschNote::all_right, RaschNote::all_wrong}) {
        std::vector<std::int32_t> questions;
        for (std::size_t i = 0; i < rasch.items.size(); ++i)
            if (rasch.items[i].note == note) questions.push_back(form.questions[i].question);
        if (questions.empty()) continue;
        std::fprintf(err, "Form %s: not calibrated, %s: question%s", form_label(form.form).c_str(),
                     rasch_note_text(note), questions.size() > 1 ? "s" : "");
        for (std::size_t q = 0; q < questions.size(); ++q)
            std::fprintf(err, "%s%d", q > 0 ? ", " : " ", questions[q]);
        std::fputc('\n', err);
    }
    if (!rasch.message.empty())
        std::fprintf(err, "Form %s: no Rasch measures: %s\n", form_label(form.form).c_str(),
                     rasch.message.c_str());
}

} // namespace quillmark
