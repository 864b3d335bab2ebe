#include "analyze/fix_options.h"

#include <cstdio>

#include "analyze/display_rules.h"

namespace quillmark {

std::string fix_options(const Analysis& analysis) {
    std::string text = "# Written by quillmark-analyze: each question below may be keyed wrong.\n";
    for (const FormAnalysis& form : analysis.forms)
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            if (item.flag != ItemFlag::key_error) continue;
            text += "# form " + std::string(1, form.form) + " question " +
                    std::to_string(question.question) + ": the key's";
            for (const OptionStatistics& option : item.options)
                if (option.key)
                    text += std::string(" ") + option.option + " has point-biserial " +
                            figure_text(option.point_biserial, NONE_LABEL) + ",";
            for (const OptionStatistics& option : item.options)
                if (option.option == item.key_error)
                    text += std::string(" ") + option.option + " has " +
                            figure_text(option.point_biserial, NONE_LABEL);
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
