#include "analyze/analysis_json.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using nlohmann::json;

Analysis small_analysis() {
    ItemStatistics item;
    item.correct = 2;
    item.difficulty = 2.0L / 3;
    item.discrimination = 1.0L;
    item.key_error = 'C';
    item.flag = ItemFlag::key_error;
    OptionStatistics key;
    key.option = 'B';
    key.key = true;
    key.count = 2;
    key.share = 2.0L / 3;
    OptionStatistics none;
    none.count = 1;
    none.share = 1.0L / 3;
    none.point_biserial = -0.5L;
    item.options = {key, none};

    FormAnalysis form;
    form.form = 'A';
    form.test.sheets = 3;
    form.test.items = 1;
    form.test.mean = 2.0L / 3;
    form.test.kr20 = std::nullopt;
    form.questions.push_back({7, item});

    SheetCheck duplicate;
    duplicate.kind = CheckKind::duplicate_student;
    duplicate.form = 'A';
    duplicate.order = 3;
    duplicate.student_id = "D\xe9\"1";
    duplicate.detail = "same Student ID and Exam # as Order 1";
    SheetCheck few;
    few.kind = CheckKind::few_sheets;
    few.form = 'A';
    few.detail = "only 3 scored sheets";

    Analysis analysis;
    analysis.forms.push_back(form);
    analysis.checks = {duplicate, few};
    return analysis;
}

TEST(AnalysisJson, FiguresAtFullPrecisionUndefinedOnesNullAndCellsMadeValidText) {
    const json document = json::parse(analysis_json(small_analysis()));
    const json& form = document["forms"][0];
    EXPECT_EQ(form["form"], "A");
    EXPECT_EQ(form["sheets"], 3);
    EXPECT_EQ(form["mean"].get<double>(), 2.0 / 3); // every bit of the double
    EXPECT_TRUE(form["kr20"].is_null());
    EXPECT_TRUE(form["skewness"].is_null());

    const json& item = form["items"][0];
    EXPECT_EQ(item["question"], 7);
    EXPECT_EQ(item["flag"], "possible key error: C");
    EXPECT_EQ(item["key_error"], "C");
    EXPECT_TRUE(item["point_biserial"].is_null());
    EXPECT_EQ(item["upper_lower"].get<double>(), 1.0);
    ASSERT_EQ(item["options"].size(), 2u);
    EXPECT_EQ(item["options"][0]["option"], "B");
    EXPECT_EQ(item["options"][0]["key"], true);
    EXPECT_TRUE(item["options"][0]["upper"].is_null());
    EXPECT_EQ(item["options"][1]["option"], "none");
    EXPECT_EQ(item["options"][1]["key"], false);
    EXPECT_EQ(item["options"][1]["point_biserial"].get<double>(), -0.5);

    const json& checks = document["checks"];
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0]["check"], "duplicate student");
    EXPECT_EQ(checks[0]["order"], 3);
    // The byte 0xE9 alone is no UTF-8: it becomes U+FFFD; the quote stays.
    EXPECT_EQ(checks[0]["student_id"], "D\xef\xbf\xbd\"1");
    EXPECT_EQ(checks[1]["check"], "few sheets");
    EXPECT_TRUE(checks[1]["order"].is_null());
    EXPECT_TRUE(checks[1]["student_id"].is_null());
}

TEST(AnalysisJson, AQuestionWithoutAFlagHasANullFlag) {
    Analysis analysis = small_analysis();
    ItemStatistics& item = analysis.forms[0].questions[0].statistics;
    item.key_error = 0;
    item.flag = ItemFlag::none;
    const json document = json::parse(analysis_json(analysis));
    EXPECT_TRUE(document["forms"][0]["items"][0]["flag"].is_null());
    EXPECT_TRUE(document["forms"][0]["items"][0]["key_error"].is_null());
}

TEST(AnalysisJson, TheWholeExamWithItsVersionsAndTheTagsWithEachSheetsScores) {
    Analysis analysis = small_analysis();
    analysis.exam = analysis.forms[0];
    analysis.exam->form = WHOLE_EXAM;
    analysis.exam_versions = {{{'A', 7, ""}, {'B', 2, "CADBE"}}};
    TagSummary tag;
    tag.tag =
        "alg\xe9"
        "bre \"1\"";
    tag.questions = 2;
    tag.sheets = 3;
    tag.mean = 2.0L / 3;
    tag.std_dev = 0.25L;
    analysis.tags = TagScores({tag, TagSummary{}}, {1, 2, 5}, {2, 0, 1, 0, 0, 0});
    const json document = json::parse(analysis_json(analysis));

    const json& all = document["all"];
    EXPECT_EQ(all["form"], "all");
    EXPECT_EQ(all["mean"].get<double>(), 2.0 / 3);
    const json& places = all["items"][0]["versions"];
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[1]["form"], "B");
    EXPECT_EQ(places[1]["question"], 2);
    EXPECT_EQ(places[1]["options"], "CADBE");
    EXPECT_FALSE(document["forms"][0]["items"][0].contains("versions"));

    EXPECT_EQ(document["tags"]["orders"], json({1, 2, 5}));
    const json& tags = document["tags"]["tags"];
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0]["tag"],
              "alg\xef\xbf\xbd"
              "bre \"1\"");
    EXPECT_EQ(tags[0]["mean"].get<double>(), 2.0 / 3);
    EXPECT_TRUE(tags[0]["mean_percent"].is_null());
    EXPECT_TRUE(tags[0]["kr20"].is_null());
    EXPECT_EQ(tags[0]["scores"], json({2, 1, 0}));
    EXPECT_EQ(tags[1]["scores"], json({0, 0, 0}));
}

} // namespace
} // namespace quillmark
