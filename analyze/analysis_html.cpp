#include "analyze/analysis_html.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "analyze/fix_options.h"

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

// The item map's and the histogram's drawing areas, in SVG user units.
constexpr double MAP_WIDTH = 720;
constexpr double MAP_LEFT = 64;
constexpr double MAP_RIGHT = 700;
constexpr double MAP_TOP = 16;
constexpr double MAP_BOTTOM = 356;   // the bottom of the plot, r at its lowest
constexpr double MAP_NO_R = 384;     // the row of questions without a point-biserial
constexpr double MAP_HEIGHT = 440;
constexpr double HIST_WIDTH = 720;
constexpr double HIST_LEFT = 64;
constexpr double HIST_RIGHT = 700;
constexpr double HIST_TOP = 16;
constexpr double HIST_BOTTOM = 240;
constexpr double HIST_HEIGHT = 296;
// A histogram shows at most this many bars; more scores are grouped.
constexpr std::int32_t MOST_BARS = 60;
// Above this many questions the item map's points are drawn smaller.
constexpr std::size_t MANY_QUESTIONS = 200;
// One option of the options column: its width and its bars' longest length.
constexpr double OPTION_WIDTH = 44;
constexpr double BAR_START = 12;
constexpr double BAR_LENGTH = 28;

void append_format(std::string& out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void append_format(std::string& out, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    char buffer[256];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(length));
    } else if (length > 0) { // longer than the buffer: formatted again in place
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&out[start], static_cast<std::size_t>(length) + 1, format, again);
        out.resize(start + static_cast<std::size_t>(length));
    }
    va_end(again);
}

// "1 sheet", "2 sheets": a count and its noun.
std::string count_of(std::int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A figure with three decimals, as the tables show it.
std::string decimals(long double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
    return text;
}

// An optional figure, or a dash where it cannot be worked out.
std::string decimals(const std::optional<long double>& value) {
    return value ? decimals(*value) : "\xe2\x80\x94";
}

// `value` within [low, high]; a value that is not a number goes to `low`,
// so that no figure can put a point outside its chart.
double clamp(long double value, double low, double high) {
    const double v = static_cast<double>(value);
    if (!(v >= low)) return low;
    return v > high ? high : v;
}

// The length of the valid UTF-8 sequence at `text[i]` and its code point in
// `code`; 0 when the byte there begins none.
std::size_t utf8_sequence(const std::string& text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char first = byte(i);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // the range of the second byte
    unsigned char high = 0xbf;
    if (first >= 0xc2 && first <= 0xdf) {
        length = 2;
        code = first & 0x1fu;
    } else if (first >= 0xe0 && first <= 0xef) {
        length = 3;
        code = first & 0x0fu;
        if (first == 0xe0) low = 0xa0;  // no overlong forms
        if (first == 0xed) high = 0x9f; // no surrogates
    } else if (first >= 0xf0 && first <= 0xf4) {
        length = 4;
        code = first & 0x07u;
        if (first == 0xf0) low = 0x90;
        if (first == 0xf4) high = 0x8f; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) return 0;
        code = code << 6 | (next & 0x3fu);
    }
    return length;
}

// Characters that HTML reads as a parse error and XML not at all: control
// characters but tab, line feed and carriage return, and the noncharacters.
bool unfit_character(std::uint32_t code) {
    if (code < 0x20) return code != '\t' && code != '\n' && code != '\r';
    if (code >= 0x7f && code <= 0x9f) return true;
    if (code >= 0xfdd0 && code <= 0xfdef) return true;
    return (code & 0xfffeu) == 0xfffeu;
}

// The kinds of flag, each with its own shape on the item map.
enum class FlagKind { none, key_error, no_variance, negative, edge };

FlagKind flag_kind(const ItemStatistics& item) {
    if (item.key_error != 0 || std::strcmp(item.flag, FLAG_KEY_ERROR) == 0)
        return FlagKind::key_error;
    if (std::strcmp(item.flag, FLAG_NO_VARIANCE) == 0) return FlagKind::no_variance;
    if (std::strcmp(item.flag, FLAG_NEGATIVE) == 0) return FlagKind::negative;
    if (item.flag[0] != '\0') return FlagKind::edge; // too easy or too hard
    return FlagKind::none;
}

// The shape of a point of kind `kind` centred on (x, y), `size` its radius,
// as an SVG element of class "pt" opened but not closed (its title follows).
void open_point(std::string& out, FlagKind kind, double x, double y, double size) {
    const double s = size * 1.5; // flagged shapes are larger than the circles
    switch (kind) {
    case FlagKind::none:
        append_format(out, "<circle class=\"pt k-none\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\">", x, y,
                      size);
        break;
    case FlagKind::key_error: // a diamond
        append_format(out, "<path class=\"pt k-key\" d=\"M%.1f %.1fl%.1f %.1f %.1f %.1f %.1f %.1fz\">",
                      x, y - s, s, s, -s, s, -s, -s);
        break;
    case FlagKind::negative: // a triangle pointing down
        append_format(out, "<path class=\"pt k-neg\" d=\"M%.1f %.1fh%.1fl%.1f %.1fz\">", x - s,
                      y - s * 0.6, 2 * s, -s, 1.6 * s);
        break;
    case FlagKind::edge: // a triangle pointing up
        append_format(out, "<path class=\"pt k-edge\" d=\"M%.1f %.1fl%.1f %.1fh%.1fz\">", x,
                      y - s, s, 1.6 * s, -2 * s);
        break;
    case FlagKind::no_variance: // a hollow square
        append_format(out, "<path class=\"pt k-var\" d=\"M%.1f %.1fh%.1fv%.1fh%.1fz\">", x - size,
                      y - size, 2 * size, 2 * size, -2 * size);
        break;
    }
}

const char* const POINT_END[] = {"</circle>", "</path>"};

// The numbers of the flagged questions at one place of the item map.
struct PointLabel {
    double x;
    double y;
    std::string text;
};

// The legend of the item map's shapes, in HTML under the chart so that it
// wraps on a narrow screen.
void write_map_legend(std::string& out) {
    struct Entry {
        FlagKind kind;
        const char* text;
    };
    const Entry entries[] = {
        {FlagKind::none, "no flag"},
        {FlagKind::key_error, "possible key error"},
        {FlagKind::negative, "negative discrimination"},
        {FlagKind::edge, "too easy or too hard"},
        {FlagKind::no_variance, "no variance"},
    };
    out += "<ul class=\"legend\">";
    for (const Entry& entry : entries) {
        out += "<li><svg viewBox=\"-8 -8 16 16\" aria-hidden=\"true\">";
        std::string shape;
        open_point(shape, entry.kind, 0, 0, 4);
        // The legend's shapes are not points of the map.
        shape.replace(shape.find("\"pt "), 4, "\"");
        out += shape;
        out += POINT_END[entry.kind == FlagKind::none ? 0 : 1];
        out += "</svg> ";
        out += entry.text;
        out += "</li>";
    }
    out += "<li><svg viewBox=\"0 -8 24 16\" style=\"width:1.6em\" aria-hidden=\"true\">"
           "<line class=\"guide\" x1=\"0\" y1=\"0\" x2=\"24\" y2=\"0\"></line></svg> "
           "where a flag begins</li></ul>\n";
}

// The figures of one question as its point's title and hover text.
std::string question_title(const QuestionAnalysis& question) {
    const ItemStatistics& item = question.statistics;
    std::string title = "Question " + std::to_string(question.question) + ": difficulty " +
                        decimals(item.difficulty) + ", point-biserial " +
                        decimals(item.point_biserial) + ", upper-lower " +
                        decimals(item.discrimination);
    const std::string flag = flag_text(item);
    if (!flag.empty()) title += ", " + flag;
    return title;
}

void write_item_map(std::string& out, const FormAnalysis& form) {
    // The point-biserial axis spans -0.2 to 0.6 at least, widened in steps
    // of 0.1 to every point's value.
    int low_tenths = -2;
    int high_tenths = 6;
    for (const QuestionAnalysis& question : form.questions) {
        const std::optional<long double>& r = question.statistics.point_biserial;
        if (!r || !std::isfinite(static_cast<double>(*r))) continue;
        const double v = clamp(*r, -1, 1);
        const int below = static_cast<int>(std::floor(v * 10 + 1e-9));
        const int above = static_cast<int>(std::ceil(v * 10 - 1e-9));
        if (below < low_tenths) low_tenths = below;
        if (above > high_tenths) high_tenths = above;
    }
    const double low = low_tenths / 10.0;
    const double high = high_tenths / 10.0;
    const auto x_of = [](long double difficulty) {
        return MAP_LEFT + clamp(difficulty, 0, 1) * (MAP_RIGHT - MAP_LEFT);
    };
    const auto y_of = [&](long double r) {
        return MAP_BOTTOM - (clamp(r, low, high) - low) / (high - low) * (MAP_BOTTOM - MAP_TOP);
    };

    out += "<figure class=\"item-map\"><figcaption>Item map: each scored question at its "
           "difficulty (share of sheets right, across) and corrected point-biserial "
           "(its correlation with the rest of the test, up). Flagged questions have their own "
           "shape and their number beside them; dashed lines mark where the flags begin. "
           "Hover over a point for its figures. Questions whose point-biserial cannot be "
           "worked out stand in the row below the chart.</figcaption>\n";
    // A group rather than an image, so that a screen reader reaches each
    // point and reads its title.
    append_format(out, "<svg class=\"map\" viewBox=\"0 0 %.0f %.0f\" role=\"group\">", MAP_WIDTH,
                  MAP_HEIGHT);
    out += "<title>Item map of form " + html_escape(std::string(1, form.form)) + "</title>\n";
    // Grid and axes.
    for (int t = 0; t <= 10; ++t) {
        const double x = x_of(t / 10.0L);
        append_format(out, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>"
                      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%.1f</text>\n",
                      x, MAP_TOP, x, MAP_BOTTOM, x, MAP_NO_R + 22, t / 10.0);
    }
    const int step = high_tenths - low_tenths > 10 ? 2 : 1;
    for (int t = low_tenths; t <= high_tenths; ++t) {
        if ((t - low_tenths) % step != 0) continue;
        const double y = y_of(t / 10.0L);
        append_format(out, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>"
                      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%.1f</text>\n",
                      MAP_LEFT, y, MAP_RIGHT, y, MAP_LEFT - 6, y + 4, t / 10.0);
    }
    append_format(out, "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>"
                  "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>\n",
                  MAP_LEFT, MAP_BOTTOM, MAP_RIGHT, MAP_BOTTOM, MAP_LEFT, MAP_TOP, MAP_LEFT,
                  MAP_BOTTOM);
    append_format(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\" class=\"guide-text\">"
                  "no r</text>\n", MAP_LEFT - 6, MAP_NO_R + 4);
    append_format(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">Difficulty (share of "
                  "sheets right)</text>\n", (MAP_LEFT + MAP_RIGHT) / 2, MAP_HEIGHT - 8);
    append_format(out, "<text transform=\"translate(16 %.1f) rotate(-90)\" text-anchor=\"middle\">"
                  "Corrected point-biserial</text>\n", (MAP_TOP + MAP_BOTTOM) / 2);
    // Guide lines where the flags begin: too hard, too easy, negative.
    const double hard_x = x_of(TOO_HARD_TENTHS / 10.0L);
    const double easy_x = x_of(TOO_EASY_TENTHS / 10.0L);
    const double zero_y = y_of(0);
    append_format(out, "<line class=\"guide hard\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" "
                  "y2=\"%.1f\"></line><text class=\"guide-text\" x=\"%.1f\" y=\"%.1f\">"
                  "too hard</text>\n", hard_x, MAP_TOP, hard_x, MAP_BOTTOM, hard_x - 44,
                  MAP_TOP + 10);
    append_format(out, "<line class=\"guide easy\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\">"
                  "</line><text class=\"guide-text\" x=\"%.1f\" y=\"%.1f\">too easy</text>\n",
                  easy_x, MAP_TOP, easy_x, MAP_BOTTOM, easy_x + 4, MAP_TOP + 10);
    append_format(out, "<line class=\"guide negative\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\">"
                  "</line><text class=\"guide-text\" x=\"%.1f\" y=\"%.1f\">negative below</text>\n",
                  MAP_LEFT, zero_y, MAP_RIGHT, zero_y, MAP_LEFT + 4, zero_y + 12);

    // The points, unflagged first so that flagged ones are drawn on top;
    // then the numbers of the flagged ones, one label for the questions
    // that share a place (as all without variance at 1.0 do).
    const double size = form.questions.size() > MANY_QUESTIONS ? 2.5 : 4;
    std::vector<PointLabel> labels;
    std::map<std::pair<long, long>, std::size_t> label_at;
    for (int pass = 0; pass < 2; ++pass)
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            const FlagKind kind = flag_kind(item);
            if ((kind == FlagKind::none) != (pass == 0)) continue;
            const double x = x_of(item.difficulty);
            const double y = item.point_biserial ? y_of(*item.point_biserial) : MAP_NO_R;
            open_point(out, kind, x, y, size);
            out += "<title>" + html_escape(question_title(question)) + "</title>";
            out += POINT_END[kind == FlagKind::none ? 0 : 1];
            out += '\n';
            if (kind == FlagKind::none) continue;
            const std::pair<long, long> place{std::lround(x * 10), std::lround(y * 10)};
            const auto [found, added] = label_at.emplace(place, labels.size());
            if (added)
                labels.push_back({x, y, std::to_string(question.question)});
            else
                labels[found->second].text += " " + std::to_string(question.question);
        }
    for (const PointLabel& label : labels) {
        // Labels right of the point, or left of it near the right edge.
        const bool left = label.x > MAP_RIGHT - 30;
        append_format(out, "<text class=\"lab\" x=\"%.1f\" y=\"%.1f\"%s>", left ? label.x - 8 : label.x + 7,
                      label.y - 5, left ? " text-anchor=\"end\"" : "");
        out += label.text + "</text>\n";
    }
    out += "</svg>\n";
    write_map_legend(out);
    out += "</figure>\n";
}

// A step for an axis of counts up to `most`: 1, 2 or 5 times a power of
// ten, giving at most five steps.
std::int64_t count_step(std::int64_t most) {
    std::int64_t step = 1;
    while (true) {
        for (const std::int64_t factor : {1, 2, 5})
            if (most <= 5 * step * factor) return step * factor;
        step *= 10;
    }
}

// The scores each bar of a histogram of `scores` scores counts: 1, 2 or 5
// times a power of ten, the least that keeps to MOST_BARS bars, so that the
// bars start at round scores.
std::int32_t bar_width_in_scores(std::int32_t scores) {
    for (std::int64_t power = 1;; power *= 10)
        for (const std::int64_t factor : {1, 2, 5})
            if (scores <= MOST_BARS * power * factor)
                return static_cast<std::int32_t>(power * factor);
}

void write_histogram(std::string& out, const FormAnalysis& form) {
    const std::vector<std::int32_t>& counts = form.test.score_counts;
    const auto scores = static_cast<std::int32_t>(counts.size());
    if (scores == 0) return;
    const std::int32_t width = bar_width_in_scores(scores);
    const std::int32_t bars = (scores + width - 1) / width;
    std::vector<std::int64_t> heights(static_cast<std::size_t>(bars), 0);
    for (std::int32_t s = 0; s < scores; ++s) heights[s / width] += counts[s];
    std::int64_t most = 1;
    for (std::int64_t h : heights)
        if (h > most) most = h;
    const std::int64_t step = count_step(most);
    const std::int64_t top = (most + step - 1) / step * step;
    const double bar_width = (HIST_RIGHT - HIST_LEFT) / bars;
    const auto y_of = [&](std::int64_t count) {
        return HIST_BOTTOM - static_cast<double>(count) / static_cast<double>(top) *
                                 (HIST_BOTTOM - HIST_TOP);
    };

    out += "<figure class=\"histogram\"><figcaption>Raw scores (questions right) of the form's "
           "sheets: ";
    if (width == 1)
        out += "one bar per score from 0 to " + std::to_string(scores - 1) + ".";
    else
        out += "each bar counts " + std::to_string(width) + " scores next to each other (0 to " +
               std::to_string(width - 1) + ", " + std::to_string(width) + " to " +
               std::to_string(2 * width - 1) + " and so on), to keep the chart small.";
    out += " Hover over a bar for its count.</figcaption>\n";
    append_format(out, "<svg class=\"hist\" viewBox=\"0 0 %.0f %.0f\" role=\"group\">", HIST_WIDTH,
                  HIST_HEIGHT);
    out += "<title>Histogram of the raw scores of form " +
           html_escape(std::string(1, form.form)) + "</title>\n";
    for (std::int64_t c = 0; c <= top; c += step) {
        const double y = y_of(c);
        append_format(out, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>"
                      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n",
                      HIST_LEFT, y, HIST_RIGHT, y, HIST_LEFT - 6, y + 4, std::to_string(c).c_str());
    }
    // Score labels under at most about 20 bars.
    const std::int32_t label_every = (bars + 19) / 20;
    for (std::int32_t b = 0; b < bars; ++b) {
        const std::int32_t first = b * width;
        const std::int32_t last = first + width - 1 < scores - 1 ? first + width - 1 : scores - 1;
        const double x = HIST_LEFT + b * bar_width;
        const std::int64_t h = heights[b];
        append_format(out, "<rect class=\"bar\" x=\"%.2f\" y=\"%.1f\" width=\"%.2f\" height=\"%.1f\">",
                      x, y_of(h), bar_width, HIST_BOTTOM - y_of(h));
        if (first == last)
            append_format(out, "<title>Score %d (%.1f%%): %s</title></rect>", first,
                          static_cast<double>(form.percent_of_score.size() >
                                                      static_cast<std::size_t>(first)
                                                  ? form.percent_of_score[first]
                                                  : 0),
                          count_of(h, "sheet").c_str());
        else
            append_format(out, "<title>Scores %d to %d: %s</title></rect>", first, last,
                          count_of(h, "sheet").c_str());
        if (b % label_every == 0)
            append_format(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%d</text>",
                          x + bar_width / 2, HIST_BOTTOM + 16, first);
        out += '\n';
    }
    append_format(out, "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>"
                  "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"></line>\n",
                  HIST_LEFT, HIST_BOTTOM, HIST_RIGHT, HIST_BOTTOM, HIST_LEFT, HIST_TOP, HIST_LEFT,
                  HIST_BOTTOM);
    append_format(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">Raw score (questions "
                  "right)%s</text>\n", (HIST_LEFT + HIST_RIGHT) / 2, HIST_HEIGHT - 12,
                  width == 1 ? "" : ", first score of each bar");
    append_format(out, "<text transform=\"translate(18 %.1f) rotate(-90)\" text-anchor=\"middle\">"
                  "Sheets</text>\n", (HIST_TOP + HIST_BOTTOM) / 2);
    out += "</svg></figure>\n";
}

void write_summary(std::string& out, const FormAnalysis& form) {
    const TestStatistics& test = form.test;
    const auto row = [&](const char* name, const std::string& value) {
        out += "<tr><th scope=\"row\">";
        out += name;
        out += "</th><td>" + value + "</td></tr>\n";
    };
    out += "<table class=\"summary\"><caption class=\"text\">Summary (scores are questions "
           "right)</caption>\n";
    row("Sheets", std::to_string(test.sheets));
    row("Questions", std::to_string(test.items));
    row("Mean", decimals(test.mean));
    row("Median", decimals(test.median));
    row("Standard deviation", decimals(test.std_dev));
    row("Lowest", std::to_string(test.lowest));
    row("Highest", std::to_string(test.highest));
    row("KR-20 reliability", test.kr20 ? decimals(test.kr20) + " (" +
                                             reliability_reading(*test.kr20) + ")"
                                       : "cannot be worked out (fewer than two questions, or "
                                         "every sheet has the same score)");
    row("Standard error of measurement", decimals(test.sem));
    row("Skewness", decimals(test.skewness));
    row("Excess kurtosis", decimals(test.kurtosis));
    out += "</table>\n";
}

// One question's options as small bars: for each, the share of the upper
// group (top bar) and of the lower group (bottom bar) that chose it, the
// key's letters bold, underlined and framed.
void write_option_bars(std::string& out, const ItemStatistics& item) {
    const std::size_t options = item.options.size();
    const double width = static_cast<double>(options) * OPTION_WIDTH;
    append_format(out, "<svg class=\"opts\" viewBox=\"0 0 %.0f 22\" style=\"width:%.1fem\">", width,
                  width / 11);
    double x = 0;
    for (const OptionStatistics& option : item.options) {
        const std::string name = option.option != 0 ? std::string(1, option.option) : "none";
        out += "<g><title>" + html_escape(name) + (option.key ? " (key)" : "");
        if (option.upper && option.lower)
            out += ": upper group " + decimals(option.upper) + ", lower group " +
                   decimals(option.lower);
        out += ", all " + decimals(option.share) + "</title>";
        if (option.key)
            append_format(out, "<rect class=\"frame\" x=\"%.1f\" y=\"1\" width=\"%.1f\" "
                          "height=\"20\"></rect>", x + 0.5, OPTION_WIDTH - 3);
        append_format(out, "<text x=\"%.1f\" y=\"16\"%s>%s</text>", x + 2.5,
                      option.key ? " class=\"key\"" : "",
                      option.option != 0 ? html_escape(name).c_str() : "\xe2\x80\x93");
        append_format(out, "<rect class=\"track\" x=\"%.1f\" y=\"3\" width=\"%.1f\" height=\"16\">"
                      "</rect>", x + BAR_START, BAR_LENGTH);
        append_format(out, "<rect class=\"u\" x=\"%.1f\" y=\"4\" width=\"%.1f\" height=\"6\"></rect>",
                      x + BAR_START, clamp(option.upper.value_or(0), 0, 1) * BAR_LENGTH);
        append_format(out, "<rect class=\"l\" x=\"%.1f\" y=\"12\" width=\"%.1f\" height=\"6\"></rect>",
                      x + BAR_START, clamp(option.lower.value_or(0), 0, 1) * BAR_LENGTH);
        out += "</g>";
        x += OPTION_WIDTH;
    }
    out += "</svg>";
}

void write_item_table(std::string& out, const FormAnalysis& form) {
    out += "<table class=\"items\"><caption class=\"text\">Questions. Options: for each, the "
           "share of the upper 27% of sheets (top bar, blue) and of the lower 27% (bottom bar, "
           "orange) that chose it; the key's letters are bold, underlined and framed, \xe2\x80\x93 "
           "is no mark or a mark that is not a letter. Hover over an option for its "
           "figures.</caption>\n"
           "<thead><tr><th scope=\"col\">Question</th><th scope=\"col\" class=\"text\">Key</th>"
           "<th scope=\"col\">Difficulty</th><th scope=\"col\">Point-biserial</th>"
           "<th scope=\"col\">Upper-lower</th><th scope=\"col\" class=\"text\">Flag</th>"
           "<th scope=\"col\" class=\"text\">Options</th></tr></thead>\n<tbody>\n";
    for (const QuestionAnalysis& question : form.questions) {
        const ItemStatistics& item = question.statistics;
        std::string key;
        for (const OptionStatistics& option : item.options)
            if (option.key && option.option != 0) key += option.option;
        const std::string flag = flag_text(item);
        out += flag.empty() ? "<tr>" : "<tr class=\"flagged\">";
        append_format(out, "<th scope=\"row\">%d</th>", question.question);
        out += "<td class=\"text\">" + (key.empty() ? std::string("\xe2\x80\x94") : html_escape(key)) +
               "</td><td>" + decimals(item.difficulty) + "</td><td>" +
               decimals(item.point_biserial) + "</td><td>" + decimals(item.discrimination) +
               "</td><td class=\"text flag\">" + html_escape(flag) + "</td><td class=\"text\">";
        write_option_bars(out, item);
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n";
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

void write_checks(std::string& out, const std::vector<SheetCheck>& checks) {
    out += "<section id=\"checks\"><h2>Sheets to look at</h2>\n"
           "<table class=\"checks\"><thead><tr><th scope=\"col\" class=\"text\">Check</th>"
           "<th scope=\"col\" class=\"text\">Form</th><th scope=\"col\">Order</th>"
           "<th scope=\"col\" class=\"text\">Student ID</th><th scope=\"col\" class=\"text\">"
           "Detail</th></tr></thead>\n<tbody>\n";
    for (const SheetCheck& check : checks) {
        out += "<tr><td class=\"text\">";
        out += check_name(check.kind);
        out += "</td><td class=\"text\">" + html_escape(std::string(1, check.form)) + "</td><td>" +
               (check.order > 0 ? std::to_string(check.order) : std::string()) +
               "</td><td class=\"text file\">" + html_escape(check.student_id) +
               "</td><td class=\"text\">" + html_escape(check.detail) + "</td></tr>\n";
    }
    out += "</tbody></table></section>\n";
}

} // namespace

std::string html_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::uint32_t code = 0;
        const std::size_t length = utf8_sequence(text, i, code);
        if (length == 0 || unfit_character(code)) {
            out += "\xef\xbf\xbd"; // U+FFFD for the one byte
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (code) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

const char* reliability_reading(long double kr20) {
    // Judged in thousandths, as shown, so that a page reading "0.900" says
    // "excellent" and never "good".
    const long double thousandths = std::round(static_cast<double>(kr20) * 1000);
    if (thousandths >= 900) return "excellent";
    if (thousandths >= 800) return "good";
    if (thousandths >= 700) return "acceptable";
    if (thousandths >= 600) return "poor";
    return "unreliable";
}

std::string analysis_html(const Analysis& analysis, const std::string& report_name) {
    const std::string name =
        report_name == "-" ? std::string("standard input") : html_escape(report_name);
    std::int64_t sheets = 0;
    std::size_t questions = 0;
    bool key_errors = false;
    for (const FormAnalysis& form : analysis.forms) {
        sheets += form.test.sheets;
        questions += form.questions.size();
        for (const QuestionAnalysis& question : form.questions)
            key_errors = key_errors || question.statistics.key_error != 0;
    }
    std::string out;
    out.reserve(4096 + questions * 1600);
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"/>"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
           "<title>Item analysis: " + name + "</title>\n<style>\n";
    out += STYLE;
    out += "</style></head>\n<body>\n<header><h1>Item analysis of <span class=\"file\">" + name +
           "</span></h1>\n";
    out += "<p>" + count_of(sheets, "scored sheet") + " on " +
           count_of(static_cast<std::int64_t>(analysis.forms.size()), "form") + ". Written by quillmark-analyze from the report of quillmark. Scores are raw scores: "
           "the number of scored questions a sheet answered correctly.</p>\n<nav><ul>";
    for (std::size_t f = 0; f < analysis.forms.size(); ++f)
        out += "<li><a href=\"#" + form_anchor(analysis.forms[f], f) + "\">Form " +
               html_escape(std::string(1, analysis.forms[f].form)) + "</a></li>";
    if (!analysis.checks.empty()) out += "<li><a href=\"#checks\">Sheets to look at</a></li>";
    if (key_errors) out += "<li><a href=\"#fix-options\">Fix options</a></li>";
    out += "</ul></nav></header>\n<main>\n";
    if (analysis.forms.empty())
        out += "<p>The report has no scored sheets: there is nothing to analyse. The sheet "
               "checks say why, where a sheet row shows it.</p>\n";

    if (!analysis.checks.empty()) write_checks(out, analysis.checks);
    if (key_errors)
        out += "<section id=\"fix-options\"><h2>Suggested fix options</h2>\n<p>Some questions may "
               "be keyed wrong. Save this text as a file and grade again with "
               "<code>optf:</code><i>file</i> to make each suspected letter the answer:</p>\n"
               "<pre>" + html_escape(fix_options(analysis)) + "</pre></section>\n";
    if (analysis.checks.empty() && !key_errors)
        out += "<p>No sheet check found anything and no question looks keyed wrong.</p>\n";

    for (std::size_t f = 0; f < analysis.forms.size(); ++f) {
        const FormAnalysis& form = analysis.forms[f];
        out += "<section class=\"form\" id=\"" + form_anchor(form, f) + "\"><h2>Form " +
               html_escape(std::string(1, form.form)) + "</h2>\n";
        write_summary(out, form);
        append_format(out, "<p class=\"note\">KR-20 is read on this scale: 0.90 and above "
                      "excellent, 0.80 to 0.89 good, 0.70 to 0.79 acceptable, 0.60 to 0.69 poor, "
                      "below 0.60 unreliable. Flags: possible key error, no variance, negative "
                      "discrimination (point-biserial below 0), too easy (more than %d%% right), "
                      "too hard (fewer than %d%% right); a question gets the first that "
                      "applies.</p>\n", TOO_EASY_TENTHS * 10, TOO_HARD_TENTHS * 10);
        out += "<h3>Scores</h3>\n";
        write_histogram(out, form);
        out += "<h3>Item map</h3>\n";
        write_item_map(out, form);
        out += "<h3>Questions</h3>\n";
        write_item_table(out, form);
        out += "</section>\n";
    }
    out += "</main>\n</body></html>\n";
    return out;
}

} // namespace quillmark
