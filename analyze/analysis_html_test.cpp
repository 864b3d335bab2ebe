#include "analyze/analysis_html.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/quiz_report.h"

namespace quillmark {
namespace {

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// The opening tag of the element whose content begins with `marker`.
std::string tag_before(const std::string& page, const std::string& marker) {
    const std::size_t at = page.find(marker);
    if (at == std::string::npos || at == 0) return "";
    const std::size_t start = page.rfind('<', at - 1);
    return page.substr(start, at - start);
}

// The number in attribute `name` of the opening tag `tag`; NaN without it.
double attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return std::strtod("nan", nullptr);
    return std::strtod(tag.c_str() + at + name.size() + 3, nullptr);
}

QuestionAnalysis question(std::int32_t number, long double difficulty, std::optional<long double> r,
                          ItemFlag flag, char key_error = 0) {
    QuestionAnalysis result;
    result.question = number;
    result.statistics.difficulty = difficulty;
    result.statistics.point_biserial = r;
    result.statistics.discrimination = 0.4L;
    result.statistics.flag = flag;
    result.statistics.key_error = key_error;
    OptionStatistics key;
    key.option = 'B';
    key.key = true;
    key.upper = 0.75L;
    key.lower = 0.25L;
    OptionStatistics other;
    other.option = 'C';
    other.upper = 0.25L;
    other.lower = 0.5L;
    OptionStatistics none;
    none.upper = 0;
    none.lower = 0.25L;
    result.statistics.options = {key, other, none};
    return result;
}

// Form A: question 1 right at the too-hard bound, question 2 at the
// too-easy bound with a point-biserial of 0 (neither flagged), question 3 a
// possible key error, question 4 without variance and without a
// point-biserial. Form B: one question. A duplicate student with a hostile
// identifier.
Analysis small_analysis() {
    FormAnalysis a;
    a.form = 'A';
    a.test.sheets = 10;
    a.test.items = 4;
    a.test.kr20 = 0.5L;
    a.test.score_counts = {0, 2, 5, 3, 0};
    a.percent_of_score = {0, 25, 50, 75, 100};
    a.questions = {question(1, 0.3L, 0.25L, ItemFlag::none),
                   question(2, 0.9L, 0.0L, ItemFlag::none),
                   question(3, 0.5L, -0.4L, ItemFlag::key_error, 'C'),
                   question(4, 1.0L, std::nullopt, ItemFlag::no_variance)};
    FormAnalysis b;
    b.form = 'B';
    b.test.sheets = 2;
    b.test.items = 1;
    b.test.score_counts = {1, 1};
    b.percent_of_score = {0, 100};
    b.questions = {question(1, 0.5L, std::nullopt, ItemFlag::none)};

    Analysis analysis;
    analysis.forms = {a, b};
    analysis.checks = {{CheckKind::duplicate_student, 'A', 7, "<script>&\"",
                        "same Student ID and Exam # as Order 2"}};
    return analysis;
}

TEST(AnalysisHtml, OnePointAndOneRowPerScoredQuestionFlaggedOnesLabelledByShape) {
    const std::string page = analysis_html(small_analysis(), "quiz.csv");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_EQ(count(page, "<section class=\"form\""), 2u);
    EXPECT_EQ(count(page, "<circle class=\"pt "), 3u); // A1, A2 and B1
    EXPECT_EQ(count(page, "<path class=\"pt "), 2u);
    EXPECT_EQ(count(page, "<title>Question "), 5u);
    EXPECT_EQ(count(page, "<th scope=\"row\">"), 5u + 11 + 11); // the items, two summaries
    EXPECT_NE(tag_before(page,
                         "<title>Question 3: difficulty 0.500, point-biserial -0.400, "
                         "upper-lower 0.400, possible key error: C</title>")
                  .find("<path class=\"pt k-key\""),
              std::string::npos);
    // Without a point-biserial the question stands in the row below the plot.
    const std::string no_r = tag_before(page, "<title>Question 4:");
    EXPECT_NE(no_r.find("k-var"), std::string::npos);
    // Labels on the flagged points alone.
    std::string labels;
    for (std::size_t at = page.find("<text class=\"lab\""); at != std::string::npos;
         at = page.find("<text class=\"lab\"", at + 1)) {
        const std::size_t start = page.find('>', at) + 1;
        labels += page.substr(start, page.find('<', start) - start) + ";";
    }
    EXPECT_EQ(labels, "3;4;");
    EXPECT_EQ(count(page, "<title>Question 1: difficulty 0.500, point-biserial \xe2\x80\x94"), 1u);
    // The key's letter is framed and bold in the option bars; the key column names it.
    EXPECT_NE(page.find("<title>B (key): upper group 0.750, lower group 0.250, all 0.000</title>"
                        "<rect class=\"frame\""),
              std::string::npos);
    EXPECT_NE(page.find("<title>none: upper group 0.000, lower group 0.250"), std::string::npos);
    EXPECT_NE(page.find("<tr class=\"flagged\"><th scope=\"row\">3</th><td class=\"text\">B</td>"),
              std::string::npos);
    EXPECT_EQ(count(page, "<tr class=\"flagged\">"), 2u);
    // The suggested fix, copyable.
    EXPECT_NE(page.find("<pre># Written by quillmark-analyze"), std::string::npos);
    EXPECT_NE(page.find("\nalta:3C\n</pre>"), std::string::npos);
    EXPECT_NE(page.find("12 scored sheets on 2 forms"), std::string::npos);
}

TEST(AnalysisHtml, TheWholeExamAndTheTopicsComeBeforeTheForms) {
    // The exam is form B's one question as master question 7, found on A
    // as 1 and on B as 1 with letters BA; form C's key disagrees. Two tags,
    // "<b>" at 62.5% and an empty one.
    Analysis analysis = small_analysis();
    FormAnalysis exam = analysis.forms[1];
    exam.form = WHOLE_EXAM;
    exam.questions[0].question = 7;
    analysis.exam = exam;
    analysis.exam_versions = {{{'A', 1, ""}, {'B', 1, "BA"}}};
    analysis.key_amendments = {{'C', 4, 7, "B", "question 4 is master question 7"}};
    analysis.checks.push_back(
        {CheckKind::keys_disagree, 'C', 0, "", "question 4 is master question 7"});
    analysis.tags = TagScores({{"<b>", 4, 2, 2.5L, 62.5L, 1, 0.5L},
                               {"empty", 0, 2, 0, std::nullopt, 0, std::nullopt}},
                              {1, 2}, {3, 0, 2, 0});
    const std::string page = analysis_html(analysis, "quiz.csv");
    const std::size_t exam_at =
        page.find("<section class=\"form\" id=\"exam\"><h2>Whole exam</h2>");
    const std::size_t topics_at = page.find("<section id=\"topics\"><h2>Topics</h2>");
    const std::size_t form_at = page.find("<section class=\"form\" id=\"form-A\">");
    ASSERT_NE(exam_at, std::string::npos);
    EXPECT_LT(exam_at, topics_at);
    EXPECT_LT(topics_at, form_at);
    EXPECT_NE(page.find("Histogram of the raw scores of the whole exam"), std::string::npos);
    EXPECT_NE(page.find("<th scope=\"row\">7</th><td class=\"text\">A 1, B 1 (BA)</td>"),
              std::string::npos);
    // The disagreeing key in the exam's section and among the checks.
    EXPECT_EQ(count(page, "<td class=\"text\">question 4 is master question 7</td>"), 2u);
    // One bar, for the tag with questions, at 62.5% of the 0 to 100 axis.
    EXPECT_EQ(count(page, "<title>&lt;b&gt;: 62.500% (4 questions)</title>"), 1u);
    EXPECT_EQ(count(page, "% (0 questions)"), 0u);
    EXPECT_NE(page.find("<th scope=\"row\" class=\"text\">&lt;b&gt;</th><td>4</td><td>2</td>"
                        "<td>2.500</td><td>62.500</td>"),
              std::string::npos);
}

TEST(AnalysisHtml, GuideLinesStandWhereTheFlagsBegin) {
    const std::string page = analysis_html(small_analysis(), "quiz.csv");
    // Question 1 (difficulty 0.30) and 2 (0.90, point-biserial 0) sit on the lines.
    const std::string at_hard = tag_before(page, "<title>Question 1:");
    const std::string at_easy = tag_before(page, "<title>Question 2:");
    const std::size_t hard_at = page.find("<line class=\"guide hard\"");
    const std::size_t easy_at = page.find("<line class=\"guide easy\"");
    const std::size_t negative_at = page.find("<line class=\"guide negative\"");
    ASSERT_NE(hard_at, std::string::npos);
    ASSERT_NE(easy_at, std::string::npos);
    ASSERT_NE(negative_at, std::string::npos);
    const std::string hard_line = page.substr(hard_at, page.find('>', hard_at) - hard_at);
    const std::string easy_line = page.substr(easy_at, page.find('>', easy_at) - easy_at);
    const std::string zero_line =
        page.substr(negative_at, page.find('>', negative_at) - negative_at);
    EXPECT_DOUBLE_EQ(attribute(hard_line, "x1"), attribute(at_hard, "cx"));
    EXPECT_DOUBLE_EQ(attribute(hard_line, "x2"), attribute(at_hard, "cx"));
    EXPECT_DOUBLE_EQ(attribute(easy_line, "x1"), attribute(at_easy, "cx"));
    EXPECT_DOUBLE_EQ(attribute(zero_line, "y1"), attribute(at_easy, "cy"));
    EXPECT_DOUBLE_EQ(attribute(zero_line, "y2"), attribute(at_easy, "cy"));
    // Question 1 (r 0.25) stands above the zero line (SVG's y grows downwards).
    EXPECT_LT(attribute(at_hard, "cy"), attribute(zero_line, "y1"));
    EXPECT_LT(attribute(hard_line, "x1"), attribute(easy_line, "x1"));
}

TEST(AnalysisHtml, ReportTextsAreEscapedAndMadeValidUtf8) {
    const std::string page = analysis_html(small_analysis(), "a<b>&\"c'\xff.csv");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"text file\">&lt;script&gt;&amp;&quot;</td>"),
              std::string::npos);
    EXPECT_NE(page.find(
                  "<title>Item analysis: a&lt;b&gt;&amp;&quot;c&#39;\xef\xbf\xbd.csv</title>"),
              std::string::npos);
    EXPECT_NE(analysis_html(small_analysis(), "-").find("of <span class=\"file\">standard input"),
              std::string::npos);
}

TEST(AnalysisHtml, ReliabilityReadAndTheScaleAndFlagsExplained) {
    const std::string page = analysis_html(small_analysis(), "quiz.csv");
    EXPECT_NE(page.find("<td>0.500 (unreliable)</td>"), std::string::npos);
    EXPECT_EQ(count(page,
                    "<p class=\"note\">KR-20 is read on this scale: 0.90 and above "
                    "excellent, 0.80 to 0.89 good, 0.70 to 0.79 acceptable, 0.60 to 0.69 "
                    "poor, below 0.60 unreliable. Flags: possible key error, no variance, "
                    "negative discrimination (point-biserial below 0), too easy (more than "
                    "90% right), too hard (fewer than 30% right); a question gets the "
                    "first that applies.</p>"),
              2u);
    // The map's legend names the flags by their shapes.
    EXPECT_NE(page.find("<li><svg viewBox=\"-8 -8 16 16\" aria-hidden=\"true\"><path "
                        "class=\"k-edge\" d=\"M0.0 -6.0l6.0 9.6h-12.0z\"></path></svg> too easy "
                        "or too hard</li>"),
              std::string::npos);
}

TEST(AnalysisHtml, HistogramHasABarPerScoreOrGroupsManyScores) {
    const std::string page = analysis_html(small_analysis(), "quiz.csv");
    EXPECT_EQ(count(page, "<rect class=\"bar\""), 5u + 2u);
    EXPECT_NE(page.find("<title>Score 2 (50.0%): 5 sheets</title>"), std::string::npos);
    EXPECT_NE(page.find("<title>Score 1 (100.0%): 1 sheet</title>"), std::string::npos);
    EXPECT_NE(page.find(">Raw score (questions right)</text>"), std::string::npos);
    EXPECT_NE(page.find(">Sheets</text>"), std::string::npos);

    // 1000 questions: 1001 scores in bars of 20, the last holding score 1000 alone.
    Analysis large;
    FormAnalysis form;
    form.form = 'A';
    form.test.sheets = 3;
    form.test.items = 1000;
    form.test.score_counts.assign(1001, 0);
    form.test.score_counts[5] = 1;
    form.test.score_counts[19] = 1;
    form.test.score_counts[20] = 1;
    form.percent_of_score.assign(1001, 0);
    large.forms = {form};
    const std::string grouped = analysis_html(large, "large.csv");
    EXPECT_EQ(count(grouped, "<rect class=\"bar\""), 51u);
    EXPECT_NE(grouped.find("<title>Scores 0 to 19: 2 sheets</title>"), std::string::npos);
    EXPECT_NE(grouped.find("<title>Scores 20 to 39: 1 sheet</title>"), std::string::npos);
    EXPECT_NE(grouped.find("each bar counts 20 scores"), std::string::npos);
}

// The part of the page from `start` to the end of its section.
std::string section_of(const std::string& page, const std::string& start) {
    const std::size_t at = page.find(start);
    if (at == std::string::npos) return "";
    return page.substr(at, page.find("</section>", at) - at);
}

// The height of the bar whose title is `title`; NaN without it.
double bar_height(const std::string& page, const std::string& title) {
    const std::size_t at = page.find("<title>" + title + "</title>");
    if (at == std::string::npos) return std::strtod("nan", nullptr);
    const std::size_t rect = page.rfind("<rect", at);
    return attribute(page.substr(rect, at - rect), "height");
}

// The quiz report's sheets against a class list whose last identifier is
// markup.
TEST(AnalysisHtml, ClassListCountsItsFindingsAndTheGradeChart) {
    const std::vector<std::string> report = quiz_report_lines();
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read_report(report, tables, error)) << error.line << ": " << error.message;
    ClassList list;
    ClassListError list_error;
    ASSERT_TRUE(
        read_class_list("Student ID,Name\n4024001417,Ada\n4024001522,Bo\n"
                        "4024002000,Cy\n<b>&x,Di\n",
                        list, list_error))
        << list_error.message;
    GradeScale scale;
    std::string message;
    ASSERT_TRUE(parse_grade_scale("A&<:75,B:50,F:0", scale, message)) << message;
    AnalysisInputs inputs;
    inputs.class_list = &list;
    inputs.grades = &scale;
    const Analysis analysis = analyse(tables, inputs);
    const std::string page = analysis_html(analysis, "quiz.csv");

    EXPECT_NE(page.find("<a href=\"#class-list\">Class list</a>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#grades\">Grades</a>"), std::string::npos);
    const std::string section = section_of(page, "<section id=\"class-list\">");
    // 4 students, 5 sheets; matched: sheets 1, 2 (corrected) and 4; nobody's:
    // 3 and 5; no sheet: 4024002000 and the markup one.
    const char* const counts[][2] = {{"On the list", "4"},     {"Sheets", "5"},
                                     {"Matched", "3"},         {"Corrected", "1"},
                                     {"Not on the list", "2"}, {"No sheet", "2"}};
    for (const auto& row : counts)
        EXPECT_NE(section.find(std::string("<th scope=\"row\">") + row[0] + "</th><td>" + row[1] +
                               "</td>"),
                  std::string::npos)
            << row[0];
    EXPECT_EQ(count(section, "<td class=\"text\">not on the class list</td>"), 2u);
    EXPECT_EQ(count(section, "<td class=\"text\">no sheet</td>"), 2u);
    EXPECT_EQ(count(section, "<td class=\"text\">ID corrected</td>"), 1u);
    EXPECT_EQ(section.find("duplicate student"), std::string::npos);
    EXPECT_NE(section.find("&lt;b&gt;&amp;x"), std::string::npos);
    EXPECT_EQ(page.find("<b>&x"), std::string::npos);

    // A&lt; gets 100% and 75%, B 50%, F 25%; the no-key sheet no grade.
    const std::string grades = section_of(page, "<section id=\"grades\">");
    const std::size_t a = grades.find("<title>A&amp;&lt;: 2 sheets</title>");
    const std::size_t b = grades.find("<title>B: 1 sheet</title>");
    const std::size_t f = grades.find("<title>F: 1 sheet</title>");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(f, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, f);
    EXPECT_EQ(count(grades, "<rect class=\"bar\""), 3u);
    EXPECT_GT(bar_height(grades, "B: 1 sheet"), 0);
    EXPECT_NEAR(bar_height(grades, "A&amp;&lt;: 2 sheets"), 2 * bar_height(grades, "B: 1 sheet"),
                0.11);
    EXPECT_NEAR(bar_height(grades, "F: 1 sheet"), bar_height(grades, "B: 1 sheet"), 0.01);
    EXPECT_NE(grades.find("text-anchor=\"middle\">2</text>"), std::string::npos);
    EXPECT_EQ(count(grades, "text-anchor=\"middle\">1</text>"), 2u);
}

// A listed pair's strips: the answers as letters (* another mark, - none),
// identical ones shaded, identical wrong ones also marked, the longest run
// framed; the section and its link only when the screen was run.
TEST(AnalysisHtml, SimilarPairsShowBothStripsWithIdenticalAnswersAndTheRunMarked) {
    Analysis analysis;
    EXPECT_EQ(count(analysis_html(analysis, "r.csv"), "similarity"), 0u);
    SimilarityScreen screen;
    SimilarPair pair;
    pair.form = 'A';
    pair.student_id = "1234";
    pair.other_id = "5678";
    // Questions 11 to 15: A right, B wrong, C wrong, blank, another mark.
    pair.questions = {11, 12, 13, 14, 15};
    pair.answers = {0 | RIGHT_BIT, 1, 2, NO_MARK, OTHER_MARK};
    pair.other_answers = {0 | RIGHT_BIT, 1, 3, NO_MARK, OTHER_MARK};
    pair.evidence.matches = 4;
    pair.evidence.run = 2;
    pair.evidence.run_first = 0;
    pair.evidence.run_last = 1;
    screen.pairs.push_back(pair);
    analysis.similarity = screen;
    const std::string page = analysis_html(analysis, "r.csv");
    EXPECT_EQ(count(page, "href=\"#similarity\""), 1u);
    EXPECT_EQ(count(page,
                    "<span class=\"same run\" title=\"question 11: identical, in the "
                    "longest identical run\">A</span>"),
              2u);
    EXPECT_EQ(count(page,
                    "<span class=\"same wrong run\" title=\"question 12: identical, "
                    "wrong, in the longest identical run\">B</span>"),
              2u);
    EXPECT_EQ(count(page, "<span class=\"\" title=\"question 13\">C</span>"), 1u);
    EXPECT_EQ(count(page, "<span class=\"\" title=\"question 13\">D</span>"), 1u);
    EXPECT_EQ(count(page, ">-</span>"), 2u);
    EXPECT_EQ(count(page,
                    "<span class=\"same wrong\" title=\"question 15: identical, "
                    "wrong\">*</span>"),
              2u);
    EXPECT_EQ(count(page, "pairs to look at"), 1u);
    EXPECT_EQ(count(page, "never a verdict"), 1u);
}

} // namespace
} // namespace quillmark
