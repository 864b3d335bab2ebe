#include "analyze/class_list.h"

#include <cstring>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "report/report_layout.h"

namespace quillmark {
namespace {

using Rows = std::vector<std::vector<std::string>>;

struct ReadCase {
    const char* what;
    std::string text;
    std::vector<std::string> headings;
    std::size_t id_column;
    Rows rows;
    std::vector<std::int32_t> lines;
};

// Reads the text whole, and a byte at a time, which must agree.
ClassList read_both_ways(const std::string& text) {
    ClassList whole;
    ClassListError error;
    EXPECT_TRUE(read_class_list(text, whole, error)) << error.line << ": " << error.message;
    ClassListReader reader;
    for (char c : text) reader.add(&c, 1);
    ClassList bytewise;
    EXPECT_TRUE(reader.finish(bytewise, error)) << error.message;
    EXPECT_EQ(bytewise.rows, whole.rows);
    EXPECT_EQ(bytewise.headings, whole.headings);
    EXPECT_EQ(bytewise.lines, whole.lines);
    return whole;
}

TEST(ClassListReading, AsSpreadsheetsSaveIt) {
    const ReadCase cases[] = {
        {"byte order mark, CR LF, quoted comma",
         "\xEF\xBB\xBFStudent ID,Name\r\n4024001417,\"Adams, Ada\"\r\n0012,Bo\r\n",
         {"Student ID", "Name"},
         0,
         {{"4024001417", "Adams, Ada"}, {"0012", "Bo"}},
         {2, 3}},
        {"semicolons told from the heading row; a comma is then text",
         "Name;ID;Note\nSmith, J;12;a,b\n",
         {"Name", "ID", "Note"},
         1,
         {{"Smith, J", "12", "a,b"}},
         {2}},
        {"separators and commas inside quotes do not count for the separator",
         "\"a;b;c\",\"Student ID\",x\n1,2,3\n",
         {"a;b;c", "Student ID", "x"},
         1,
         {{"1", "2", "3"}},
         {2}},
        {"doubled quotes, a line end inside quotes, the next row's line",
         "id,Name\n7,\"O\"\"Neil\r\nJr\"\n8,x\"y\n",
         {"id", "Name"},
         0,
         {{"7", "O\"Neil\r\nJr"}, {"8", "x\"y"}},
         {2, 4}},
        {"CR alone ends lines; no line end at the end",
         "Student ID,Name\r1,A\r2,B",
         {"Student ID", "Name"},
         0,
         {{"1", "A"}, {"2", "B"}},
         {2, 3}},
        {"Student ID before ID, any case, blanks around",
         "ID, student id ,Name\n1,2,3\n",
         {"ID", " student id ", "Name"},
         1,
         {{"1", "2", "3"}},
         {2}},
        {"blank lines passed over, short rows filled, trailing empty cells dropped",
         "\n\nNumber,Name,Mail\n\n1,A\n,,\n2,B,c,,\n",
         {"Number", "Name", "Mail"},
         0,
         {{"1", "A", ""}, {"2", "B", "c"}},
         {5, 7}},
        {"bytes that are not UTF-8 and accents kept as they are",
         "ID,Name\n5,\xE9l\xC3\xA9onore \xFF\n",
         {"ID", "Name"},
         0,
         {{"5", "\xE9l\xC3\xA9onore \xFF"}},
         {2}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ClassList list = read_both_ways(c.text);
        EXPECT_EQ(list.headings, c.headings);
        EXPECT_EQ(list.id_column, c.id_column);
        EXPECT_EQ(list.rows, c.rows);
        EXPECT_EQ(list.lines, c.lines);
    }
}

TEST(ClassListReading, RefusesWhatIsNoClassList) {
    struct Case {
        std::string text;
        std::int32_t line;
        const char* message;
    };
    const Case cases[] = {
        {"", 0, "the class list is empty"},
        {"\xEF\xBB\xBF\r\n\r\n,,\r\n", 0, "the class list is empty"},
        {"Student ID,Name\r\n", 1, "no student row after the heading row"},
        {"4024001417,Ada\n4024001522,Bo\n", 1,
         "the first row is not a heading row: its first cell 4024001417 is an identifier"},
        {"Name,Mail\nAda,a@b\n", 1,
         "no column is headed Student ID or ID, and the first column (Name) holds no identifier"},
        {" ,Name\n1,Ada\n", 1,
         "no column is headed Student ID or ID, and the first column has no heading"},
        {"ID,Name\n1,\"Ada\n2,Bo\n", 2, "a quoted cell is not closed"},
        {"ID,Name\n1,\"Ada\" x\n", 2, "text after the closing quote of a cell"},
        {"ID,Name\n1,Ada\n2,Bo,x\n", 3, "the row has 3 cells, the heading row only 2"},
        {"ID,Name\n1," + std::string(MAX_CLASS_LIST_ROW, 'x') + "\n", 2,
         "a row longer than 1048576 bytes"},
        {std::string(MAX_CLASS_LIST_ROW + 1, '\0'), 1,
         "the heading row is longer than 1048576 bytes"},
    };
    for (const Case& c : cases) {
        ClassList list;
        ClassListError error;
        EXPECT_FALSE(read_class_list(c.text, list, error)) << c.message;
        EXPECT_EQ(error.line, c.line) << c.message;
        EXPECT_EQ(error.message, c.message);
    }
}

SheetIdentity sheet(const char* shown_id, char form = 'A') {
    SheetIdentity identity{};
    std::memcpy(identity.id, shown_id, std::strlen(shown_id));
    identity.form = form;
    identity.scored = 1;
    return identity;
}

TEST(IdentifierMatching, FirstLetterReadBackBlanksAndLeadingZerosIgnored) {
    EXPECT_EQ(bubbled_id(sheet("D024001417")), "4024001417");
    EXPECT_EQ(bubbled_id(sheet("U12")), "712");
    EXPECT_EQ(bubbled_id(sheet("W")), "9");
    EXPECT_EQ(bubbled_id(sheet("0AB")), "0AB");
    EXPECT_EQ(bubbled_id(sheet("")), "");
    const std::pair<const char*, const char*> keys[] = {
        {" 40 24\t", "4024"}, {"000123", "123"}, {"0000", "0"},
        {"  ", ""},           {"0A12", "0A12"},  {"A 012", "A012"},
    };
    for (const auto& [id, key] : keys) EXPECT_EQ(id_key(id), key) << id;
}

TEST(IdentifierMatching, SlipsOfOneDigitOrTwoNeighbours) {
    struct Case {
        const char* a;
        const char* b;
        IdSlip slip;
    };
    const Case cases[] = {
        {"4024001417", "4024001418", IdSlip::one_digit},
        {"4024001417", "5024001417", IdSlip::one_digit},
        {"4024001417", "4024001471", IdSlip::swapped},
        {"4024001417", "0424001417", IdSlip::swapped},
        {"12345", "12354", IdSlip::swapped},
        {"5", "50", IdSlip::swapped},        // 05 and 50: the zeros before count
        {"123", "1123", IdSlip::one_digit},  // 0123 and 1123
        {"40*4", "4034", IdSlip::one_digit}, // any character
        {"4024001417", "4024001417", IdSlip::none},
        {"123", "321", IdSlip::none},   // not neighbours
        {"1234", "2143", IdSlip::none}, // two swaps
        {"4024001417", "4024001428", IdSlip::none},
        {"123", "1234", IdSlip::none},
        {"", "1", IdSlip::none},
        {"12345678901", "12345678902", IdSlip::none}, // longer than any sheet's
    };
    for (const Case& c : cases) {
        EXPECT_EQ(id_slip(c.a, c.b), c.slip) << c.a << " " << c.b;
        EXPECT_EQ(id_slip(c.b, c.a), c.slip) << c.b << " " << c.a;
    }
}

ClassList class_list(const std::vector<std::string>& ids) {
    ClassList list;
    list.headings = {"Student ID"};
    for (std::size_t r = 0; r < ids.size(); ++r) {
        list.rows.push_back({ids[r]});
        list.lines.push_back(static_cast<std::int32_t>(r) + 2);
    }
    return list;
}

std::vector<std::string> check_rows(const std::vector<SheetCheck>& checks) {
    std::vector<std::string> rows;
    for (const SheetCheck& check : checks)
        rows.push_back(std::string(check_name(check.kind)) + "|" + check_form_text(check) + "|" +
                       std::to_string(check.order) + "|" + check.student_id + "|" + check.detail);
    return rows;
}

TEST(ClassListMatching, SlipsCorrectedOnlyWhenCertainElseListed) {
    const ClassList list = class_list({
        "0000123",    // line 2: sheet 1 by its own ID
        "4024001417", // line 3: sheet 2's swap, certain
        "4024001520", // line 4: one off from sheet 3, like line 5
        "4024001529", // line 5
        "7024002000", // line 6: one off from sheets 4 and 5
        "9999",       // line 7: sheet 9
        "9998",       // line 8: sheet 6
        "55",         // line 9, repeated
        "055",        // line 10, repeated
        " ",          // line 11: no identifier
    });
    const std::vector<SheetIdentity> sheets = {
        sheet("A23"),        // 1: 123
        sheet("D024001471"), // 2: swap of line 3
        sheet("D024001521"), // 3: one off from lines 4 and 5
        sheet("U024002001"), // 4: one off from line 6
        sheet("U024002002"), // 5: one off from line 6 too
        sheet("W998", 'B'),  // 6: 9998
        sheet("E5"),         // 7: 55, which the class list repeats
        sheet(""),           // 8: blank
        sheet("W999"),       // 9: 9999, line 7 exactly
        sheet("A23"),        // 10: line 2 again
        sheet("W997"),       // 11: one off from lines 7 and 8, which have sheets
    };
    std::vector<SheetCheck> checks;
    const ClassListMatch match = match_class_list(list, sheets, checks);
    EXPECT_EQ(match.student_of_sheet,
              (std::vector<std::int32_t>{0, 1, NO_STUDENT, NO_STUDENT, NO_STUDENT, 6, NO_STUDENT,
                                         NO_STUDENT, 5, 0, NO_STUDENT}));
    EXPECT_EQ(match.corrected, (std::vector<unsigned char>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(match.repeated, (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(check_rows(checks),
              (std::vector<std::string>{
                  "not on the class list|A|3|D024001521|bubbled 4024001521; close to 4024001520 "
                  "(line 4, one digit off) and 4024001529 (line 5, one digit off)",
                  "not on the class list|A|4|U024002001|bubbled 7024002001; close to 7024002000 "
                  "(line 6, one digit off)",
                  "not on the class list|A|5|U024002002|bubbled 7024002002; close to 7024002000 "
                  "(line 6, one digit off)",
                  "not on the class list|A|7|E5|bubbled 55, which the class list repeats",
                  "not on the class list|A|8||no identifier bubbled",
                  "not on the class list|A|11|W997|bubbled 9997",
                  "no sheet||0|4024001520|class list line 4",
                  "no sheet||0|4024001529|class list line 5",
                  "no sheet||0|7024002000|class list line 6",
                  "no sheet||0| |class list line 11, without an identifier",
                  "ID corrected|A|2|D024001471|bubbled 4024001471, matched to 4024001417 (class "
                  "list line 3): neighbouring digits swapped",
                  "class list repeats ID||0|55|class list lines 9 and 10; no sheet is matched to "
                  "them",
              }));
    // 10 students, 11 sheets; matched: sheets 1, 2 (corrected), 6, 9, 10;
    // nobody's: 3, 4, 5, 7, 8, 11; no sheet: lines 4, 5, 6, 11.
    const ClassListCounts& counts = match.counts;
    EXPECT_EQ((std::vector<std::int64_t>{counts.on_list, counts.sheets, counts.matched,
                                         counts.corrected, counts.not_on_list, counts.no_sheet}),
              (std::vector<std::int64_t>{10, 11, 5, 1, 6, 4}));
}

// The candidates of every sheet whose key is on no row, by comparing it with
// every student: the index must find exactly these.
TEST(ClassListMatching, FindsTheSameSlipsAsComparingEveryPair) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> digit(0, 9);
    const auto random_id = [&](int length) {
        std::string id;
        for (int i = 0; i < length; ++i) id += static_cast<char>('0' + digit(random));
        return id;
    };
    std::vector<std::string> ids;
    for (int r = 0; r < 400; ++r) ids.push_back(random_id(3 + r % 2));
    std::vector<SheetIdentity> sheets;
    for (int s = 0; s < 400; ++s) {
        std::string id = random_id(3 + s % 2);
        id[0] = shown_id_first(id[0]);
        sheets.push_back(sheet(id.c_str()));
    }
    std::vector<SheetCheck> checks;
    const ClassListMatch match = match_class_list(class_list(ids), sheets, checks);

    std::map<std::string, int> rows_of_key;
    for (const std::string& id : ids) ++rows_of_key[id_key(id)];
    std::vector<bool> has_sheet(ids.size());
    for (std::size_t s = 0; s < sheets.size(); ++s)
        for (std::size_t r = 0; r < ids.size(); ++r)
            if (id_key(ids[r]) == id_key(bubbled_id(sheets[s])) && rows_of_key[id_key(ids[r])] == 1)
                has_sheet[r] = true;
    std::vector<std::vector<std::size_t>> near(sheets.size());
    std::vector<int> named(ids.size());
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        if (rows_of_key.count(id_key(bubbled_id(sheets[s])))) continue;
        for (std::size_t r = 0; r < ids.size(); ++r)
            if (!has_sheet[r] && rows_of_key[id_key(ids[r])] == 1 &&
                id_slip(id_key(bubbled_id(sheets[s])), id_key(ids[r])) != IdSlip::none) {
                near[s].push_back(r);
                ++named[r];
            }
    }
    std::size_t corrections = 0;
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        const bool certain = near[s].size() == 1 && named[near[s][0]] == 1;
        corrections += certain;
        EXPECT_EQ(match.corrected[s], certain ? 1 : 0) << s;
        if (certain) {
            EXPECT_EQ(match.student_of_sheet[s], static_cast<std::int32_t>(near[s][0]));
        }
    }
    EXPECT_GT(corrections, 10u); // the batch holds certain slips as well as uncertain ones
    std::size_t listed_with_candidates = 0;
    for (const SheetCheck& check : checks)
        if (check.kind == CheckKind::not_on_class_list &&
            check.detail.find("close to") != std::string::npos) {
            const std::size_t s = static_cast<std::size_t>(check.order - 1);
            ++listed_with_candidates;
            std::size_t named_students = 0;
            for (char c : check.detail) named_students += c == '(';
            EXPECT_EQ(named_students, near[s].size()) << check.detail;
        }
    EXPECT_GT(listed_with_candidates, 10u);
}

} // namespace
} // namespace quillmark
