#include "analyze/gradebook.h"

#include <gtest/gtest.h>

#include "analyze/tags.h"
#include "tests/support/quiz_report.h"

namespace quillmark {
namespace {

struct AnalysedRun {
    ReportTables tables;
    ClassList list;
    GradeScale scale;
    Analysis analysis;
};

void analyse_run(AnalysedRun& run, const std::vector<std::string>& report, const char* class_list,
                 const char* scale, const TagList* tags = nullptr) {
    ReportError error;
    ASSERT_TRUE(read_report(report, run.tables, error)) << error.line << ": " << error.message;
    AnalysisInputs inputs;
    inputs.sheet_scores = true;
    if (class_list) {
        ClassListError list_error;
        ASSERT_TRUE(read_class_list(class_list, run.list, list_error)) << list_error.message;
        inputs.class_list = &run.list;
    }
    if (scale) {
        std::string message;
        ASSERT_TRUE(parse_grade_scale(scale, run.scale, message)) << message;
        inputs.grades = &run.scale;
    }
    inputs.tags = tags;
    run.analysis = analyse(run.tables, inputs);
}

TEST(Gradebook, EachTagsScoreAfterTheNote) {
    // Questions 1 and 2 tagged "x", 4 tagged "=y" (a heading a spreadsheet
    // would take for a formula). The scores are the right answers among
    // them: sheet 1 :cccc, sheet 2 :cccX, sheet 4 :ccXX, sheet 5 :cXXX; the
    // "no key" row has none.
    TagList tags;
    FileError error;
    ASSERT_TRUE(parse_tag_file("Master,Tag\n1,x\n2,x\n4,=y\n", tags, error)) << error.message;
    AnalysedRun run;
    analyse_run(run, quiz_report_lines(), nullptr, nullptr, &tags);
    ASSERT_TRUE(run.analysis.tags);
    EXPECT_EQ(gradebook_csv(run.analysis, run.tables.identities, nullptr,
                            tag_score_columns(*run.analysis.tags, run.tables.identities.size())),
              "\"Student ID\",Form,\"Raw score\",\"Score %\",Grade,Note,x,\"'=y\"\n"
              "4024001417,A,4,100.000,,\"also Order 4\",2,1\n"
              "4024001252,A,3,75.000,,,2,0\n"
              "7000000001,K,,,,\"no key\",,\n"
              "4024001417,A,2,50.000,,\"also Order 1\",2,0\n"
              "55,A,1,25.000,,,1,0\n");
}

TEST(Gradebook, WithoutAClassListOneRowPerSheetAsBubbled) {
    AnalysedRun run;
    analyse_run(run, quiz_report_lines(), nullptr, "A:75,B:50,F:0");
    EXPECT_EQ(gradebook_csv(run.analysis, run.tables.identities, nullptr),
              "\"Student ID\",Form,\"Raw score\",\"Score %\",Grade,Note\n"
              "4024001417,A,4,100.000,A,\"also Order 4\"\n"
              "4024001252,A,3,75.000,A,\n"
              "7000000001,K,,,,\"no key\"\n"
              "4024001417,A,2,50.000,B,\"also Order 1\"\n"
              "55,A,1,25.000,F,\n");
}

TEST(Gradebook, TheClassListsRowsThenTheSheetsOfNobody) {
    AnalysedRun run;
    analyse_run(run, quiz_report_lines(),
                "Name;Student ID;Group\r\n"
                "\"Adams, Ada\";4024001417;1\r\n"
                "O\"Neil Bo;4024001522;2\r\n"
                "Chlo\xC3\xA9\xFF Li;4024002000;\"a;b\nc\"\r\n"
                "Dup One;55;x\r\n"
                "Dup Two;055;y\r\n",
                nullptr);
    const std::vector<GradebookColumn> tags = {{"algebra", {2, 1, NO_VALUE, 1, 0}}};
    EXPECT_EQ(gradebook_csv(run.analysis, run.tables.identities, &run.list, tags),
              "Name,\"Student ID\",Group,Form,\"Raw score\",\"Score %\",Grade,Note,algebra\n"
              "\"Adams, Ada\",4024001417,1,A,4,100.000,,\"also Order 4\",2\n"
              "\"Adams, Ada\",4024001417,1,A,2,50.000,,\"also Order 1\",1\n"
              "\"O\"\"Neil Bo\",4024001522,2,A,3,75.000,,\"ID corrected from 4024001252\",1\n"
              "\"Chlo\xC3\xA9\xFF Li\",4024002000,\"a;b\nc\",,,,,\"no sheet\",\n"
              "\"Dup One\",55,x,,,,,\"class list repeats ID\",\n"
              "\"Dup Two\",055,y,,,,,\"class list repeats ID\",\n"
              ",7000000001,,K,,,,\"not on the class list; no key\",\n"
              ",55,,A,1,25.000,,\"not on the class list\",0\n");
}

// A class-list cell that a spreadsheet would run as a formula is kept as
// text: quoted, with ' inside the quotes; the program's own cells never are.
TEST(Gradebook, CellsThatReadAsFormulasAreKeptAsText) {
    AnalysedRun run;
    analyse_run(run, quiz_report_lines(),
                "Name,Student ID\n"
                "=2+5*cmd|,4024001417\n"
                "-Lee,4024001252\n",
                nullptr);
    EXPECT_EQ(gradebook_csv(run.analysis, run.tables.identities, &run.list),
              "Name,\"Student ID\",Form,\"Raw score\",\"Score %\",Grade,Note\n"
              "\"'=2+5*cmd|\",4024001417,A,4,100.000,,\"also Order 4\"\n"
              "\"'=2+5*cmd|\",4024001417,A,2,50.000,,\"also Order 1\"\n"
              "\"'-Lee\",4024001252,A,3,75.000,,\n"
              ",7000000001,K,,,,\"not on the class list; no key\"\n"
              ",55,A,1,25.000,,\"not on the class list\"\n");
}

TEST(Gradebook, ANoteNamesAtMostThreeOtherOrders) {
    std::vector<std::string> report = quiz_report_lines();
    report.resize(4);
    for (int order = 1; order <= 5; ++order)
        report.push_back("\"A2\",A,\"001\",  " + std::to_string(order) +
                         ", 4,100.000,\"A:ABCD\",\":cccc\"");
    report.push_back(",,n,avg,dev,min,max");
    AnalysedRun run;
    analyse_run(run, report, nullptr, nullptr);
    const std::string text = gradebook_csv(run.analysis, run.tables.identities, nullptr);
    EXPECT_NE(text.find("12,A,4,100.000,,\"also Orders 2, 3, 4 and 1 more\"\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("12,A,4,100.000,,\"also Orders 1, 2, 3 and 1 more\"\n"), std::string::npos)
        << text;
}

} // namespace
} // namespace quillmark
