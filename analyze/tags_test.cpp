#include "analyze/tags.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(TagFile, EachFaultNamesItsLine) {
    struct Fault {
        std::string text;
        std::int32_t line;
        std::string message;
    };
    const Fault faults[] = {
        {"", 0, "the file is empty: the heading Master,Tag is missing"},
        {"1,algebra\n", 1, "the first row is not the heading Master,Tag"},
        {"Master,Topic\n1,algebra\n", 1, "the first row is not the heading Master,Tag"},
        {"Master,Tag\n0,algebra\n", 2, "the question number \"0\" is not a number from 1 to 1000"},
        {"Master,Tag\r\n\r\nseven,algebra\r\n", 3,
         "the question number \"seven\" is not a number from 1 to 1000"},
        {"Master,Tag\n1,\n", 2, "the Tag cell is empty"},
        {"Master,Tag\n1,\"\"\n", 2, "the Tag cell is empty"},
        {"Master,Tag\n1,algebra\n2,geometry\n1,algebra\n", 4,
         "question 1 has the tag \"algebra\" twice (first on line 2)"},
        {"Master,Tag\n1,algebra,x\n", 2, "the row has more cells than the heading"},
        {"Master,Tag\n1,\"algebra\n", 2, "a quoted cell is not closed"},
    };
    for (const Fault& fault : faults) {
        TagList tags;
        FileError error;
        EXPECT_FALSE(parse_tag_file(fault.text, tags, error)) << fault.text;
        EXPECT_EQ(error.line, fault.line) << fault.text;
        EXPECT_EQ(error.message, fault.message) << fault.text;
    }
}

TEST(TagFile, TagsInTheOrderTheyFirstComeWithTheirQuestionsAscending) {
    TagList tags;
    FileError error;
    ASSERT_TRUE(
        parse_tag_file("Tag,Master,Note\ngeometry,3,\nalgebra,2\n\"a, \"\"b\"\"\",1\ngeometry,1\n",
                       tags, error));
    ASSERT_EQ(tags.tags.size(), 3u);
    EXPECT_EQ(tags.tags[0].name, "geometry");
    EXPECT_EQ(tags.tags[0].questions, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(tags.tags[0].lines, (std::vector<std::int32_t>{5, 2}));
    EXPECT_EQ(tags.tags[1].name, "algebra");
    EXPECT_EQ(tags.tags[2].name, "a, \"b\"");

    // The first line, in the file, that names a question the exam lacks.
    ASSERT_TRUE(parse_tag_file("Master,Tag\n1,a\n5,a\n4,b\n", tags, error));
    EXPECT_TRUE(check_tags(tags, {1, 4, 5}, error));
    EXPECT_FALSE(check_tags(tags, {1, 2, 3}, error));
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.message, "question 5 is not a question of the exam");
}

TEST(TagScores, FiguresOfEachTagOverTheSheets) {
    // Exam questions 1, 2 and 3 (columns 0 to 2); x tags 1 and 2, y tags 3,
    // z only question 9, which the exam does not score. Four sheets, Orders
    // 1, 2, 4 and 5; x scores 2, 1, 1, 0; y 1, 0, 1, 1; 3, 1 and 3 sheets
    // right on the three questions.
    TagList tags;
    FileError error;
    ASSERT_TRUE(parse_tag_file("Master,Tag\n1,x\n2,x\n3,y\n9,z\n", tags, error));
    const std::vector<std::vector<std::size_t>> columns = tag_columns(tags, {1, 2, 3});
    EXPECT_EQ(columns, (std::vector<std::vector<std::size_t>>{{0, 1}, {2}, {}}));
    const TagScores scores =
        tag_scores(tags, columns, {2, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {3, 1, 3}, {1, 2, 4, 5});
    ASSERT_EQ(scores.summaries().size(), 3u);
    // x: mean 4/4, 50 per cent of 2 questions; variance 6/4 - 1 = 0.5;
    // KR-20 = 2 * (1 - (3/16 + 3/16) / 0.5) = 0.5.
    const TagSummary& x = scores.summaries()[0];
    EXPECT_EQ(x.tag, "x");
    EXPECT_EQ(x.questions, 2);
    EXPECT_EQ(x.sheets, 4);
    EXPECT_EQ(x.mean, 1.0L);
    EXPECT_EQ(*x.mean_percent, 50.0L);
    EXPECT_NEAR(static_cast<double>(x.std_dev), 0.70710678, 1e-8);
    EXPECT_NEAR(static_cast<double>(*x.kr20), 0.5, 1e-15);
    // y: one question, mean 0.75, variance 0.75 - 0.5625; no KR-20.
    const TagSummary& y = scores.summaries()[1];
    EXPECT_EQ(y.mean, 0.75L);
    EXPECT_EQ(*y.mean_percent, 75.0L);
    EXPECT_NEAR(static_cast<double>(y.std_dev), 0.4330127, 1e-7);
    EXPECT_FALSE(y.kr20);
    // z: no question of the exam, so no mean per cent.
    const TagSummary& z = scores.summaries()[2];
    EXPECT_EQ(z.questions, 0);
    EXPECT_EQ(z.mean, 0.0L);
    EXPECT_FALSE(z.mean_percent);

    EXPECT_EQ(scores.score(0, 0), 2);
    EXPECT_EQ(scores.score_of_order(4, 0), 1);
    EXPECT_EQ(scores.score_of_order(5, 1), 1);
    EXPECT_EQ(scores.score_of_order(3, 0), -1); // not a scored sheet
    EXPECT_EQ(scores.score_of_order(6, 0), -1);
}

} // namespace
} // namespace quillmark
