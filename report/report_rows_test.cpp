#include "report/report_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/report_format.h"
#include "report/report_layout.h"

namespace quillmark {
namespace {

// What the writers called by `write` put into the report, split into lines
// (without their line feeds).
template <class Writer> std::vector<std::string> written_lines(Writer write) {
    testing::internal::CaptureStdout();
    write();
    report_flush();
    const std::string text = testing::internal::GetCapturedStdout();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the last row has no line end";
    return lines;
}

// Rows with their every byte worked out from the rules of the report.
TEST(ReportRows, WritersGiveTheRowsOfTheReport) {
    const std::int32_t counts[] = {3, 0, 12};
    const std::vector<std::string> lines = written_lines([&] {
        write_header_lines(
            {"1.3", "Dec  8 2026", "01:08:56", "quiz.txt", "Tue", "12/08/26", "01:19:40"});
        write_key_row(KeySource::scanned, 'A', "ABCDEF");
        write_key_row(KeySource::option, 'B', "");
        write_amendment_row("alta:7+b", "      B");
        write_column_headings(true);
        write_sheet_row({"U12", 'A', "012", 1, false, 4, " 80.000", "ABCD-", "cccc"}, false);
        // Views left empty may be null.
        write_sheet_row({"", '?', "", 12, true, 0, {}, "A,\":", {}}, true);
        write_sheet_row({"1", 'B', "2", 13, false, 0, {}, {}, {}}, false);
        write_statistics_heading();
        write_statistics_row('A', 7, 85.71428L, 12.345L, 0, 100);
        write_statistics_row(0, 0, 0, 0, 0, 0);
        write_item_heading('C', 3);
        write_item_row({7, 0x5u, 6, 6 * 100.0 / 7, 1, counts, 3});
        write_item_row({120, 0xFFFFFFFFu, 0, 0, 0, counts, 0});
        write_mismatch_line(2);
    });
    const std::vector<std::string> expected = {
        "\"Input file:\",,,,quillmark,\"v. 1.3\",\"Dec  8 2026\",\"01:08:56\"",
        "quiz.txt,,,,\"graded on\",Tue,\"12/08/26\",\"01:19:40\"",
        "\"Scanned key:\",A,,,,,\":ABCDE F\"",
        "\"Override:\",\"key B\",,,,,\":\"",
        "\"alta:7+b\",,,,,,\":       B\"",
        "Exam#,\"Student ID\",Tform,Order,\"Raw Score\",\"% Score\",Responses,Scoring",
        "\"U12\",A,\"012\",  1, 4, 80.000,\"A:ABCD-\",\":cccc\"",
        "\"\",\"\",?, 12,\"no key\",,\":A,\":\"",
        "\"1\",B,\"2\", 13, 0,,\"B:\",\":\"",
        ",,n,avg,dev,min,max",
        ",\"Form A\",7,85.7,12.3,0.0,100.0",
        ",Aggregate,0,0.0,0.0,0.0,0.0",
        "",
        ",\"Form C Q:A\", Correct,\"No resp\",A,B,C",
        ",Q7 :AC,   6: 85.7%,   1,   3,   0,  12",
        ",Q120:,   0:  0.0%,   0",
        "\"2 form mismatches\"",
    };
    EXPECT_EQ(lines, expected);
}

// Bytes a cell may hold: any but the line feed and the zero byte, and for
// the identifier and exam number no comma, for responses no blank (the
// grader turns blanks into '-').
char random_byte(std::mt19937& generator, const char* excluded) {
    for (;;) {
        const auto c = static_cast<char>(generator() & 0xFF);
#ifdef _WIN32
        // The captured output is read back as text on Windows, where Ctrl-Z
        // ends a text and a carriage return before a line feed is dropped:
        // bytes the report keeps, but the capture does not.
        if (c == '\x1a' || c == '\r') continue;
#endif
        if (c != '\n' && c != '\0' && std::string(excluded).find(c) == std::string::npos) return c;
    }
}

std::string random_text(std::mt19937& generator, std::size_t longest, const char* excluded) {
    std::string text(generator() % (longest + 1), ' ');
    for (char& c : text) c = random_byte(generator, excluded);
    return text;
}

// Sheets of every kind, each written as a row in both column orders and read
// back: the same cells, the same texts.
TEST(ReportRows, SheetRowsReadBackAsWritten) {
    std::mt19937 generator(20261208);
    for (int sheet = 0; sheet < 3000; ++sheet) {
        const std::string id = random_text(generator, MAX_ID, ",");
        const std::string exam = random_text(generator, MAX_EXAM, ",");
        const std::string responses = random_text(generator, sheet % 10 == 0 ? 1000 : 60, " ");
        std::string scoring(generator() % (sheet % 10 == 1 ? 1001 : 61), ' ');
        for (char& mark : scoring) mark = "cX-"[generator() % 3];
        const auto right =
            static_cast<std::int32_t>(std::count(scoring.begin(), scoring.end(), 'c'));
        char percent[PERCENT_CELL_SIZE] = "";
        const auto scored = right + static_cast<std::int32_t>(generator() % 5);
        if (scored > 0) format_percent_cell(percent, percent_score(right, scored));
        const bool no_key = sheet % 4 == 3;
        const char form = no_key ? random_byte(generator, "") : static_cast<char>('A' + sheet % 10);
        const SheetRow row{id,
                           form,
                           exam,
                           static_cast<std::int32_t>(generator() >> 1),
                           no_key,
                           right,
                           percent,
                           responses,
                           no_key ? std::string_view() : std::string_view(scoring)};
        for (bool exam_first : {false, true}) {
            const std::vector<std::string> lines =
                written_lines([&] { write_sheet_row(row, exam_first); });
            ASSERT_EQ(lines.size(), 1u);
            SheetRow read{};
            std::string read_responses;
            std::string read_scoring;
            const char* why =
                parse_sheet_row(lines[0], exam_first, read, read_responses, read_scoring);
            ASSERT_EQ(why, nullptr) << why << " in " << lines[0];
            EXPECT_EQ(read.student_id, row.student_id);
            EXPECT_EQ(read.form, row.form);
            EXPECT_EQ(read.exam_no, row.exam_no);
            EXPECT_EQ(read.order, row.order);
            EXPECT_EQ(read.no_key, row.no_key);
            EXPECT_EQ(read.raw_score, no_key ? 0 : row.raw_score);
            EXPECT_EQ(read.percent, no_key ? "" : row.percent);
            EXPECT_EQ(read.responses, row.responses);
            EXPECT_EQ(read.scoring, row.scoring);
        }
    }
}

TEST(ReportRows, KeyAndItemRowsReadBackAsWritten) {
    std::mt19937 generator(8122026);
    for (int round = 0; round < 500; ++round) {
        const std::string key = random_text(generator, round % 5 == 0 ? 1000 : 40, " ");
        const char form = static_cast<char>('A' + round % 10);
        const KeySource source = round % 2 == 0 ? KeySource::scanned : KeySource::option;
        std::int32_t counts[TALLY_LETTERS];
        for (std::int32_t& count : counts) count = static_cast<std::int32_t>(generator() % 100000);
        const int letters = round % (TALLY_LETTERS + 1);
        const ItemRow item{static_cast<std::int32_t>(1 + generator() % MAX_QUESTIONS),
                           static_cast<std::uint32_t>(generator()),
                           counts[0],
                           50.0,
                           counts[1],
                           counts,
                           letters};
        const std::vector<std::string> lines = written_lines([&] {
            write_column_headings(round % 2 == 0);
            write_key_row(source, form, key);
            write_item_heading(form, letters);
            write_item_row(item);
            write_statistics_heading();
        });
        ASSERT_EQ(lines.size(), 6u);
        bool exam_first = false;
        EXPECT_TRUE(parse_column_headings(lines[0], exam_first));
        EXPECT_EQ(exam_first, round % 2 == 0);
        char read_form = 0;
        std::string read_key;
        ASSERT_EQ(parse_key_row(lines[1], read_form, read_key), KeyRowKind::key) << lines[1];
        EXPECT_EQ(read_form, form);
        EXPECT_EQ(read_key, key);
        EXPECT_EQ(lines[2], "");
        read_form = 0;
        EXPECT_TRUE(parse_item_heading(lines[3], read_form));
        EXPECT_EQ(read_form, form);
        std::int32_t question = 0;
        std::uint32_t accepted = 0;
        ASSERT_TRUE(parse_item_row(lines[4], question, accepted)) << lines[4];
        EXPECT_EQ(question, item.question);
        EXPECT_EQ(accepted, item.accepted & ((1u << letters) - 1));
        // The item row as the C formats of its cells give it.
        std::string expected(64, '\0');
        expected.resize(std::snprintf(&expected[0], expected.size(), ",Q%-2d:", item.question));
        for (int m = 0; m < letters; ++m)
            if (item.accepted >> m & 1u) expected += static_cast<char>('A' + m);
        char cells[64];
        std::snprintf(cells, sizeof cells, ", %3d:%5.1f%%, %3d", item.correct, item.percent_correct,
                      item.no_response);
        expected += cells;
        for (int m = 0; m < letters; ++m) {
            std::snprintf(cells, sizeof cells, ", %3d", counts[m]);
            expected += cells;
        }
        EXPECT_EQ(lines[4], expected);
        EXPECT_TRUE(is_statistics_heading(lines[5]));
    }
}

// Lines the parsers must not take for their rows.
TEST(ReportRows, OtherLinesAreNotTakenForRows) {
    bool exam_first = false;
    char form = 0;
    std::string key;
    std::int32_t question = 0;
    std::uint32_t accepted = 0;
    EXPECT_FALSE(is_first_header_line("\"Input file:\",,,quillmark,"));
    EXPECT_FALSE(parse_column_headings("Exam#,\"Student ID\",Tform", exam_first));
    EXPECT_EQ(parse_key_row("\"Scanned key\",A,,,,,\":AB\"", form, key), KeyRowKind::other);
    for (const char* broken : {"\"Scanned key:\",A,,,,\":AB\"", "\"Scanned key:\",A,,,,,\"AB\"",
                               "\"Override:\",\"key A,,,,,\":AB\"", "\"Scanned key:\","})
        EXPECT_EQ(parse_key_row(broken, form, key), KeyRowKind::broken) << broken;
    // A grouped display of 1001 letters: one more than a key can have.
    std::string letters = ":";
    for (int j = 0; j < MAX_QUESTIONS + 1; ++j) letters += j > 0 && j % 5 == 0 ? " A" : "A";
    EXPECT_EQ(parse_key_row("\"Scanned key:\",A,,,,,\"" + letters + "\"", form, key),
              KeyRowKind::broken);
    letters.resize(letters.size() - 2);
    EXPECT_EQ(parse_key_row("\"Scanned key:\",A,,,,,\"" + letters + "\"", form, key),
              KeyRowKind::key);
    EXPECT_EQ(key.size(), std::size_t{MAX_QUESTIONS});
    EXPECT_FALSE(is_statistics_heading(",,n,avg,dev,min,max,"));
    EXPECT_FALSE(parse_item_heading(",\"Form A Q:B\"", form));
    for (const char* other : {",Q0:A, 1", ",Q1001:A, 1", ",Q7 :AZ, 1", ",Q7 :A", ",Q:A, 1"})
        EXPECT_FALSE(parse_item_row(other, question, accepted)) << other;
}

// The widest rows: 1000 responses and marks with the longest cells, the
// Order wrapped to the lowest 32-bit count. Worked out by hand, the result
// row is 20 characters for the quoted identity cells with the form letter,
// 12 for ",-2147483648", 5 for ",1000", 8 for ",100.000", then ",\"A" (3),
// the grouped responses (':', 1000 letters, 199 blanks: 1200), "\",\"" (3),
// the grouped marks (1200) and '"': 2452, the line feed not counted.
TEST(ReportRows, TheWidestSheetRowIsSheetRowMaxLong) {
    const std::string letters(MAX_QUESTIONS, 'Y');
    const std::string marks(MAX_QUESTIONS, 'c');
    for (bool exam_first : {false, true}) {
        const std::vector<std::string> lines = written_lines([&] {
            write_sheet_row({"1234567890", 'A', "123", INT32_MIN, false, MAX_QUESTIONS, "100.000",
                             letters, marks},
                            exam_first);
        });
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].size(), std::size_t{2452});
        EXPECT_EQ(lines[0].size(), SHEET_ROW_MAX);
    }
    EXPECT_LT(SHEET_ROW_MAX, REPORT_LINE_MAX);
}

TEST(ReportRows, TheFirstCharactersOfTheHeader) {
    const std::string header = "\"Input file:\",,,,quillmark,\"v. 1.3\"";
    for (std::size_t n = 0; n <= header.size(); ++n)
        EXPECT_TRUE(may_begin_header(header.substr(0, n))) << n;
    for (const char* other : {"x", "\"Input file:\",,,quillmark,"})
        EXPECT_FALSE(may_begin_header(other)) << other;
    EXPECT_FALSE(may_begin_header(std::string_view("\0", 1)));
}

} // namespace
} // namespace quillmark
