#include "analyze/fix_options.h"

#include <cstdio>

namespace quillmark {

namespace {

// The point-biserial as the tables show it, or "none" when undefined.
std::string correlation_text(const std::optional<long double>& value) {
    if (!value) return "none";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(*value));
    return text;
}

// The forms whose keys an option can amend: A to D (alta: to altd:).
bool has_amend_option(char form) { return form >= 'A' && form <= 'D'; }

} // namespace

std::string fix_options(const Analysis& analysis) {
    std::string text = "# Written by quillmark-analyze: each question below may be keyed wrong.\n";
    for (const FormAnalysis& form : analysis.forms)
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            if (item.key_error == 0) continue;
            text += "# form " + std::string(1, form.form) + " question " +
                    std::to_string(question.question) + ": the key's";
            for (const OptionStatistics& option : item.options)
                if (option.key)
                    text += std::string(" ") + option.option + " has point-biserial " +
                            correlation_text(option.point_biserial) + ",";
            for (const OptionStatistics& option : item.options)
                if (option.option == item.key_error)
                    text += std::string(" ") + option.option + " has " +
                            correlation_text(option.point_biserial);
            if (item.key_error > LAST_KEY_LETTER) {
                text += std::string("\n# ") + item.key_error +
                        " comes after P: no key accepts it, so no option can make it the "
                        "answer\n";
            } else if (has_amend_option(form.form)) {
                char line[32];
                std::snprintf(line, sizeof line, "\nalt%c:%d%c\n",
                              static_cast<char>(form.form - 'A' + 'a'), question.question,
                              item.key_error);
                text += line;
            } else {
                text += "\n# no option amends the key of form " + std::string(1, form.form) +
                        ": correct its key sheet instead\n";
            }
        }
    return text;
}

} // namespace quillmark
