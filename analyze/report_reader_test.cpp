#include "analyze/report_reader.h"

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/env.h"

namespace quillmark {
namespace {

const std::string HEADER1 = "\"Input file:\",,,,quillmark,\"v. 1.3\",\"Dec  8 2026\",\"01:08:56\"";
const std::string HEADER2 = "quiz.txt,,,,\"graded on\",Tue,\"12/08/26\",\"01:19:40\"";
const std::string HEADINGS =
    "\"Student ID\",Tform,Exam#,Order,\"Raw Score\",\"% Score\",Responses,Scoring";
const std::string HEADINGS_EXAM_FIRST =
    "Exam#,\"Student ID\",Tform,Order,\"Raw Score\",\"% Score\",Responses,Scoring";
const std::string STATISTICS = ",,n,avg,dev,min,max";

// Form A: a key of five questions with question 3 dropped, five scored
// sheets (the last one's scoring string ends after question 4) and a sheet
// of a form without a key.
std::vector<std::string> small_report() {
    return {
        HEADER1,
        HEADER2,
        "\"Scanned key:\",A,,,,,\":AB-DE\"",
        HEADINGS,
        "\"D024001417\",A,\"001\",  1, 3, 75.000,\"A:ABCDA\",\":cc-cX\"",
        "\"D024001522\",A,\"001\",  2, 3, 75.000,\"A:ABADC\",\":cc-cX\"",
        "\"U024002031\",A,\"001\",  3, 2, 50.000,\"A:ACBCE\",\":cX-Xc\"",
        "\"D024002144\",K,\"001\",  4,\"no key\",,\":ABCDE\"",
        "\"D024002378\",A,\"001\",  5, 3, 75.000,\"A:ABCDB\",\":cc-cX\"",
        "\"A024002493\",A,\"001\",  6, 2, 50.000,\"A:ABCE\",\":cc-X\"",
        STATISTICS,
        ",\"Form A\",5,65.0,12.2,50.0,75.0",
        ",Aggregate,5,65.0,12.2,50.0,75.0",
        "",
        ",\"Form A Q:A\", Correct,\"No resp\",A,B,C,D,E",
        "\"1 form mismatches\"",
    };
}

// The right (1) and wrong (0) answers of a form's table, row by row.
std::vector<unsigned char> rights(const ResponseMatrix& matrix) {
    std::vector<unsigned char> marks;
    for (unsigned char cell : matrix.cells.to_vector()) marks.push_back(cell >> 7);
    return marks;
}

// The options of a form's table as letters, '-' for no mark, '*' for another.
std::string options(const ResponseMatrix& matrix) {
    std::string text;
    for (unsigned char cell : matrix.cells.to_vector()) {
        const int code = cell & OPTION_BITS;
        text += code == NO_MARK ? '-' : code == OTHER_MARK ? '*' : static_cast<char>('A' + code);
    }
    return text;
}

bool read(const std::vector<std::string>& lines, ReportTables& tables, ReportError& error) {
    return read_report(lines, tables, error);
}

// The line and message of a report that must be refused.
ReportError refusal(const std::vector<std::string>& lines) {
    ReportTables tables;
    ReportError error;
    EXPECT_FALSE(read(lines, tables, error));
    return error;
}

TEST(ReadReport, SheetRowsBecomeOneTablePerForm) {
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read(small_report(), tables, error)) << error.line << ": " << error.message;
    EXPECT_EQ(tables.sheet_rows, 6);
    EXPECT_EQ(tables.no_key_rows, 1);
    EXPECT_EQ(tables.unscored_rows, 0);
    ASSERT_EQ(tables.forms.size(), 1u);
    const FormScores& form = tables.forms[0];
    EXPECT_EQ(form.form, 'A');
    EXPECT_EQ(form.key_questions, 5);
    EXPECT_EQ(form.question_numbers, (std::vector<std::int32_t>{1, 2, 4, 5}));
    EXPECT_EQ(form.matrix.sheets, 5);
    EXPECT_EQ(form.matrix.items, 4);
    // The missing fifth mark of the last sheet is a wrong answer.
    EXPECT_EQ(rights(form.matrix), (std::vector<unsigned char>{1, 1, 1, 0, 1, 1, 1, 0, 1, 0,
                                                               0, 1, 1, 1, 1, 0, 1, 1, 0, 0}));
    // The answers on questions 1, 2, 4 and 5; the last sheet has no fifth.
    EXPECT_EQ(options(form.matrix), "ABDAABDCACCEABDBABE-");
    // Accepted: only the letters the grader's item analysis lists, and it is
    // cut here (the letters scored right are found by the analysis).
    EXPECT_EQ(form.matrix.accepted, (std::vector<std::uint32_t>{0u, 0u, 0u, 0u}));
    // Every row's identity in report order; the "no key" row is Order 4.
    ASSERT_EQ(tables.identities.size(), 6u);
    EXPECT_EQ(std::string(tables.identities[1].id, 10), "D024001522");
    EXPECT_EQ(std::string(tables.identities[1].exam, 3), "001");
    EXPECT_EQ(tables.identities[3].form, 'K');
    EXPECT_EQ(tables.identities[3].scored, 0);
    EXPECT_EQ(tables.no_key_orders, (std::vector<std::int32_t>{4}));
    EXPECT_TRUE(tables.empty_rows.empty());
}

TEST(ReadReport, AnswersAcceptedByTheItemAnalysisAndSheetsWithoutResponses) {
    // Question 2 accepts B and D (the grader's item analysis says so) though
    // only B was chosen; question 1's '*' and the digit are other marks.
    const std::vector<std::string> lines = {
        HEADER1,
        HEADER2,
        "\"Scanned key:\",A,,,,,\":AB\"",
        HEADINGS,
        "\"1\",A,\"001\",  1, 1, 50.000,\"A:*B\",\":Xc\"",
        "\"2\",A,\"001\",  2, 0,  0.000,\"A:--\",\":XX\"",
        "\"\",K,\"\",  3,\"no key\",,\":-----\"",
        "\"4\",A,\"001\",  4, 1, 50.000,\"A:7B\",\":Xc\"",
        STATISTICS,
        ",\"Form A\",3,33.3,23.6,0.0,50.0",
        "",
        ",\"Form A Q:A\", Correct,\"No resp\",A,B,C,D",
        ",Q1 :A,   0:  0.0%,   3,   0,   0,   0,   0",
        ",Q2 :BD,   2: 66.7%,   1,   0,   2,   0,   0",
    };
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read(lines, tables, error)) << error.line << ": " << error.message;
    ASSERT_EQ(tables.forms.size(), 1u);
    EXPECT_EQ(options(tables.forms[0].matrix), "*B--*B");
    EXPECT_EQ(tables.forms[0].matrix.accepted, (std::vector<std::uint32_t>{1u, 2u | 8u}));
    EXPECT_EQ(tables.empty_rows, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(tables.no_key_orders, (std::vector<std::int32_t>{3}));
}

TEST(ReadReport, ExamFirstOrderAndCellsThatHoldQuotesAndCommas) {
    // Responses may hold commas, quotes and colons: the row is cut from both
    // ends. Identifier D0"4 holds a quote.
    const std::vector<std::string> lines = {
        HEADER1,
        HEADER2,
        "\"Override:\",\"key B\",,,,,\":ABCDE\"",
        HEADINGS_EXAM_FIRST,
        "\"001\",\"D0\"4\",B,  1, 2, 40.000,\"B:A,\":X\",\":cXc\"",
        "\"7\",\"A2345\",B,  2, 5,100.000,\"B:ABCDE\",\":ccccc\"",
        STATISTICS,
    };
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read(lines, tables, error)) << error.line << ": " << error.message;
    ASSERT_EQ(tables.forms.size(), 1u);
    const FormScores& form = tables.forms[0];
    EXPECT_EQ(form.form, 'B');
    EXPECT_EQ(form.key_questions, 5); // from the Override row; no sheet shows it all
    EXPECT_EQ(form.matrix.sheets, 2);
    EXPECT_EQ(rights(form.matrix), (std::vector<unsigned char>{1, 0, 1, 0, 0, 1, 1, 1, 1, 1}));
    // ',', '"' and ':' are other marks; X is a letter like any other.
    EXPECT_EQ(options(form.matrix), "A***XABCDE");
    EXPECT_EQ(std::string(tables.identities[0].id, 4), "D0\"4");
    // The first row read in the other column order is refused.
    std::vector<std::string> swapped = lines;
    swapped[3] = HEADINGS;
    EXPECT_EQ(refusal(swapped).line, 5);
}

TEST(ReadReport, KeyRowsGiveQuestionsThatNoSheetReaches) {
    // Six questions, the sixth dropped on the key: 4 of 5 scored is 80 per cent.
    std::vector<std::string> lines = {
        HEADER1,
        HEADER2,
        "\"Scanned key:\",C,,,,,\":ABCDE -\"",
        HEADINGS,
        "\"1\",C,\"001\",  1, 4, 80.000,\"C:ABCDA\",\":ccccX\"",
        STATISTICS,
    };
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read(lines, tables, error)) << error.line << ": " << error.message;
    EXPECT_EQ(tables.forms[0].key_questions, 6);
    EXPECT_EQ(tables.forms[0].question_numbers, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(rights(tables.forms[0].matrix), (std::vector<unsigned char>{1, 1, 1, 1, 0}));

    // Not dropped: the sixth question is wrong for the sheet, 4 of 6.
    lines[2] = "\"Scanned key:\",C,,,,,\":ABCDE A\"";
    EXPECT_EQ(refusal(lines).line, 5);
    lines[4] = "\"1\",C,\"001\",  1, 4, 66.667,\"C:ABCDA\",\":ccccX\"";
    ASSERT_TRUE(read(lines, tables, error)) << error.line << ": " << error.message;
    EXPECT_EQ(tables.forms[0].matrix.items, 6);
    EXPECT_EQ(rights(tables.forms[0].matrix), (std::vector<unsigned char>{1, 1, 1, 1, 0, 0}));
}

TEST(ReadReport, ReportsWithoutAnythingToAnalyse) {
    ReportTables tables;
    ReportError error;
    // No student sheet at all: no column headings, straight to the statistics.
    ASSERT_TRUE(
        read({HEADER1, HEADER2, STATISTICS, ",Aggregate,0,0.0,0.0,0.0,0.0"}, tables, error));
    EXPECT_TRUE(tables.forms.empty());
    EXPECT_EQ(tables.sheet_rows, 0);
    // A key whose every question is dropped: the % Score cell stays empty.
    ASSERT_TRUE(read({HEADER1, HEADER2, "\"Scanned key:\",A,,,,,\":--\"", HEADINGS,
                      "\"1\",A,\"001\",  1, 0,,\"A:AB\",\":--\"", STATISTICS},
                     tables, error));
    EXPECT_TRUE(tables.forms.empty());
    EXPECT_EQ(tables.unscored_rows, 1);
}

TEST(ReadReport, ReportsThatAreNotOursNameTheLine) {
    EXPECT_EQ(refusal({}).line, 1);
    EXPECT_EQ(refusal({"Name,Score", "x,1"}).line, 1);
    // No column headings and no statistics heading: the last line.
    ReportError no_headings = refusal({HEADER1, HEADER2, "something"});
    EXPECT_EQ(no_headings.line, 3);
    EXPECT_NE(no_headings.message.find("no column headings"), std::string::npos);

    const std::vector<std::string> good = small_report();
    auto broken = [&](std::size_t index, const std::string& row) {
        std::vector<std::string> lines = good;
        lines[index] = row;
        return refusal(lines);
    };
    // Row 5 of the file is the first sheet row.
    EXPECT_EQ(broken(4, "\"D024001417\",A,\"001\",  1, x, 75.000,\"A:ABCDA\",\":cc-cX\"").line, 5);
    EXPECT_EQ(broken(4, "\"D024001417\",A,\"001\",  1, 3, 75.000,\"A:ABCDA\"").line, 5);
    EXPECT_EQ(broken(4, "\"D024001417\",A,\"001\",  1, 3, 75.0,\"A:ABCDA\",\":cc-cX\"").line, 5);
    EXPECT_EQ(broken(5, "\"D024001522\",A,\"001\",  2, 3, 75.000,\"B:ABADC\",\":cc-cX\"").line,
              6); // responses of another form
    EXPECT_EQ(broken(5, "\"D024001522\",A,\"001\",  2, 2, 75.000,\"A:ABADC\",\":cc-cX\"").line,
              6); // raw score is not the number of c marks
    EXPECT_EQ(broken(5, "\"D024001522\",A,\"001\",  2, 3, 60.000,\"A:ABADC\",\":cc-cX\"").line,
              6); // % score of another number of questions
    EXPECT_EQ(broken(5, "\"D024001522\",A,\"001\",  3, 3, 75.000,\"A:ABADC\",\":cc-cX\"").line,
              6); // Order 2 is missing
    EXPECT_EQ(broken(5, "\"D024001522\",A,\"001\",  2, 4,100.000,\"A:ABADC\",\":ccccX\"").line,
              6); // question 3 scored here, dropped on line 5
    EXPECT_EQ(broken(6, "\"U02400203\",A,\"001\",  3,\"no key\",,\"ABC\"").line, 7);
    EXPECT_EQ(broken(2, "\"Scanned key:\",A,,,,\":AB-DE\"").line, 3);
    EXPECT_EQ(broken(10, "").line, 11); // a blank line where the statistics heading was

    // A question of a row of more than sixteen marks dropped on one row and
    // scored on the next.
    const std::vector<std::string> twenty = {
        HEADER1,
        HEADER2,
        "\"Scanned key:\",A,,,,,\":ABCDE ABCD- ABCDE ABCDE\"",
        HEADINGS,
        "\"D024001417\",A,\"001\",  1,19,100.000,\"A:ABCDE ABCDE ABCDE ABCDE\",\":ccccc cccc- "
        "ccccc ccccc\"",
        "\"D024001522\",A,\"001\",  2,20,100.000,\"A:ABCDE ABCDE ABCDE ABCDE\",\":ccccc ccccc "
        "ccccc ccccc\"",
        STATISTICS,
    };
    const ReportError mixed = refusal(twenty);
    EXPECT_EQ(mixed.line, 6);
    EXPECT_EQ(mixed.message, "question 10 of form A is scored here but dropped on line 5");

    // The report ends before the statistics heading: the last line.
    std::vector<std::string> cut(good.begin(), good.begin() + 7);
    ReportError ended = refusal(cut);
    EXPECT_EQ(ended.line, 7);
    EXPECT_NE(ended.message.find("statistics heading"), std::string::npos);
}

// Writes the text to a file of the test's own (the suite runs its tests in
// parallel) and reads it as a report.
bool read_file(const std::string& text, ReportTables& tables, ReportError& error) {
    const std::string path = testing::TempDir() + "report_reader_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name() + ".csv";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    std::FILE* in = open_text_file(path.c_str());
    const bool read = read_report(in, tables, error);
    std::fclose(in);
    std::remove(path.c_str());
    return read;
}

TEST(ReadReportFile, LinesAcrossTheReadBlocksAsInMemory) {
    // Rows of every length of identifier, some with a carriage return
    // before the line feed, so that lines and line ends fall across the
    // edges of the blocks the file is read in; a first line as long as a
    // line may be, and a last line without a line feed.
    std::vector<std::string> lines = {HEADER1, HEADER2, "\"Scanned key:\",A,,,,,\":AB-DE\"",
                                      HEADINGS};
    lines[1] = std::string(REPORT_LINE_MAX - 1, 'q') + ",";
    for (int order = 1; order <= 6000; ++order) {
        const bool better = order % 3 == 0;
        char row[96];
        std::snprintf(row, sizeof row, "\"%.*s\",A,\"001\",%3d, %s,\"A:A%cCDA\",\":c%c-cX\"",
                      order % 11, "D0240014170", order, better ? "3, 75.000" : "2, 50.000",
                      better ? 'B' : 'C', better ? 'c' : 'X');
        lines.emplace_back(row);
    }
    lines.push_back(STATISTICS);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + (i % 7 == 0 ? "\r\n" : "\n");
    text.pop_back(); // the last line feed

    ReportTables expected;
    ReportTables tables;
    ReportError error;
    ASSERT_TRUE(read(lines, expected, error)) << error.line << ": " << error.message;
    ASSERT_TRUE(read_file(text, tables, error)) << error.line << ": " << error.message;
    ASSERT_EQ(tables.sheet_rows, 6000);
    ASSERT_EQ(tables.identities.size(), expected.identities.size());
    for (std::size_t i = 0; i < tables.identities.size(); ++i)
        ASSERT_EQ(std::memcmp(&tables.identities[i], &expected.identities[i],
                              sizeof(SheetIdentity)),
                  0)
            << "row " << i + 1;
    ASSERT_EQ(tables.forms.size(), 1u);
    EXPECT_EQ(tables.forms[0].matrix.cells.to_vector(), expected.forms[0].matrix.cells.to_vector());
}

TEST(ReadReportFile, LinesLongerThanTheGraderWritesAreRefusedAtTheirStart) {
    const std::string head = HEADER1 + "\n" + HEADER2 + "\n";
    const std::string too_long =
        "not a quillmark report: the line is longer than 16384 "
        "characters, more than any line quillmark writes";
    const std::string no_header =
        "not a quillmark report: the \"Input file:\" header line is missing";
    const std::string long_line(REPORT_LINE_MAX + 1, 'x');
    const struct {
        std::string text;
        std::int64_t line;
        std::string message;
    } cases[] = {
        // A first line that cannot begin the header, however long.
        {std::string(3 * REPORT_LINE_MAX, '\0'), 1, no_header},
        {"\"Input file:\",,,,quillmerk" + long_line, 1, no_header},
        // A first line that does, but is too long.
        {HEADER1 + long_line, 1, too_long},
        // One character too many, with or without a line feed, anywhere.
        {head + long_line, 3, too_long},
        {head + long_line + "\n" + STATISTICS + "\n", 3, too_long},
        {head + HEADINGS + "\n" + std::string(5 * REPORT_LINE_MAX, 'x'), 4, too_long},
        {head + STATISTICS + "\n" + long_line + "\n", 4, too_long},
        // A zero byte ends a line's text, not the line.
        {head + "\"Scanned key:\",A,,,,,\":AB\"" + std::string(REPORT_LINE_MAX, '\0') + "\n" +
             STATISTICS + "\n",
         3, too_long},
    };
    for (const auto& c : cases) {
        ReportTables tables;
        ReportError error;
        EXPECT_FALSE(read_file(c.text, tables, error));
        EXPECT_EQ(error.line, c.line) << c.text.substr(0, 40);
        EXPECT_EQ(error.message, c.message) << c.text.substr(0, 40);
    }
    // As long as a line may be, with its carriage return and line feed.
    ReportTables tables;
    ReportError error;
    EXPECT_TRUE(
        read_file(HEADER1 + "\r\n" + std::string(REPORT_LINE_MAX, 'q') + "\r\n" + STATISTICS + "\n",
                  tables, error))
        << error.line << ": " << error.message;
}

} // namespace
} // namespace quillmark
