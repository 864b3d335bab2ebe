#include "analyze/fix_options.h"

#include <cstdio>
#include <set>

#include "analyze/display_rules.h"

namespace quillmark {

namespace {

// ": the key's B has point-biserial 0.120, C has 0.410": the evidence of a
// possible key error.
std::string evidence_text(const ItemStatistics& item) {
    std::string text = ": the key's";
    for (const OptionStatistics& option : item.options)
        if (option.key)
            text += std::string(" ") + option.option + " has point-biserial " +
                    figure_text(option.point_biserial, NONE_LABEL) + ",";
    for (const OptionStatistics& option : item.options)
        if (option.option == item.key_error)
            text += std::string(" ") + option.option + " has " +
                    figure_text(option.point_biserial, NONE_LABEL);
    return text;
}

// The option lines that make `letters` the only answers a question of a
// form accepts ("alta:12C", then "alta:12+D" for each further letter), or
// drop it when there are none ("alta:12X"). A letter after P, which no key
// accepts, gets a comment that says so instead; so does a form without
// such options, whose comment says to correct its key sheet.
std::string amend_lines(char form, std::int32_t question, const std::string& letters) {
    for (char letter : letters)
        if (letter > LAST_KEY_LETTER)
            return std::string("# ") + letter +
                   " comes after P: no key accepts it, so no option can make it the answer\n";
    if (!has_amend_option(form))
        return "# no option amends the key of form " + std::string(1, form) +
               ": correct its key sheet instead\n";
    const char option = static_cast<char>(form - 'A' + 'a');
    char line[32];
    if (letters.empty()) {
        std::snprintf(line, sizeof line, "alt%c:%dX\n", option, question);
        return line;
    }
    std::string text;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        std::snprintf(line, sizeof line, i == 0 ? "alt%c:%d%c\n" : "alt%c:%d+%c\n", option,
                      question, letters[i]);
        text += line;
    }
    return text;
}

} // namespace

std::string fix_options(const Analysis& analysis) {
    std::string text = "# Written by quillmark-analyze: each question below may be keyed wrong.\n";
    // A form's own key error and the keys across versions may suggest the
    // same lines for one question: they are written once.
    std::set<std::string> written;
    const auto amend = [&](char form, std::int32_t question, const std::string& letters) {
        const std::string lines = amend_lines(form, question, letters);
        if (lines[0] == '#' || written.insert(lines).second)
            text += lines;
        else
            text += "# the option lines for it are the same as above\n";
    };
    for (const FormAnalysis& form : analysis.forms)
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            if (item.flag != ItemFlag::key_error) continue;
            text += "# form " + std::string(1, form.form) + " question " +
                    std::to_string(question.question) + evidence_text(item) + "\n";
            amend(form.form, question.question, std::string(1, item.key_error));
        }
    if (analysis.exam)
        for (std::size_t j = 0; j < analysis.exam->questions.size(); ++j) {
            const QuestionAnalysis& question = analysis.exam->questions[j];
            const ItemStatistics& item = question.statistics;
            if (item.flag != ItemFlag::key_error) continue;
            text += "# all forms, master question " + std::to_string(question.question) +
                    evidence_text(item) + "\n";
            for (const VersionPlace& place : analysis.exam_versions[j])
                amend(place.form, place.question,
                      std::string(1, version_letter(item.key_error, place.options)));
        }
    for (const KeyAmendment& amendment : analysis.key_amendments) {
        text += "# form " + std::string(1, amendment.form) + " question " +
                std::to_string(amendment.question) + ": keys disagree: " + amendment.detail + "\n";
        amend(amendment.form, amendment.question, amendment.accept);
    }
    return text;
}

} // namespace quillmark
