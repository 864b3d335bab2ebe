#include "analyze/page_charts.h"

#include <cmath>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "analyze/display_rules.h"

namespace quillmark {

namespace {

// The charts' common width and plot sides and top.
constexpr double CHART_WIDTH = 720;
constexpr double CHART_LEFT = 64;
constexpr double CHART_RIGHT = 700;
constexpr double CHART_TOP = 16;

// The histogram's plot bottom and height.
constexpr double HIST_BOTTOM = 240;
constexpr double HIST_HEIGHT = 296;
// A histogram shows at most this many bars; more scores are grouped.
constexpr std::int32_t MOST_BARS = 60;

// The item map's plot bottom (r at its lowest), the row of questions
// without a point-biserial below it, and the map's height.
constexpr double MAP_BOTTOM = 356;
constexpr double MAP_NO_R = 384;
constexpr double MAP_HEIGHT = 440;
// Above this many questions the item map's points are drawn smaller.
constexpr std::size_t MANY_QUESTIONS = 200;

// The Wright map's plot bottom (the sheets' bars stand on it), the band of
// the questions' points below it, and the map's height.
constexpr double WRIGHT_BOTTOM = 150;
constexpr double WRIGHT_ITEMS_TOP = 166;
constexpr double WRIGHT_ROW = 11;
constexpr int WRIGHT_ROWS = 8;
constexpr double WRIGHT_HEIGHT = 300;
// The information chart's plot bottom and height.
constexpr double INFO_BOTTOM = 200;
constexpr double INFO_HEIGHT = 250;
constexpr int INFO_STEPS = 120;
// The room the information chart keeps right of its plot for the labels of
// its second axis, the standard error's.
constexpr double INFO_RIGHT_LABELS = 24;

// The scores each bar of a histogram of `scores` scores counts: 1, 2 or 5
// times a power of ten, the least that keeps to MOST_BARS bars, so that the
// bars start at round scores.
// "form A", or "the whole exam" for the whole exam of a version map.
std::string form_name(const FormAnalysis& form) {
    return form.form == WHOLE_EXAM ? std::string("the whole exam")
                                   : "form " + std::string(1, form.form);
}

// One bar of a chart of labelled bars: its name under it and, when it has a
// value, the bar up to it with its figure above and its hover text.
struct LabelledBar {
    std::string name;
    std::optional<double> value;
    std::string value_text;
    std::string title;
};

// The bars side by side across the plot, each in a slot of its own (each
// bar's line ended), then the axes with their titles; closes the chart and
// its figure. (Declared here, defined after the building blocks.)
void labelled_bars(Markup& out, const ChartFrame& frame, const Scale& y_of,
                   const std::vector<LabelledBar>& bars, std::string_view x_title,
                   std::string_view y_title);

std::int32_t bar_width_in_scores(std::int32_t scores) {
    for (std::int64_t power = 1;; power *= 10)
        for (const std::int64_t factor : {1, 2, 5})
            if (scores <= MOST_BARS * power * factor)
                return static_cast<std::int32_t>(power * factor);
}

// The mark of a question on the item map, by its flag: a circle when
// unflagged, else a shape of its own kind (too easy and too hard share one,
// at the opposite ends of the map).
struct MapMark {
    PointShape shape;
    const char* css_class;
};

MapMark map_mark(ItemFlag flag) {
    switch (flag) {
    case ItemFlag::none: break;
    case ItemFlag::key_error: return {PointShape::diamond, "k-key"};
    case ItemFlag::negative: return {PointShape::triangle_down, "k-neg"};
    case ItemFlag::too_easy:
    case ItemFlag::too_hard: return {PointShape::triangle_up, "k-edge"};
    case ItemFlag::no_variance: return {PointShape::square, "k-var"};
    }
    return {PointShape::circle, "k-none"};
}

// The legend of the item map's shapes, in HTML under the chart so that it
// wraps on a narrow screen.
void write_map_legend(Markup& out) {
    struct Entry {
        ItemFlag flag;
        std::string words;
    };
    const Entry entries[] = {
        {ItemFlag::none, "no flag"},
        {ItemFlag::key_error, flag_name(ItemFlag::key_error)},
        {ItemFlag::negative, flag_name(ItemFlag::negative)},
        {ItemFlag::too_easy,
         std::string(flag_name(ItemFlag::too_easy)) + " or " + flag_name(ItemFlag::too_hard)},
        {ItemFlag::no_variance, flag_name(ItemFlag::no_variance)},
    };
    out.open("ul", {{"class", "legend"}});
    for (const Entry& entry : entries) {
        out.open("li").open("svg", {{"viewBox", "-8 -8 16 16"}, {"aria-hidden", "true"}});
        const MapMark mark = map_mark(entry.flag);
        point(out, mark.shape, mark.css_class, 0, 0, 4, "");
        out.close("svg").text(" ").text(entry.words).close("li");
    }
    out.open("li")
        .open("svg", {{"viewBox", "0 -8 24 16"}, {"style", "width:1.6em"}, {"aria-hidden", "true"}})
        .empty_element("line",
                       {{"class", "guide"}, {"x1", "0"}, {"y1", "0"}, {"x2", "24"}, {"y2", "0"}})
        .close("svg")
        .text(" where a flag begins")
        .close("li")
        .close("ul")
        .text("\n");
}

// The figures of one question as its point's title and hover text.
std::string question_title(const QuestionAnalysis& question) {
    const ItemStatistics& item = question.statistics;
    std::string title = "Question " + std::to_string(question.question) + ": difficulty " +
                        figure_text(item.difficulty) + ", point-biserial " +
                        figure_text(item.point_biserial, NO_FIGURE) + ", upper-lower " +
                        figure_text(item.discrimination, NO_FIGURE);
    const std::string flag = flag_text(item);
    if (!flag.empty()) title += ", " + flag;
    return title;
}

// The numbers of the flagged questions at one place of the item map.
struct PointLabel {
    double x;
    double y;
    std::string text;
};

} // namespace

const char NO_FIGURE[] = "\xe2\x80\x94";

std::string count_of(std::int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

ChartFrame page_chart_frame(double bottom, double height) {
    return {CHART_WIDTH, height, CHART_LEFT, CHART_RIGHT, CHART_TOP, bottom};
}

double clamped(long double value, double low, double high) {
    const double v = static_cast<double>(value);
    if (!(v >= low)) return low;
    return v > high ? high : v;
}

double Scale::operator()(long double value) const {
    return start + (clamped(value, low, high) - low) / (high - low) * (end - start);
}

std::int64_t count_step(std::int64_t most) {
    std::int64_t step = 1;
    while (true) {
        for (const std::int64_t factor : {1, 2, 5})
            if (most <= 5 * step * factor) return step * factor;
        step *= 10;
    }
}

void open_figure(Markup& out, const char* css_class, const Markup& caption) {
    out.open("figure", {{"class", css_class}}).open("figcaption").append(caption);
    out.close("figcaption").text("\n");
}

void close_figure(Markup& out) { out.close("figure").text("\n"); }

void open_chart(Markup& out, const ChartFrame& frame, const char* css_class,
                std::string_view title) {
    out.open("svg", {{"class", css_class},
                     {"viewBox", formatted("0 0 %.0f %.0f", frame.width, frame.height)},
                     {"role", "group"}});
    out.element("title", {}, title).text("\n");
}

void close_chart(Markup& out) { out.close("svg"); }

void line(Markup& out, const char* css_class, double x1, double y1, double x2, double y2) {
    out.empty_element(
        "line", {{"class", css_class}, {"x1", x1, 1}, {"y1", y1, 1}, {"x2", x2, 1}, {"y2", y2, 1}});
}

void label(Markup& out, double x, double y, const char* anchor, std::string_view text) {
    out.element("text", {{"x", x, 1}, {"y", y, 1}, {"text-anchor", anchor}}, text);
}

void grid_line_across(Markup& out, const ChartFrame& frame, double y, std::string_view text) {
    line(out, "tick", frame.left, y, frame.right, y);
    label(out, frame.left - 6, y + 4, "end", text);
    out.text("\n");
}

void grid_line_up(Markup& out, const ChartFrame& frame, double x, double label_y,
                  std::string_view text) {
    line(out, "tick", x, frame.top, x, frame.bottom);
    label(out, x, label_y, "middle", text);
    out.text("\n");
}

void chart_axes(Markup& out, const ChartFrame& frame) {
    line(out, "axis", frame.left, frame.bottom, frame.right, frame.bottom);
    line(out, "axis", frame.left, frame.top, frame.left, frame.bottom);
    out.text("\n");
}

void x_axis_title(Markup& out, const ChartFrame& frame, double y, std::string_view title) {
    label(out, (frame.left + frame.right) / 2, y, "middle", title);
    out.text("\n");
}

void y_axis_title(Markup& out, const ChartFrame& frame, double x, std::string_view title) {
    out.element("text",
                {{"transform",
                  formatted("translate(%.0f %.1f) rotate(-90)", x, (frame.top + frame.bottom) / 2)},
                 {"text-anchor", "middle"}},
                title);
    out.text("\n");
}

void guide_line(Markup& out, const char* kind, double x1, double y1, double x2, double y2,
                std::string_view words, double text_x, double text_y) {
    line(out, formatted("guide %s", kind).c_str(), x1, y1, x2, y2);
    out.element("text", {{"class", "guide-text"}, {"x", text_x, 1}, {"y", text_y, 1}}, words);
    out.text("\n");
}

void point(Markup& out, PointShape shape, const char* css_class, double x, double y, double size,
           std::string_view title) {
    const double s = size * 1.5;
    const char* element = "path";
    switch (shape) {
    case PointShape::circle:
        element = "circle";
        out.open(element, {{"class", css_class}, {"cx", x, 1}, {"cy", y, 1}, {"r", size, 1}});
        break;
    case PointShape::diamond:
        out.open(element, {{"class", css_class},
                           {"d", formatted("M%.1f %.1fl%.1f %.1f %.1f %.1f %.1f %.1fz", x, y - s, s,
                                           s, -s, s, -s, -s)}});
        break;
    case PointShape::triangle_down:
        out.open(element, {{"class", css_class},
                           {"d", formatted("M%.1f %.1fh%.1fl%.1f %.1fz", x - s, y - s * 0.6, 2 * s,
                                           -s, 1.6 * s)}});
        break;
    case PointShape::triangle_up:
        out.open(element,
                 {{"class", css_class},
                  {"d", formatted("M%.1f %.1fl%.1f %.1fh%.1fz", x, y - s, s, 1.6 * s, -2 * s)}});
        break;
    case PointShape::square:
        out.open(element, {{"class", css_class},
                           {"d", formatted("M%.1f %.1fh%.1fv%.1fh%.1fz", x - size, y - size,
                                           2 * size, 2 * size, -2 * size)}});
        break;
    }
    if (!title.empty()) out.element("title", {}, title);
    out.close(element);
}

void bar(Markup& out, const ChartFrame& frame, double x, double width, double y,
         std::string_view title) {
    out.open("rect", {{"class", "bar"},
                      {"x", x, 2},
                      {"y", y, 1},
                      {"width", width, 2},
                      {"height", frame.bottom - y, 1}});
    out.element("title", {}, title).close("rect");
}

namespace {

// The axis of a bar chart of `counts`: its step and its top, the first step
// at or above the largest count (at least one step).
struct CountAxis {
    std::int64_t step;
    std::int64_t top;
};
CountAxis count_axis(const std::vector<std::int64_t>& counts) {
    std::int64_t most = 1;
    for (std::int64_t c : counts)
        if (c > most) most = c;
    const std::int64_t step = count_step(most);
    return {step, (most + step - 1) / step * step};
}

} // namespace

void write_score_histogram(Markup& out, const FormAnalysis& form) {
    const std::vector<std::int32_t>& counts = form.test.score_counts;
    const auto scores = static_cast<std::int32_t>(counts.size());
    if (scores == 0) return;
    const std::int32_t width = bar_width_in_scores(scores);
    const std::int32_t bars = (scores + width - 1) / width;
    std::vector<std::int64_t> heights(static_cast<std::size_t>(bars), 0);
    for (std::int32_t s = 0; s < scores; ++s) heights[s / width] += counts[s];
    const CountAxis axis = count_axis(heights);
    const std::int64_t step = axis.step;
    const std::int64_t top = axis.top;
    const ChartFrame frame = page_chart_frame(HIST_BOTTOM, HIST_HEIGHT);
    const double bar_width = (frame.right - frame.left) / bars;
    const Scale y_of{0, static_cast<double>(top), frame.bottom, frame.top};

    Markup caption;
    // The program's own words, their apostrophe written as it stands.
    caption.raw("Raw scores (questions right) of the form's sheets: ");
    if (width == 1)
        caption.text("one bar per score from 0 to " + std::to_string(scores - 1) + ".");
    else
        caption.text("each bar counts " + std::to_string(width) +
                     " scores next to each other (0 to " + std::to_string(width - 1) + ", " +
                     std::to_string(width) + " to " + std::to_string(2 * width - 1) +
                     " and so on), to keep the chart small.");
    caption.text(" Hover over a bar for its count.");
    open_figure(out, "histogram", caption);
    open_chart(out, frame, "hist", "Histogram of the raw scores of " + form_name(form));
    for (std::int64_t c = 0; c <= top; c += step)
        grid_line_across(out, frame, y_of(c), std::to_string(c));
    // Score labels under at most about 20 bars.
    const std::int32_t label_every = (bars + 19) / 20;
    for (std::int32_t b = 0; b < bars; ++b) {
        const std::int32_t first = b * width;
        const std::int32_t last = first + width - 1 < scores - 1 ? first + width - 1 : scores - 1;
        const double x = frame.left + b * bar_width;
        const std::int64_t h = heights[b];
        if (first == last)
            bar(out, frame, x, bar_width, y_of(h),
                formatted("Score %d (%.1f%%): %s", first,
                          static_cast<double>(form.percent_of_score.size() >
                                                      static_cast<std::size_t>(first)
                                                  ? form.percent_of_score[first]
                                                  : 0),
                          count_of(h, "sheet").c_str()));
        else
            bar(out, frame, x, bar_width, y_of(h),
                formatted("Scores %d to %d: %s", first, last, count_of(h, "sheet").c_str()));
        if (b % label_every == 0)
            label(out, x + bar_width / 2, frame.bottom + 16, "middle", std::to_string(first));
        out.text("\n");
    }
    chart_axes(out, frame);
    x_axis_title(out, frame, frame.height - 12,
                 width == 1 ? "Raw score (questions right)"
                            : "Raw score (questions right), first score of each bar");
    y_axis_title(out, frame, 18, "Sheets");
    close_chart(out);
    close_figure(out);
}

void write_grade_chart(Markup& out, const Analysis& analysis) {
    const std::vector<std::int64_t>& counts = analysis.grade_counts;
    const std::size_t bars = counts.size();
    if (bars == 0 || analysis.grades.size() != bars) return;
    const CountAxis axis = count_axis(counts);
    const std::int64_t step = axis.step;
    const std::int64_t top = axis.top;
    const ChartFrame frame = page_chart_frame(HIST_BOTTOM, HIST_HEIGHT);
    const Scale y_of{0, static_cast<double>(top), frame.bottom, frame.top};

    Markup caption;
    caption.text(
        "Sheets that got each grade, in the order of the scale; each bar is labelled "
        "with its count.");
    open_figure(out, "histogram", caption);
    open_chart(out, frame, "grades", "Sheets per grade");
    for (std::int64_t c = 0; c <= top; c += step)
        grid_line_across(out, frame, y_of(c), std::to_string(c));
    std::vector<LabelledBar> labelled(bars);
    for (std::size_t g = 0; g < bars; ++g) {
        const std::string& grade = analysis.grades[g].grade;
        labelled[g] = {grade, static_cast<double>(counts[g]), std::to_string(counts[g]),
                       grade + ": " + count_of(counts[g], "sheet")};
    }
    labelled_bars(out, frame, y_of, labelled, "Grade", "Sheets");
}

namespace {

void labelled_bars(Markup& out, const ChartFrame& frame, const Scale& y_of,
                   const std::vector<LabelledBar>& bars, std::string_view x_title,
                   std::string_view y_title) {
    const double slot = (frame.right - frame.left) / static_cast<double>(bars.size());
    for (std::size_t b = 0; b < bars.size(); ++b) {
        const double x = frame.left + static_cast<double>(b) * slot;
        if (bars[b].value) {
            const double y = y_of(*bars[b].value);
            bar(out, frame, x + slot * 0.1, slot * 0.8, y, bars[b].title);
            label(out, x + slot / 2, y - 4, "middle", bars[b].value_text);
        }
        label(out, x + slot / 2, frame.bottom + 16, "middle", bars[b].name);
        out.text("\n");
    }
    chart_axes(out, frame);
    x_axis_title(out, frame, frame.height - 12, x_title);
    y_axis_title(out, frame, 18, y_title);
    close_chart(out);
    close_figure(out);
}

} // namespace

void write_tag_chart(Markup& out, const TagScores& tags) {
    const std::vector<TagSummary>& summaries = tags.summaries();
    if (summaries.empty()) return;
    const ChartFrame frame = page_chart_frame(HIST_BOTTOM, HIST_HEIGHT);
    const double slot = (frame.right - frame.left) / static_cast<double>(summaries.size());
    const Scale y_of{0, 100, frame.bottom, frame.top};
    // A name longer than its slot holds (about 6.5 units a character) is
    // cut, with an ellipsis; the bar's title and the table give it whole.
    const auto shown_chars = static_cast<std::size_t>(slot / 6.5 > 1 ? slot / 6.5 : 1);

    open_figure(out, "histogram",
                Markup().text("Mean per cent of each tag's questions answered right, tags in "
                              "the tag file's order; each bar is labelled with its figure. A tag "
                              "without scored questions has no bar."));
    open_chart(out, frame, "tags", "Mean per cent right by tag");
    for (int percent = 0; percent <= 100; percent += 20)
        grid_line_across(out, frame, y_of(percent), std::to_string(percent));
    std::vector<LabelledBar> labelled(summaries.size());
    for (std::size_t t = 0; t < summaries.size(); ++t) {
        const TagSummary& tag = summaries[t];
        LabelledBar& b = labelled[t];
        b.name = tag.tag;
        if (b.name.size() > shown_chars) {
            // Cut at a character's start, not inside a UTF-8 sequence.
            std::size_t end = shown_chars > 1 ? shown_chars - 1 : 1;
            while (end > 0 && (static_cast<unsigned char>(b.name[end]) & 0xC0) == 0x80) --end;
            b.name = b.name.substr(0, end) + "\xe2\x80\xa6";
        }
        if (!tag.mean_percent) continue;
        b.value = static_cast<double>(*tag.mean_percent);
        b.value_text = formatted("%.1f", *b.value);
        b.title = tag.tag + ": " + figure_text(*tag.mean_percent) + "% (" +
                  count_of(tag.questions, "question") + ")";
    }
    labelled_bars(out, frame, y_of, labelled, "Tag", "Mean % right");
}

void write_item_map(Markup& out, const FormAnalysis& form) {
    // The point-biserial axis spans -0.2 to 0.6 at least, widened in steps
    // of 0.1 to every point's value.
    int low_tenths = -2;
    int high_tenths = 6;
    for (const QuestionAnalysis& question : form.questions) {
        const std::optional<long double>& r = question.statistics.point_biserial;
        if (!r || !std::isfinite(static_cast<double>(*r))) continue;
        const double v = clamped(*r, -1, 1);
        const int below = static_cast<int>(std::floor(v * 10 + 1e-9));
        const int above = static_cast<int>(std::ceil(v * 10 - 1e-9));
        if (below < low_tenths) low_tenths = below;
        if (above > high_tenths) high_tenths = above;
    }
    const ChartFrame frame = page_chart_frame(MAP_BOTTOM, MAP_HEIGHT);
    const Scale x_of{0, 1, frame.left, frame.right};
    const Scale y_of{low_tenths / 10.0, high_tenths / 10.0, frame.bottom, frame.top};

    open_figure(out, "item-map",
                Markup().text(
                    "Item map: each scored question at its difficulty (share of sheets right, "
                    "across) and corrected point-biserial (its correlation with the rest of the "
                    "test, up). Flagged questions have their own shape and their number beside "
                    "them; dashed lines mark where the flags begin. Hover over a point for its "
                    "figures. Questions whose point-biserial cannot be worked out stand in the "
                    "row below the chart."));
    open_chart(out, frame, "map", "Item map of " + form_name(form));
    for (int t = 0; t <= 10; ++t)
        grid_line_up(out, frame, x_of(t / 10.0L), MAP_NO_R + 22, formatted("%.1f", t / 10.0));
    const int step = high_tenths - low_tenths > 10 ? 2 : 1;
    for (int t = low_tenths; t <= high_tenths; ++t)
        if ((t - low_tenths) % step == 0)
            grid_line_across(out, frame, y_of(t / 10.0L), formatted("%.1f", t / 10.0));
    chart_axes(out, frame);
    out.element("text",
                {{"x", frame.left - 6, 1},
                 {"y", MAP_NO_R + 4, 1},
                 {"text-anchor", "end"},
                 {"class", "guide-text"}},
                "no r");
    out.text("\n");
    x_axis_title(out, frame, frame.height - 8, "Difficulty (share of sheets right)");
    y_axis_title(out, frame, 16, "Corrected point-biserial");
    // Guide lines where the flags begin: too hard, too easy, negative.
    const double hard_x = x_of(TOO_HARD_TENTHS / 10.0L);
    const double easy_x = x_of(TOO_EASY_TENTHS / 10.0L);
    const double zero_y = y_of(0);
    guide_line(out, "hard", hard_x, frame.top, hard_x, frame.bottom, flag_name(ItemFlag::too_hard),
               hard_x - 44, frame.top + 10);
    guide_line(out, "easy", easy_x, frame.top, easy_x, frame.bottom, flag_name(ItemFlag::too_easy),
               easy_x + 4, frame.top + 10);
    guide_line(out, "negative", frame.left, zero_y, frame.right, zero_y, "negative below",
               frame.left + 4, zero_y + 12);

    // The points, unflagged first so that flagged ones are drawn on top;
    // then the numbers of the flagged ones, one label for the questions
    // that share a place (as all without variance at 1.0 do).
    const double size = form.questions.size() > MANY_QUESTIONS ? 2.5 : 4;
    std::vector<PointLabel> labels;
    std::map<std::pair<long, long>, std::size_t> label_at;
    for (int pass = 0; pass < 2; ++pass)
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            const bool flagged = item.flag != ItemFlag::none;
            if (flagged != (pass == 1)) continue;
            const double x = x_of(item.difficulty);
            const double y = item.point_biserial ? y_of(*item.point_biserial) : MAP_NO_R;
            const MapMark mark = map_mark(item.flag);
            point(out, mark.shape, formatted("pt %s", mark.css_class).c_str(), x, y, size,
                  question_title(question));
            out.text("\n");
            if (!flagged) continue;
            const std::pair<long, long> place{std::lround(x * 10), std::lround(y * 10)};
            const auto [found, added] = label_at.emplace(place, labels.size());
            if (added)
                labels.push_back({x, y, std::to_string(question.question)});
            else
                labels[found->second].text += " " + std::to_string(question.question);
        }
    for (const PointLabel& place : labels) {
        // Labels right of the point, or left of it near the right edge.
        if (place.x > frame.right - 30)
            out.element("text",
                        {{"class", "lab"},
                         {"x", place.x - 8, 1},
                         {"y", place.y - 5, 1},
                         {"text-anchor", "end"}},
                        place.text);
        else
            out.element("text", {{"class", "lab"}, {"x", place.x + 7, 1}, {"y", place.y - 5, 1}},
                        place.text);
        out.text("\n");
    }
    close_chart(out);
    out.text("\n");
    write_map_legend(out);
    close_figure(out);
}

namespace {

// The whole logits that hold every measure of the form, at least -3 to 3.
std::pair<int, int> logit_range(const RaschAnalysis& rasch) {
    double low = -3;
    double high = 3;
    const auto widen = [&](const std::optional<long double>& m) {
        if (!m || !std::isfinite(static_cast<double>(*m))) return;
        const double v = clamped(*m, -20, 20);
        if (v < low) low = v;
        if (v > high) high = v;
    };
    for (const RaschItem& item : rasch.items) widen(item.measure);
    for (const RaschScore& score : rasch.scores) widen(score.measure);
    return {static_cast<int>(std::floor(low)), static_cast<int>(std::ceil(high))};
}

// The logit grid and the axis title under a chart.
void logit_axis(Markup& out, const ChartFrame& frame, const Scale& x_of, int low, int high) {
    const int step = high - low > 16 ? 2 : 1;
    for (int t = low; t <= high; t += step)
        grid_line_up(out, frame, x_of(t), frame.height - 26, std::to_string(t));
    x_axis_title(out, frame, frame.height - 8, "Measure (logits)");
}

} // namespace

void polyline(Markup& out, const char* kind, const std::vector<double>& xs,
              const std::vector<double>& ys, std::string_view title) {
    std::string points;
    for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i)
        points += formatted(i == 0 ? "%.1f,%.1f" : " %.1f,%.1f", xs[i], ys[i]);
    out.open("polyline",
             {{"class", formatted("curve %s", kind)}, {"fill", "none"}, {"points", points}});
    if (!title.empty()) out.element("title", {}, title);
    out.close("polyline").text("\n");
}

void write_wright_map(Markup& out, const FormAnalysis& form, const RaschAnalysis& rasch) {
    const auto [low, high] = logit_range(rasch);
    const ChartFrame frame = page_chart_frame(WRIGHT_BOTTOM, WRIGHT_HEIGHT);
    const Scale x_of{static_cast<double>(low), static_cast<double>(high), frame.left, frame.right};
    std::int64_t most = 1;
    for (const RaschScore& score : rasch.scores)
        if (score.measure && score.sheets > most) most = score.sheets;
    const std::int64_t step = count_step(most);
    const std::int64_t top = (most + step - 1) / step * step;
    const Scale y_of{0, static_cast<double>(top), frame.bottom, frame.top};

    open_figure(out, "wright-map",
                Markup().text(
                    "Wright map: the sheets and the questions on one logit scale. Above, a bar "
                    "for the sheets of each raw score at that score's measure (extreme scores "
                    "by the extreme-score rule); below, each calibrated question at its measure "
                    "(difficulty). Misfitting questions (infit or outfit outside 0.7 to 1.3 with "
                    "|Z| above 2) have their own shape and their number beside them. Hover over "
                    "a bar or a point for its figures."));
    open_chart(out, frame, "wright", "Wright map of " + form_name(form));
    for (std::int64_t c = 0; c <= top; c += step)
        grid_line_across(out, frame, y_of(c), std::to_string(c));
    logit_axis(out, frame, x_of, low, high);
    y_axis_title(out, frame, 16, "Sheets");
    const double bar_width = 6;
    for (std::size_t raw = 0; raw < rasch.scores.size(); ++raw) {
        const RaschScore& score = rasch.scores[raw];
        if (!score.measure || score.sheets == 0) continue;
        bar(out, frame, x_of(*score.measure) - bar_width / 2, bar_width, y_of(score.sheets),
            formatted("Score %d%s, measure %s: %s", static_cast<int>(raw),
                      score.extreme ? " (extreme)" : "", figure_text(*score.measure).c_str(),
                      count_of(score.sheets, "sheet").c_str()));
        out.text("\n");
    }
    chart_axes(out, frame);
    // The questions in rows, each in the first row where it keeps clear of
    // the points already there; misfitting ones drawn last, on top.
    std::vector<std::vector<double>> rows(WRIGHT_ROWS);
    std::vector<double> row_y(form.questions.size(), 0);
    for (std::size_t i = 0; i < rasch.items.size() && i < form.questions.size(); ++i) {
        if (!rasch.items[i].measure) continue;
        const double x = x_of(*rasch.items[i].measure);
        int chosen = WRIGHT_ROWS - 1;
        for (int r = 0; r < WRIGHT_ROWS; ++r) {
            bool clear = true;
            for (double taken : rows[r])
                if (std::fabs(taken - x) < 9) clear = false;
            if (clear) {
                chosen = r;
                break;
            }
        }
        rows[chosen].push_back(x);
        row_y[i] = WRIGHT_ITEMS_TOP + chosen * WRIGHT_ROW;
    }
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < rasch.items.size() && i < form.questions.size(); ++i) {
            const RaschItem& item = rasch.items[i];
            if (!item.measure) continue;
            const bool misfit = rasch_misfit(item);
            if (misfit != (pass == 1)) continue;
            const double x = x_of(*item.measure);
            const int question = form.questions[i].question;
            point(out, misfit ? PointShape::diamond : PointShape::circle,
                  misfit ? "rpt k-key misfit" : "rpt k-none fit", x, row_y[i], 3.5,
                  formatted("Question %d: measure %s, infit %s, outfit %s%s", question,
                            figure_text(*item.measure).c_str(),
                            figure_text(item.infit, NO_FIGURE).c_str(),
                            figure_text(item.outfit, NO_FIGURE).c_str(), misfit ? ", misfit" : ""));
            if (misfit)
                out.element("text", {{"class", "lab"}, {"x", x + 6, 1}, {"y", row_y[i] + 3, 1}},
                            std::to_string(question));
            out.text("\n");
        }
    close_chart(out);
    out.text("\n");
    out.open("ul", {{"class", "legend"}});
    for (const bool misfit : {false, true}) {
        out.open("li").open("svg", {{"viewBox", "-8 -8 16 16"}, {"aria-hidden", "true"}});
        point(out, misfit ? PointShape::diamond : PointShape::circle, misfit ? "k-key" : "k-none",
              0, 0, 4, "");
        out.close("svg").text(misfit ? " misfit" : " fits").close("li");
    }
    out.close("ul").text("\n");
    close_figure(out);
}

void write_test_information(Markup& out, const FormAnalysis& form, const RaschAnalysis& rasch) {
    const auto [low, high] = logit_range(rasch);
    std::vector<double> thetas;
    std::vector<double> information;
    double most = 0;
    for (int s = 0; s <= INFO_STEPS; ++s) {
        const double theta = low + (high - low) * static_cast<double>(s) / INFO_STEPS;
        double sum = 0;
        for (const RaschItem& item : rasch.items) {
            if (!item.measure) continue;
            const double p = 1 / (1 + std::exp(-(theta - static_cast<double>(*item.measure))));
            sum += p * (1 - p);
        }
        thetas.push_back(theta);
        information.push_back(sum);
        if (sum > most) most = sum;
    }
    if (most <= 0) return;
    ChartFrame frame = page_chart_frame(INFO_BOTTOM, INFO_HEIGHT);
    frame.right -= INFO_RIGHT_LABELS;
    const Scale x_of{static_cast<double>(low), static_cast<double>(high), frame.left, frame.right};
    // Information on the left axis; the standard error, 1 / sqrt(I), on
    // the same plot with its own scale up to 2 logits, labelled right.
    const double info_top = std::ceil(most);
    const Scale y_info{0, info_top, frame.bottom, frame.top};
    constexpr double SEM_TOP = 2;
    const Scale y_sem{0, SEM_TOP, frame.bottom, frame.top};
    open_figure(out, "information",
                Markup().text(
                    "Test information (solid line, left axis): the sum of p(1 \xe2\x88\x92 p) over "
                    "the calibrated questions at each measure; its standard error of "
                    "measurement 1/\xe2\x88\x9aI (dashed line, right axis, in logits, cut at 2)."));
    open_chart(out, frame, "info", "Test information of " + form_name(form));
    for (int t = 0; t <= 4; ++t) {
        const double y = frame.bottom + (frame.top - frame.bottom) * t / 4.0;
        // Quarters of a whole number: two decimals show each exactly.
        grid_line_across(out, frame, y, formatted("%.2f", info_top * t / 4.0));
        label(out, frame.right + 4, y + 4, "start", formatted("%.1f", SEM_TOP * t / 4.0));
        out.text("\n");
    }
    logit_axis(out, frame, x_of, low, high);
    y_axis_title(out, frame, 16, "Information");
    chart_axes(out, frame);
    std::vector<double> xs;
    std::vector<double> info_y;
    std::vector<double> sem_y;
    for (std::size_t s = 0; s < thetas.size(); ++s) {
        xs.push_back(x_of(thetas[s]));
        info_y.push_back(y_info(information[s]));
        sem_y.push_back(information[s] > 0 ? y_sem(1 / std::sqrt(information[s])) : frame.top);
    }
    polyline(out, "information", xs, info_y, "Test information");
    polyline(out, "sem", xs, sem_y, "Standard error of measurement");
    close_chart(out);
    close_figure(out);
}

} // namespace quillmark
