#include "analyze/analysis_html.h"

#include <cstdint>
#include <string>
#include <vector>

#include "analyze/display_rules.h"
#include "analyze/fix_options.h"
#include "analyze/page_charts.h"
#include "analyze/page_markup.h"

namespace quillmark {

namespace {

// The page's styles. Sizes are in rem and em so that the page follows the
// reader's font size; colours are the Okabe-Ito palette, which stays
// distinct for the common kinds of colour blindness, and every meaning that
// a colour carries is also told by a shape, a label or a text.
const char STYLE[] =
    ":root{--blue:#0072B2;--orange:#E69F00;--green:#009E73;--vermilion:#D55E00;"
    "--sky:#56B4E9;--grey:#767676}\n"
    "body{font-family:system-ui,-apple-system,\"Segoe UI\",Roboto,sans-serif;line-height:1.4;"
    "color:#111;background:#fff;max-width:64rem;margin:1rem auto;padding:0 1rem}\n"
    "h1{font-size:1.6rem;margin:.5rem 0}h2{font-size:1.35rem;margin:1.5rem 0 .5rem;"
    "border-bottom:.15rem solid var(--blue)}h3{font-size:1.1rem;margin:1rem 0 .3rem}\n"
    ".file{font-family:ui-monospace,monospace;overflow-wrap:anywhere}\n"
    "nav ul,.legend{list-style:none;padding:0;display:flex;flex-wrap:wrap;gap:.3rem 1.2rem}\n"
    "table{border-collapse:collapse;margin:.5rem 0}\n"
    "th,td{padding:.1rem .5rem;border-bottom:thin solid #ccc;text-align:right;"
    "vertical-align:middle}\n"
    "thead th{border-bottom:.1rem solid #111;vertical-align:bottom}\n"
    "td.text,th.text{text-align:left}\n"
    "caption{text-align:left;padding:.2rem 0}\n"
    "table.summary th{text-align:left;font-weight:normal}\n"
    "table.summary td{text-align:left}\n"
    "tr.flagged td.flag{font-weight:bold}\n"
    "tr.flagged th::before{content:\"\\25B2\\00A0\";color:var(--vermilion)}\n"
    "pre{background:#f4f4f4;border:thin solid #ccc;padding:.5rem;overflow-x:auto;"
    "white-space:pre-wrap;overflow-wrap:anywhere}\n"
    "figure{margin:1rem 0}figcaption{font-size:.9rem;color:#333}\n"
    "figure svg{width:100%;max-width:48rem;height:auto;display:block}\n"
    "svg text{font-family:inherit;font-size:.8rem;fill:#111}\n"
    "svg .axis{stroke:#111;stroke-width:1.2}svg .tick{stroke:#bbb;stroke-width:.6}\n"
    "svg .guide{stroke:var(--grey);stroke-width:1;stroke-dasharray:5 4}\n"
    "svg .guide-text{fill:#444;font-size:.7rem}\n"
    "svg .bar{fill:var(--sky);stroke:var(--blue);stroke-width:.6}\n"
    "svg .k-none{fill:var(--blue);stroke:#fff;stroke-width:.6}\n"
    "svg .k-key{fill:var(--vermilion);stroke:#111;stroke-width:.8}\n"
    "svg .k-neg{fill:var(--vermilion);stroke:#111;stroke-width:.8}\n"
    "svg .k-var{fill:#fff;stroke:#111;stroke-width:1.2}\n"
    "svg .k-edge{fill:var(--orange);stroke:#111;stroke-width:.8}\n"
    "svg .lab{font-size:.65rem;font-weight:bold}\n"
    "svg.opts{height:2em;vertical-align:middle;display:inline}\n"
    "svg.opts .key{font-weight:bold;text-decoration:underline}\n"
    "svg.opts .frame{fill:none;stroke:#111;stroke-width:1}\n"
    "svg.opts .u{fill:var(--blue)}svg.opts .l{fill:var(--orange)}\n"
    "svg.opts .track{fill:#eee}\n"
    "figure .legend svg{width:1.1em;height:1.1em;display:inline-block;vertical-align:middle}\n"
    ".note{font-size:.9rem;color:#333}\n"

    "@media print{body{max-width:none;margin:0;padding:0}nav{display:none}"
    "section.form{break-before:page}tr,figure,table.summary{break-inside:avoid}"
    "thead{display:table-header-group}h2,h3{break-after:avoid}"
    "*{print-color-adjust:exact;-webkit-print-color-adjust:exact}}\n"
    "@page{margin:1.5cm}\n";

// The styles of the Rasch charts, on a page that has them: the information
// curve solid blue, its standard error dashed vermilion.
const char RASCH_STYLE[] =
    "svg .curve{fill:none;stroke-width:1.8}svg .curve.information{stroke:var(--blue)}\n"
    "svg .curve.sem{stroke:var(--vermilion);stroke-dasharray:6 3}\n";

// The styles of the answer strips, on a page that has them: identical
// answers shaded sky, wrong ones also bold and underlined in vermilion,
// the longest identical run framed in orange.
const char SIMILARITY_STYLE[] =
    ".strip td{text-align:left}.strip .answers{font-family:ui-monospace,monospace;"
    "white-space:nowrap;letter-spacing:.05em}\n"
    ".strip .answers span{padding:0 .05em}.strip .same{background:#cde6f5}\n"
    ".strip .wrong{font-weight:bold;text-decoration:underline;color:var(--vermilion)}\n"
    ".strip .run{outline:.12rem solid var(--orange);outline-offset:-.06rem}\n"
    ".strips{overflow-x:auto}\n";

// One option of the options column: its width and its bars' longest length.
constexpr double OPTION_WIDTH = 44;
constexpr double BAR_START = 12;
constexpr double BAR_LENGTH = 28;

// The note under a form's summary: the scale of the KR-20 readings, and the
// flags in the order they are given, with when they hold where their names
// do not say it.
std::string reading_note() {
    std::string text = "KR-20 is read on this scale: " + reliability_scale() + ". Flags: ";
    const char* separator = "";
    for (const ItemFlag flag : ITEM_FLAGS) {
        text += separator;
        text += flag_name(flag);
        if (flag == ItemFlag::negative) text += " (point-biserial below 0)";
        if (flag == ItemFlag::too_easy)
            text += formatted(" (more than %d%% right)", TOO_EASY_TENTHS * 10);
        if (flag == ItemFlag::too_hard)
            text += formatted(" (fewer than %d%% right)", TOO_HARD_TENTHS * 10);
        separator = ", ";
    }
    return text + "; a question gets the first that applies.";
}

void write_summary(Markup& out, const FormAnalysis& form) {
    const TestStatistics& test = form.test;
    const auto row = [&](const char* name, const std::string& value) {
        out.open("tr").element("th", {{"scope", "row"}}, name).element("td", {}, value);
        out.close("tr").text("\n");
    };
    out.open("table", {{"class", "summary"}})
        .element("caption", {{"class", "text"}}, "Summary (scores are questions right)")
        .text("\n");
    row("Sheets", std::to_string(test.sheets));
    row("Questions", std::to_string(test.items));
    row("Mean", figure_text(test.mean));
    row("Median", figure_text(test.median));
    row("Standard deviation", figure_text(test.std_dev));
    row("Lowest", std::to_string(test.lowest));
    row("Highest", std::to_string(test.highest));
    row("KR-20 reliability",
        test.kr20 ? figure_text(*test.kr20) + " (" + reliability_reading(*test.kr20) + ")"
                  : "cannot be worked out (fewer than two questions, or "
                    "every sheet has the same score)");
    row("Standard error of measurement", figure_text(test.sem, NO_FIGURE));
    row("Skewness", figure_text(test.skewness, NO_FIGURE));
    row("Excess kurtosis", figure_text(test.kurtosis, NO_FIGURE));
    out.close("table").text("\n");
}

// One question's options as small bars: for each, the share of the upper
// group (top bar) and of the lower group (bottom bar) that chose it, the
// key's letters bold, underlined and framed.
void write_option_bars(Markup& out, const ItemStatistics& item) {
    const double width = static_cast<double>(item.options.size()) * OPTION_WIDTH;
    out.open("svg", {{"class", "opts"},
                     {"viewBox", formatted("0 0 %.0f 22", width)},
                     {"style", formatted("width:%.1fem", width / 11)}});
    double x = 0;
    for (const OptionStatistics& option : item.options) {
        std::string title = option_label(option.option) + (option.key ? " (key)" : "");
        if (option.upper && option.lower)
            title += ": upper group " + figure_text(*option.upper) + ", lower group " +
                     figure_text(*option.lower);
        title += ", all " + figure_text(option.share);
        out.open("g").element("title", {}, title);
        if (option.key)
            out.empty_element("rect", {{"class", "frame"},
                                       {"x", x + 0.5, 1},
                                       {"y", "1"},
                                       {"width", OPTION_WIDTH - 3, 1},
                                       {"height", "20"}});
        // No mark, or a mark that is not a letter, is shown as an en dash.
        const std::string shown = option.option != 0 ? option_label(option.option) : "\xe2\x80\x93";
        if (option.key)
            out.element("text", {{"x", x + 2.5, 1}, {"y", "16"}, {"class", "key"}}, shown);
        else
            out.element("text", {{"x", x + 2.5, 1}, {"y", "16"}}, shown);
        out.empty_element("rect", {{"class", "track"},
                                   {"x", x + BAR_START, 1},
                                   {"y", "3"},
                                   {"width", BAR_LENGTH, 1},
                                   {"height", "16"}});
        out.empty_element("rect",
                          {{"class", "u"},
                           {"x", x + BAR_START, 1},
                           {"y", "4"},
                           {"width", clamped(option.upper.value_or(0), 0, 1) * BAR_LENGTH, 1},
                           {"height", "6"}});
        out.empty_element("rect",
                          {{"class", "l"},
                           {"x", x + BAR_START, 1},
                           {"y", "12"},
                           {"width", clamped(option.lower.value_or(0), 0, 1) * BAR_LENGTH, 1},
                           {"height", "6"}});
        out.close("g");
        x += OPTION_WIDTH;
    }
    out.close("svg");
}

// Where a master question stands on each form: "A 3, B 17 (CADBE)", the
// form's letters after its number where they are shuffled.
std::string places_text(const std::vector<VersionPlace>& places) {
    std::string text;
    for (const VersionPlace& place : places) {
        if (!text.empty()) text += ", ";
        text += std::string(1, place.form) + " " + std::to_string(place.question);
        if (!place.options.empty()) text += " (" + place.options + ")";
    }
    return text;
}

// The question table; for the whole exam, `places` (parallel to its
// questions) adds where each stands on the forms.
void write_item_table(Markup& out, const FormAnalysis& form,
                      const std::vector<std::vector<VersionPlace>>* places = nullptr) {
    out.open("table", {{"class", "items"}});
    // The program's own words, their apostrophe written as it stands.
    out.open("caption", {{"class", "text"}})
        .raw(
            "Questions. Options: for each, the share of the upper 27% of sheets (top bar, blue) "
            "and of the lower 27% (bottom bar, orange) that chose it; the key's letters are "
            "bold, underlined and framed, \xe2\x80\x93 is no mark or a mark that is not a "
            "letter. Hover over an option for its figures.")
        .close("caption")
        .text("\n");
    out.open("thead").open("tr");
    const auto heading = [&](const char* words, bool text) {
        if (text)
            out.element("th", {{"scope", "col"}, {"class", "text"}}, words);
        else
            out.element("th", {{"scope", "col"}}, words);
    };
    heading("Question", false);
    if (places) heading("On the forms", true);
    heading("Key", true);
    heading("Difficulty", false);
    heading("Point-biserial", false);
    heading("Upper-lower", false);
    heading("Flag", true);
    heading("Options", true);
    out.close("tr").close("thead").text("\n").open("tbody").text("\n");
    for (std::size_t q = 0; q < form.questions.size(); ++q) {
        const QuestionAnalysis& question = form.questions[q];
        const ItemStatistics& item = question.statistics;
        std::string key;
        for (const OptionStatistics& option : item.options)
            if (option.key && option.option != 0) key += option.option;
        if (item.flag == ItemFlag::none)
            out.open("tr");
        else
            out.open("tr", {{"class", "flagged"}});
        out.element("th", {{"scope", "row"}}, std::to_string(question.question));
        if (places && q < places->size())
            out.element("td", {{"class", "text"}}, places_text((*places)[q]));
        out.element("td", {{"class", "text"}}, key.empty() ? std::string(NO_FIGURE) : key)
            .element("td", {}, figure_text(item.difficulty))
            .element("td", {}, figure_text(item.point_biserial, NO_FIGURE))
            .element("td", {}, figure_text(item.discrimination, NO_FIGURE))
            .element("td", {{"class", "text flag"}}, flag_text(item))
            .open("td", {{"class", "text"}});
        write_option_bars(out, item);
        out.close("td").close("tr").text("\n");
    }
    out.close("tbody").close("table").text("\n");
}

// The Rasch figures of each question, with "misfit" in the last column of
// a misfitting one; a question that could not be calibrated has its note.
void write_rasch_table(Markup& out, const FormAnalysis& form, const RaschAnalysis& rasch) {
    out.open("table", {{"class", "rasch"}})
        .element("caption", {{"class", "text"}},
                 "Rasch measures of the questions, in logits. Misfit: infit or outfit outside "
                 "0.7 to 1.3 with |Z| above 2.")
        .text("\n")
        .open("thead")
        .open("tr");
    for (const char* words :
         {"Question", "Measure", "SE", "Infit", "Outfit", "Infit Z", "Outfit Z"})
        out.element("th", {{"scope", "col"}}, words);
    out.element("th", {{"scope", "col"}, {"class", "text"}}, "Misfit");
    out.close("tr").close("thead").text("\n").open("tbody").text("\n");
    const auto z_text = [](const std::optional<long double>& z) {
        return z ? formatted("%.*f", Z_DECIMALS, static_cast<double>(*z)) : std::string(NO_FIGURE);
    };
    for (std::size_t i = 0; i < rasch.items.size() && i < form.questions.size(); ++i) {
        const RaschItem& item = rasch.items[i];
        const bool misfit = rasch_misfit(item);
        if (misfit)
            out.open("tr", {{"class", "flagged misfit"}});
        else
            out.open("tr");
        out.element("th", {{"scope", "row"}}, std::to_string(form.questions[i].question))
            .element("td", {}, figure_text(item.measure, NO_FIGURE))
            .element("td", {}, figure_text(item.se, NO_FIGURE))
            .element("td", {}, figure_text(item.infit, NO_FIGURE))
            .element("td", {}, figure_text(item.outfit, NO_FIGURE))
            .element("td", {}, z_text(item.infit_z))
            .element("td", {}, z_text(item.outfit_z))
            .element("td", {{"class", "text flag"}},
                     misfit ? std::string("misfit") : std::string(rasch_note_text(item.note)))
            .close("tr")
            .text("\n");
    }
    out.close("tbody").close("table").text("\n");
}

// The form's letter for an element id, or its position when the letter is
// not a plain letter or digit.
std::string form_anchor(const FormAnalysis& form, std::size_t position) {
    const auto letter = static_cast<unsigned char>(form.form);
    if ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z') ||
        (letter >= '0' && letter <= '9'))
        return "form-" + std::string(1, form.form);
    return "form-at-" + std::to_string(position + 1);
}

// The table of the findings `wanted` takes, in their order.
template <typename Wanted>
void write_check_table(Markup& out, const std::vector<SheetCheck>& checks, Wanted wanted) {
    out.open("table", {{"class", "checks"}}).open("thead").open("tr");
    out.element("th", {{"scope", "col"}, {"class", "text"}}, "Check")
        .element("th", {{"scope", "col"}, {"class", "text"}}, "Form")
        .element("th", {{"scope", "col"}}, "Order")
        .element("th", {{"scope", "col"}, {"class", "text"}}, "Student ID")
        .element("th", {{"scope", "col"}, {"class", "text"}}, "Detail");
    out.close("tr").close("thead").text("\n").open("tbody").text("\n");
    for (const SheetCheck& check : checks) {
        if (!wanted(check)) continue;
        out.open("tr")
            .element("td", {{"class", "text"}}, check_name(check.kind))
            .element("td", {{"class", "text"}}, check_form_text(check))
            .element("td", {}, check.order > 0 ? std::to_string(check.order) : std::string())
            .element("td", {{"class", "text file"}}, check.student_id)
            .element("td", {{"class", "text"}}, check.detail)
            .close("tr")
            .text("\n");
    }
    out.close("tbody").close("table");
}

void write_checks(Markup& out, const std::vector<SheetCheck>& checks) {
    out.open("section", {{"id", "checks"}}).element("h2", {}, "Sheets to look at").text("\n");
    write_check_table(out, checks, [](const SheetCheck&) { return true; });
    out.close("section").text("\n");
}

bool class_list_finding(const SheetCheck& check) {
    return check.kind == CheckKind::not_on_class_list || check.kind == CheckKind::no_sheet ||
           check.kind == CheckKind::id_corrected || check.kind == CheckKind::class_list_repeats_id;
}

// The class list's counts and its findings.
void write_class_list(Markup& out, const Analysis& analysis) {
    const ClassListCounts& counts = analysis.class_list->counts;
    out.open("section", {{"id", "class-list"}}).element("h2", {}, "Class list").text("\n");
    out.open("table", {{"class", "summary"}})
        .element("caption", {{"class", "text"}}, "Sheets matched to the class list")
        .text("\n");
    const auto row = [&](const char* name, std::int64_t value) {
        out.open("tr").element("th", {{"scope", "row"}}, name);
        out.element("td", {}, std::to_string(value)).close("tr").text("\n");
    };
    row("On the list", counts.on_list);
    row("Sheets", counts.sheets);
    row("Matched", counts.matched);
    row("Corrected", counts.corrected);
    row("Not on the list", counts.not_on_list);
    row("No sheet", counts.no_sheet);
    out.close("table").text("\n");
    bool any = false;
    for (const SheetCheck& check : analysis.checks) any = any || class_list_finding(check);
    if (any)
        write_check_table(out, analysis.checks, class_list_finding);
    else
        out.element("p", {}, "Every sheet is matched to a student and every student to a sheet.");
    out.close("section").text("\n");
}

// The grade distribution as a chart.
void write_grades(Markup& out, const Analysis& analysis) {
    out.open("section", {{"id", "grades"}}).element("h2", {}, "Grades").text("\n");
    write_grade_chart(out, analysis);
    out.close("section").text("\n");
}

void write_fix_options(Markup& out, const Analysis& analysis) {
    out.open("section", {{"id", "fix-options"}})
        .element("h2", {}, "Suggested fix options")
        .text("\n")
        .open("p")
        .text("Some questions may be keyed wrong. Save this text as a file and grade again with ")
        .element("code", {}, "optf:")
        .element("i", {}, "file")
        .text(" to make each suspected letter the answer:")
        .close("p")
        .text("\n")
        .element("pre", {}, fix_options(analysis))
        .close("section")
        .text("\n");
}

// What the similarity screen shows and what it cannot, above its pairs.
const char SIMILARITY_NOTE[] =
    "Pairs to look at: for each ordered pair of sheets of a form (within a room when rooms "
    "were given), the answers of the first are compared with what a student of the same score "
    "who works alone chooses on each question, as the whole form shows it. Two figures are "
    "tested, each with its exact chance under that model: the agreement weighted by how "
    "unlikely each identical answer is, and the longest run of identical answers; the pair's "
    "p-value is twice the smaller. A pair is listed when that p-value stays at or below 1% "
    "after the correction for every pair compared in its form or room (Bonferroni), so that "
    "an innocent pair is listed in at most 1% of forms or rooms. A listing is statistical "
    "evidence for a person to weigh with everything else known, never a verdict: students who "
    "studied together, or a sheet graded against the wrong key, can agree beyond chance, and "
    "the source of a copier is listed as well as the copier. The screen cannot find every "
    "copier: in rooms of 40 with 80 questions it finds most who copied a consecutive run of "
    "30% of the answers and about two in three who copied 40% at random; in a whole form of "
    "thousands it finds most consecutive copying of 40%, but random copying of 10 to 30% of "
    "the answers, or tests of 40 questions, cannot be found reliably by any method at this "
    "control.";

// A sheet's answer as its strip shows it: the letter, * for another mark,
// - for none.
char strip_letter(unsigned char answer) {
    const unsigned char code = answer & OPTION_BITS;
    if (code < LETTER_OPTIONS) return static_cast<char>('A' + code);
    return code == NO_MARK ? '-' : '*';
}

// One sheet's answers as a strip: each identical answer shaded (and, when
// wrong, bold and underlined), the longest identical run framed.
void write_strip(Markup& out, const SimilarPair& pair, const std::vector<unsigned char>& answers) {
    const PairEvidence& e = pair.evidence;
    out.open("td", {{"class", "answers"}});
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const bool same = ((pair.answers[i] ^ pair.other_answers[i]) & OPTION_BITS) == 0;
        const bool wrong = same && (answers[i] & RIGHT_BIT) == 0;
        const bool run = e.run > 0 && static_cast<std::int32_t>(i) >= e.run_first &&
                         static_cast<std::int32_t>(i) <= e.run_last;
        std::string kind = same ? (wrong ? "same wrong" : "same") : "";
        if (run) kind += kind.empty() ? "run" : " run";
        std::string title = "question " + std::to_string(pair.questions[i]);
        if (same) title += wrong ? ": identical, wrong" : ": identical";
        if (run) title += ", in the longest identical run";
        if (i > 0 && i % 10 == 0) out.raw(" ");
        out.element("span", {{"class", kind}, {"title", title}},
                    std::string(1, strip_letter(answers[i])));
    }
    out.close("td");
}

void write_similar_pair(Markup& out, const SimilarPair& pair) {
    const PairEvidence& e = pair.evidence;
    std::string heading = "Form " + std::string(1, pair.form);
    if (!pair.room.empty()) heading += ", room " + pair.room;
    heading += ": " + (pair.student_id.empty() ? "(no ID)" : pair.student_id) + " and " +
               (pair.other_id.empty() ? "(no ID)" : pair.other_id);
    if (pair.exploratory) heading += " (exploratory list)";
    out.element("h3", {}, heading).text("\n");
    std::string facts = formatted(
        "%d identical answers (%.1f expected), %d of them wrong or "
        "blank (%.1f expected); ",
        e.matches, e.expected_matches, e.identical_wrong, e.expected_identical_wrong);
    if (e.run > 0)
        facts += formatted("longest identical run %d (questions %d to %d); ", e.run,
                           pair.run_first_question, pair.run_last_question);
    facts += "p weighted " + scientific(e.p_weighted) + ", p run " + scientific(e.p_run) +
             ", adjusted p " + scientific(pair.adjusted) + ".";
    if (pair.student_flags > 1 || pair.other_flags > 1)
        facts +=
            formatted(" Listed with %d and %d partners.", pair.student_flags, pair.other_flags);
    out.element("p", {}, facts).text("\n");
    out.open("div", {{"class", "strips"}}).open("table", {{"class", "strip"}}).text("\n");
    const auto row = [&](const std::string& id, std::int32_t order, std::int32_t score,
                         const std::vector<unsigned char>& answers) {
        out.open("tr").element("th", {{"scope", "row"}, {"class", "text file"}},
                               (id.empty() ? "(no ID)" : id) + " (Order " + std::to_string(order) +
                                   ", score " + std::to_string(score) + ")");
        write_strip(out, pair, answers);
        out.close("tr").text("\n");
    };
    row(pair.student_id, pair.order, e.copier_score, pair.answers);
    row(pair.other_id, pair.other_order, e.source_score, pair.other_answers);
    out.close("table").close("div").text("\n");
}

void write_similarity(Markup& out, const SimilarityScreen& screen) {
    out.open("section", {{"id", "similarity"}})
        .element("h2", {}, "Answer similarity: pairs to look at")
        .text("\n")
        .element("p", {}, SIMILARITY_NOTE)
        .text("\n");
    std::int64_t family_wise = 0;
    for (const SimilarPair& pair : screen.pairs) family_wise += pair.exploratory ? 0 : 1;
    std::string counts = formatted("%lld ordered pairs compared; %lld listed at 1%% family-wise",
                                   static_cast<long long>(screen.ordered_pairs),
                                   static_cast<long long>(family_wise));
    if (screen.exploratory)
        counts += formatted(
            ", %lld more on the exploratory list (5%% false discoveries: some "
            "of them are expected to be innocent)",
            static_cast<long long>(screen.pairs.size()) - static_cast<long long>(family_wise));
    out.element("p", {}, counts + ".").text("\n");
    if (!screen.pairs.empty())
        out.element("p", {{"class", "note"}},
                    "Each pair is shown in each direction that is listed, the first sheet "
                    "taken as the one that may have copied. "
                    "In each strip the answers are in question order, a space after every "
                    "tenth; identical answers are shaded, identical wrong answers and blanks "
                    "bold and underlined, and the longest identical run framed. Hover over an "
                    "answer for its question.")
            .text("\n");
    for (const SimilarPair& pair : screen.pairs) write_similar_pair(out, pair);
    out.close("section").text("\n");
}

// A form's figures: its summary, histogram, item map, Rasch charts and
// table when it has them, and its question table (with `places` for the
// whole exam).
void write_form_figures(Markup& out, const FormAnalysis& form,
                        const std::vector<std::vector<VersionPlace>>* places = nullptr) {
    write_summary(out, form);
    out.element("p", {{"class", "note"}}, reading_note()).text("\n");
    out.element("h3", {}, "Scores").text("\n");
    write_score_histogram(out, form);
    out.element("h3", {}, "Item map").text("\n");
    write_item_map(out, form);
    if (form.rasch && form.rasch->message.empty()) {
        out.element("h3", {}, "Wright map").text("\n");
        write_wright_map(out, form, *form.rasch);
        out.element("h3", {}, "Test information").text("\n");
        write_test_information(out, form, *form.rasch);
        out.element("h3", {}, "Rasch measures").text("\n");
        write_rasch_table(out, form, *form.rasch);
    }
    out.element("h3", {}, "Questions").text("\n");
    write_item_table(out, form, places);
}

// The whole exam of a version map: its summary, histogram, item map and
// question table by master question, and the keys held across versions.
void write_exam(Markup& out, const Analysis& analysis) {
    const FormAnalysis& exam = *analysis.exam;
    out.open("section", {{"class", "form"}, {"id", "exam"}})
        .element("h2", {}, "Whole exam")
        .text("\n")
        .element("p", {},
                 "Every scored sheet of every form, by master question and in master letters: "
                 "the figures of the same answers given as one form.")
        .text("\n");
    write_form_figures(out, exam, &analysis.exam_versions);
    out.element("h3", {}, "Keys across versions").text("\n");
    const auto disagree = [](const SheetCheck& check) {
        return check.kind == CheckKind::keys_disagree;
    };
    if (analysis.key_amendments.empty())
        out.element("p", {}, "The keys of every form agree on every master question.");
    else
        write_check_table(out, analysis.checks, disagree);
    out.text("\n").close("section").text("\n");
}

// The scores by tag: a chart of each tag's mean per cent and its table.
void write_topics(Markup& out, const TagScores& tags) {
    out.open("section", {{"id", "topics"}}).element("h2", {}, "Topics").text("\n");
    write_tag_chart(out, tags);
    out.open("table", {{"class", "topics"}})
        .element("caption", {{"class", "text"}},
                 "Scores by tag: the number of the tag's questions a sheet answered right")
        .text("\n")
        .open("thead")
        .open("tr");
    out.element("th", {{"scope", "col"}, {"class", "text"}}, "Tag");
    for (const char* words : {"Questions", "Sheets", "Mean", "Mean %", "Std dev", "KR-20"})
        out.element("th", {{"scope", "col"}}, words);
    out.close("tr").close("thead").text("\n").open("tbody").text("\n");
    for (const TagSummary& tag : tags.summaries())
        out.open("tr")
            .element("th", {{"scope", "row"}, {"class", "text"}}, tag.tag)
            .element("td", {}, std::to_string(tag.questions))
            .element("td", {}, std::to_string(tag.sheets))
            .element("td", {}, figure_text(tag.mean))
            .element("td", {}, figure_text(tag.mean_percent, NO_FIGURE))
            .element("td", {}, figure_text(tag.std_dev))
            .element("td", {}, figure_text(tag.kr20, NO_FIGURE))
            .close("tr")
            .text("\n");
    out.close("tbody").close("table").text("\n").close("section").text("\n");
}

void write_form(Markup& out, const FormAnalysis& form, std::size_t position) {
    const std::string letter(1, form.form);
    out.open("section", {{"class", "form"}, {"id", form_anchor(form, position)}})
        .element("h2", {}, "Form " + letter)
        .text("\n");
    write_form_figures(out, form);
    out.close("section").text("\n");
}

} // namespace

std::string analysis_html(const Analysis& analysis, const std::string& report_name) {
    const std::string name = report_name == "-" ? std::string("standard input") : report_name;
    std::int64_t sheets = 0;
    std::size_t questions = 0;
    bool key_errors = false;
    for (const FormAnalysis& form : analysis.forms) {
        sheets += form.test.sheets;
        questions += form.questions.size();
        for (const QuestionAnalysis& question : form.questions)
            key_errors = key_errors || question.statistics.flag == ItemFlag::key_error;
    }
    if (analysis.exam)
        for (const QuestionAnalysis& question : analysis.exam->questions)
            key_errors = key_errors || question.statistics.flag == ItemFlag::key_error;
    key_errors = key_errors || !analysis.key_amendments.empty();
    Markup out;
    out.reserve(4096 + questions * 1600);
    out.raw("<!DOCTYPE html>\n").open("html", {{"lang", "en"}}).open("head");
    out.void_element("meta", {{"charset", "utf-8"}})
        .void_element("meta",
                      {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}})
        .text("\n")
        .element("title", {}, "Item analysis: " + name)
        .text("\n")
        .open("style")
        .raw("\n")
        .raw(STYLE);
    bool rasch_charts =
        analysis.exam && analysis.exam->rasch && analysis.exam->rasch->message.empty();
    for (const FormAnalysis& form : analysis.forms)
        rasch_charts = rasch_charts || (form.rasch && form.rasch->message.empty());
    if (rasch_charts) out.raw(RASCH_STYLE);
    if (analysis.similarity) out.raw(SIMILARITY_STYLE);
    out.close("style")
        .close("head")
        .text("\n")
        .open("body")
        .text("\n")
        .open("header")
        .open("h1")
        .text("Item analysis of ")
        .element("span", {{"class", "file"}}, name)
        .close("h1")
        .text("\n");
    out.element("p", {},
                count_of(sheets, "scored sheet") + " on " +
                    count_of(static_cast<std::int64_t>(analysis.forms.size()), "form") +
                    ". Written by quillmark-analyze from the report of quillmark. Scores are raw "
                    "scores: the number of scored questions a sheet answered correctly.")
        .text("\n")
        .open("nav")
        .open("ul");
    if (analysis.exam) out.open("li").element("a", {{"href", "#exam"}}, "Whole exam").close("li");
    if (analysis.tags) out.open("li").element("a", {{"href", "#topics"}}, "Topics").close("li");
    for (std::size_t f = 0; f < analysis.forms.size(); ++f)
        out.open("li")
            .element("a", {{"href", "#" + form_anchor(analysis.forms[f], f)}},
                     "Form " + std::string(1, analysis.forms[f].form))
            .close("li");
    if (!analysis.checks.empty())
        out.open("li").element("a", {{"href", "#checks"}}, "Sheets to look at").close("li");
    if (analysis.class_list)
        out.open("li").element("a", {{"href", "#class-list"}}, "Class list").close("li");
    if (!analysis.grades.empty())
        out.open("li").element("a", {{"href", "#grades"}}, "Grades").close("li");
    if (key_errors)
        out.open("li").element("a", {{"href", "#fix-options"}}, "Fix options").close("li");
    if (analysis.similarity)
        out.open("li").element("a", {{"href", "#similarity"}}, "Pairs to look at").close("li");
    out.close("ul").close("nav").close("header").text("\n").open("main").text("\n");
    if (analysis.forms.empty())
        out.element("p", {},
                    "The report has no scored sheets: there is nothing to analyse. The sheet "
                    "checks say why, where a sheet row shows it.")
            .text("\n");

    if (analysis.exam) write_exam(out, analysis);
    if (analysis.tags) write_topics(out, *analysis.tags);
    if (!analysis.checks.empty()) write_checks(out, analysis.checks);
    if (analysis.class_list) write_class_list(out, analysis);
    if (!analysis.grades.empty()) write_grades(out, analysis);
    if (key_errors) write_fix_options(out, analysis);
    if (analysis.similarity) write_similarity(out, *analysis.similarity);
    if (analysis.checks.empty() && !key_errors)
        out.element("p", {}, "No sheet check found anything and no question looks keyed wrong.")
            .text("\n");
    for (std::size_t f = 0; f < analysis.forms.size(); ++f) write_form(out, analysis.forms[f], f);
    out.close("main").text("\n").close("body").close("html").text("\n");
    return out.take();
}

} // namespace quillmark
