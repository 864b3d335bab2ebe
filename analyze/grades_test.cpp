#include "analyze/grades.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(GradeScale, ReadsGradesAndBoundsInThousandths) {
    GradeScale scale;
    std::string message;
    ASSERT_TRUE(parse_grade_scale(" A : 90 , B+:87.5,C:70.125, F:0", scale, message)) << message;
    ASSERT_EQ(scale.size(), 4u);
    const std::pair<const char*, std::int32_t> expected[] = {{"A", 90000},
                                                             {"B+", 87500},
                                                             {"C", 70125},
                                                             {"F", 0}};
    for (std::size_t i = 0; i < scale.size(); ++i) {
        EXPECT_EQ(scale[i].grade, expected[i].first);
        EXPECT_EQ(scale[i].bound, expected[i].second);
    }
    ASSERT_TRUE(parse_grade_scale("pass:100,fail:0", scale, message)) << message;
    EXPECT_EQ(scale[0].bound, 100000);
}

TEST(GradeScale, RefusesMalformedScales) {
    const std::pair<const char*, const char*> cases[] = {
        {"A:90,B:95,F:0",
         "\"B:95\" does not fall below the grade before it: list the grades from the highest "
         "bound to the lowest"},
        {"A:90,B:90,F:0",
         "\"B:90\" does not fall below the grade before it: list the grades from the highest "
         "bound to the lowest"},
        {"A:90,F:5", "no grade for 0: the last grade's bound must be 0, as F:0"},
        {"A:101,F:0",
         "\"A:101\": the bound must be a per-cent score from 0 to 100, with at most three "
         "decimals"},
        {"A:100.001,F:0",
         "\"A:100.001\": the bound must be a per-cent score from 0 to 100, with at most three "
         "decimals"},
        {"A:90.1234,F:0",
         "\"A:90.1234\": the bound must be a per-cent score from 0 to 100, with at most three "
         "decimals"},
        {"A:-5,F:0",
         "\"A:-5\": the bound must be a per-cent score from 0 to 100, with at most three "
         "decimals"},
        {"A:9x,F:0",
         "\"A:9x\": the bound must be a per-cent score from 0 to 100, with at most three "
         "decimals"},
        {"A:,F:0",
         "\"A:\": the bound must be a per-cent score from 0 to 100, with at most three decimals"},
        {" :90,F:0", "\":90\" has an empty grade"},
        {"A90,F:0", "\"A90\" is not a grade and its bound, as A:90"},
        {"A:90,,F:0", "a grade is missing (an empty step between commas)"},
        {"", "a grade is missing (an empty step between commas)"},
    };
    for (const auto& [text, message] : cases) {
        GradeScale scale = {{"kept", 0}};
        std::string error;
        EXPECT_FALSE(parse_grade_scale(text, scale, error)) << text;
        EXPECT_EQ(error, message) << text;
        EXPECT_EQ(scale.size(), 1u) << text; // untouched
    }
}

TEST(GradeScale, GradesOnTheExactPerCentAtEachBound) {
    GradeScale scale;
    std::string message;
    ASSERT_TRUE(parse_grade_scale("A:90,B:85,C:66.667,D:33.333,F:0", scale, message));
    struct Case {
        std::int32_t raw;
        std::int32_t scored;
        const char* grade;
    };
    const Case cases[] = {
        {20, 20, "A"}, {18, 20, "A"}, // 90 exactly
        {17, 20, "B"},                // 85 exactly, one answer below 90
        {16, 20, "C"},                // 80
        {2, 3, "D"},                  // 66.666..., shown as 66.667, does not reach 66.667
        {1, 3, "D"},                  // 33.333... reaches 33.333
        {0, 5, "F"},   {899, 1000, "B"}, {900, 1000, "A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scale[grade_of(scale, c.raw, c.scored)].grade, c.grade)
            << c.raw << "/" << c.scored;
}

TEST(SheetScores, RawScoresOfTheAnswerTablesInReportOrder) {
    const std::vector<std::string> report = {
        "\"Input file:\",,,,quillmark,\"v. 1.3\",\"Dec  8 2026\",\"01:08:56\"",
        "quiz.txt,,,,\"graded on\",Tue,\"12/08/26\",\"01:19:40\"",
        "\"Scanned key:\",A,,,,,\":AB-DE\"",
        "\"Scanned key:\",B,,,,,\":AB\"",
        "\"Scanned key:\",C,,,,,\":--\"",
        "\"Student ID\",Tform,Exam#,Order,\"Raw Score\",\"% Score\",Responses,Scoring",
        "\"D1\",A,\"001\",  1, 3, 75.000,\"A:ABCDA\",\":cc-cX\"",
        "\"D2\",B,\"001\",  2, 1, 50.000,\"B:AA\",\":cX\"",
        "\"D3\",K,\"001\",  3,\"no key\",,\":ABCDE\"",
        "\"D4\",C,\"001\",  4, 0,,\"C:AB\",\":--\"",
        "\"D5\",A,\"001\",  5, 2, 50.000,\"A:ABC\",\":cc-\"",
        "\"D6\",B,\"001\",  6, 2,100.000,\"B:AB\",\":cc\"",
        ",,n,avg,dev,min,max",
    };
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read_report(report, tables, error)) << error.line << ": " << error.message;
    GradeScale scale;
    std::string message;
    ASSERT_TRUE(parse_grade_scale("A:75,B:50,F:0", scale, message));
    const std::vector<SheetScore> scores = sheet_scores(tables, &scale);
    struct Expected {
        bool key;
        std::int32_t raw;
        std::int32_t scored;
        std::int32_t grade;
    };
    const Expected expected[] = {
        {true, 3, 4, 0},        {true, 1, 2, 1}, {false, 0, 0, NO_GRADE},
        {true, 0, 0, NO_GRADE}, {true, 2, 4, 1}, {true, 2, 2, 0},
    };
    ASSERT_EQ(scores.size(), 6u);
    for (std::size_t i = 0; i < scores.size(); ++i) {
        EXPECT_EQ(scores[i].key, expected[i].key) << i;
        EXPECT_EQ(scores[i].raw, expected[i].raw) << i;
        EXPECT_EQ(scores[i].scored, expected[i].scored) << i;
        EXPECT_EQ(scores[i].grade, expected[i].grade) << i;
    }
    EXPECT_EQ(sheet_scores(tables, nullptr)[0].grade, NO_GRADE);
}

} // namespace
} // namespace quillmark
