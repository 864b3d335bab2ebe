// The charts of the analysis page, inline SVG: the building blocks every
// chart is drawn with (its frame and scales, grid lines, axes and their
// titles, guide lines, points and bars), and the charts of a form drawn
// with them: the histogram of the raw scores and the item map. Classes name
// the styles the page's style sheet gives them ("tick", "axis", "guide",
// "bar"); coordinates are SVG user units, y growing downwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyze/analysis.h"
#include "analyze/page_markup.h"

namespace quillmark {

// The page's mark for a figure that cannot be worked out: an em dash.
extern const char NO_FIGURE[];

// "1 sheet", "2 sheets": a count and its noun.
std::string count_of(std::int64_t count, const char* noun);

// A chart's size and its plot area: the plot spans `left` to `right`
// across and `top` to `bottom` down; axis labels and titles go around it.
struct ChartFrame {
    double width;
    double height;
    double left;
    double right;
    double top;
    double bottom;
};

// The frame of a chart of the page: every chart has the same width and
// plot sides and top, so that they line up; `bottom` and `height` are its own.
ChartFrame page_chart_frame(double bottom, double height);

// `value` within [low, high]; a value that is not a number goes to `low`,
// so that no figure can put a mark outside its chart.
double clamped(long double value, double low, double high);

// A straight map of the values `low` to `high` onto the user units `start`
// to `end` (either way round: a y scale maps its low value to the plot's
// bottom); values beyond the range go to its nearer end, as clamped() does.
struct Scale {
    double low;
    double high;
    double start;
    double end;
    double operator()(long double value) const;
};

// The step of an axis of counts up to `most`: 1, 2 or 5 times a power of
// ten, giving at most five steps.
std::int64_t count_step(std::int64_t most);

// "<figure class=...><figcaption>" the caption "</figcaption>" and a line end.
void open_figure(Markup& out, const char* css_class, const Markup& caption);
// "</figure>" and a line end.
void close_figure(Markup& out);

// Opens the chart's svg element, with `title` as its accessible name, and
// ends the line. A group rather than an image, so that a screen reader
// reaches each mark and reads its title.
void open_chart(Markup& out, const ChartFrame& frame, const char* css_class,
                std::string_view title);
// "</svg>".
void close_chart(Markup& out);

// A line from (x1, y1) to (x2, y2) of class `css_class`.
void line(Markup& out, const char* css_class, double x1, double y1, double x2, double y2);

// A text anchored ("start", "middle" or "end") at (x, y).
void label(Markup& out, double x, double y, const char* anchor, std::string_view text);

// A grid line across the plot at height y, labelled left of the plot; ends
// the line.
void grid_line_across(Markup& out, const ChartFrame& frame, double y, std::string_view text);
// A grid line up the plot at x, labelled centred at height `label_y`; ends
// the line.
void grid_line_up(Markup& out, const ChartFrame& frame, double x, double label_y,
                  std::string_view text);

// The two axes, along the bottom and up the left of the plot; ends the line.
void chart_axes(Markup& out, const ChartFrame& frame);
// The title of the x axis, centred under the plot at height `y`; of the y
// axis, turned upwards and centred on the plot at `x`. Each ends the line.
void x_axis_title(Markup& out, const ChartFrame& frame, double y, std::string_view title);
void y_axis_title(Markup& out, const ChartFrame& frame, double x, std::string_view title);

// A dashed guide line from (x1, y1) to (x2, y2), of class "guide" and
// `kind`, with its words at (text_x, text_y); ends the line.
void guide_line(Markup& out, const char* kind, double x1, double y1, double x2, double y2,
                std::string_view words, double text_x, double text_y);

// The shapes of points. `size` is a circle's radius; the diamond and the
// triangles reach 1.5 times as far, the square as far as the circle.
enum class PointShape { circle, diamond, triangle_down, triangle_up, square };

// A point of the given shape centred on (x, y), with `title` as its hover
// text and accessible name (none when empty).
void point(Markup& out, PointShape shape, const char* css_class, double x, double y, double size,
           std::string_view title);

// A bar of class "bar" standing on the plot's bottom, from x across `width`,
// up to height y, with `title` as its hover text.
void bar(Markup& out, const ChartFrame& frame, double x, double width, double y,
         std::string_view title);

// A line through the points (xs[i], ys[i]) of class "curve" and `kind`,
// unfilled, with `title` as its hover text; ends the line.
void polyline(Markup& out, const char* kind, const std::vector<double>& xs,
              const std::vector<double>& ys, std::string_view title);

// The histogram of the form's raw scores: one bar per score, or per group
// of neighbouring scores when there are many, each titled with its count.
void write_score_histogram(Markup& out, const FormAnalysis& form);

// The grade distribution: one bar per grade of the scale, in its order, up
// to the number of sheets that got it, that number written above the bar
// and the grade under it.
void write_grade_chart(Markup& out, const Analysis& analysis);

// The scores by tag: one bar per tag, in the tags' order, up to its mean
// per cent right, that figure written above the bar and the tag's name
// (cut to fit) under it.
void write_tag_chart(Markup& out, const TagScores& tags);

// The item map: every scored question at its difficulty (across) and its
// corrected point-biserial (up), flagged questions with their own shape and
// their number, guide lines where the flags begin, and a legend.
void write_item_map(Markup& out, const FormAnalysis& form);

// The Wright map of a calibrated form: the sheets' measures (a bar of the
// sheets of each raw score at its measure) above, the questions' measures
// below, on one logit axis; misfitting questions (rasch_misfit) with their
// own shape and class "misfit", and a legend.
void write_wright_map(Markup& out, const FormAnalysis& form, const RaschAnalysis& rasch);

// The test information I = sum of p(1 - p) over the calibrated questions,
// and its standard error of measurement 1 / sqrt(I), across the logit
// range of the Wright map.
void write_test_information(Markup& out, const FormAnalysis& form, const RaschAnalysis& rasch);

} // namespace quillmark
