#include "analyze/versions.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

const char HEADING[] = "Form,Question,Master,Options\n";

struct Fault {
    std::string text;
    std::int32_t line;
    std::string message;
};

TEST(VersionMap, EachFaultNamesItsLine) {
    const Fault faults[] = {
        {"", 0, "the file is empty: the heading Form,Question,Master,Options is missing"},
        {"\xEF\xBB\xBF\r\n\r\n", 0,
         "the file is empty: the heading Form,Question,Master,Options is missing"},
        {"A,1,1,\n", 1, "the first row is not the heading Form,Question,Master,Options"},
        {"\nForm,Question,Options\nA,1,\n", 2,
         "the first row is not the heading Form,Question,Master,Options"},
        {std::string(HEADING) + "K,1,1,\n", 2, "\"K\" is not a form letter A to J"},
        {std::string(HEADING) + "AB,1,1,\n", 2, "\"AB\" is not a form letter A to J"},
        {std::string(HEADING) + ",1,1,\n", 2, "\"\" is not a form letter A to J"},
        {std::string(HEADING) + "A,0,1,\n", 2,
         "the question number \"0\" is not a number from 1 to 1000"},
        {std::string(HEADING) + "A,1001,1,\n", 2,
         "the question number \"1001\" is not a number from 1 to 1000"},
        {std::string(HEADING) + "A,1.0,1,\n", 2,
         "the question number \"1.0\" is not a number from 1 to 1000"},
        {std::string(HEADING) + "A,1,x,\n", 2,
         "the master number \"x\" is not a number from 1 to 1000"},
        {std::string(HEADING) + "A,1,,\n", 2,
         "the master number \"\" is not a number from 1 to 1000"},
        {std::string(HEADING) + "A,1,1,CADBA\n", 2,
         "the Options cell \"CADBA\" is not an arrangement of the letters A to E"},
        {std::string(HEADING) + "A,1,1,ABD\n", 2,
         "the Options cell \"ABD\" is not an arrangement of the letters A to C"},
        {std::string(HEADING) + "A,1,1,A1\n", 2,
         "the Options cell \"A1\" is not an arrangement of the letters A to B"},
        {std::string(HEADING) + "A,1,1,ABCDEFGHIJKLMNOPQRSTUVWXYZ\n", 2,
         "the Options cell \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\" is not an arrangement of the letters A "
         "to Y"},
        {std::string(HEADING) + "A,1,1,,x\n", 2, "the row has more cells than the heading"},
        {std::string(HEADING) + "A,1,1,\nB,1,1,\na,1,2,\n", 4,
         "question 1 of form A is mapped twice (first on line 2)"},
        {std::string(HEADING) + "A,1,7,\nB,2,7,\nA,2,7,\n", 4,
         "master question 7 is reached twice from form A (first on line 2)"},
        {std::string(HEADING) + "A,\"1,1,\n", 2, "a quoted cell is not closed"},
        {std::string(HEADING) + "A,\"1\"2,1,\n", 2, "text after the closing quote of a cell"},
        // Blank rows and a cell spread over two lines still count as lines.
        {"Form,Question,Master,Options,Note\r\n\r\nA,1,1,BA,\"two\r\nlines\"\r\nK,2,2,\r\n", 5,
         "\"K\" is not a form letter A to J"},
    };
    for (const Fault& fault : faults) {
        VersionMap map;
        FileError error;
        EXPECT_FALSE(parse_version_map(fault.text, map, error)) << fault.text;
        EXPECT_EQ(error.line, fault.line) << fault.text;
        EXPECT_EQ(error.message, fault.message) << fault.text;
    }
}

TEST(VersionMap, ReadsAsASpreadsheetSavesIt) {
    // A byte order mark, line ends with carriage returns, semicolons, quoted
    // and lower-case cells, columns in another order, a column of notes.
    const std::string text =
        "\xEF\xBB\xBF\r\n\"master\";Form;Note;QUESTION;Options\r\n"
        "3;a;first; 2 ;cadbe\r\n"
        ";;;;\r\n"
        "\"1\";B;\"a; b\";1;\r\n";
    VersionMap map;
    FileError error;
    ASSERT_TRUE(parse_version_map(text, map, error)) << error.message;
    ASSERT_EQ(map.rows.size(), 2u);
    EXPECT_EQ(map.rows[0].form, 'A');
    EXPECT_EQ(map.rows[0].question, 2);
    EXPECT_EQ(map.rows[0].master, 3);
    EXPECT_EQ(map.rows[0].options, "CADBE");
    EXPECT_EQ(map.rows[0].line, 3);
    EXPECT_EQ(map.rows[1].form, 'B');
    EXPECT_EQ(map.rows[1].options, "");
    EXPECT_EQ(map.rows[1].line, 5);
}

// A report's form as the reader leaves it: its key's length and its scored
// questions.
FormScores form_scores(char letter, std::int32_t key_questions, std::vector<std::int32_t> scored) {
    FormScores form;
    form.form = letter;
    form.key_questions = key_questions;
    form.question_numbers = std::move(scored);
    return form;
}

TEST(VersionMap, HeldAgainstTheReportsForms) {
    ReportTables tables;
    tables.forms.push_back(form_scores('A', 3, {1, 2, 3}));
    tables.forms.push_back(form_scores('B', 3, {1, 3})); // B drops its question 2
    struct Case {
        std::string rows;
        std::int32_t line;
        std::string message;
    };
    const Case cases[] = {
        // Form C has no sheets: its rows are passed over. B's dropped
        // question may be mapped or not.
        {"A,1,1,\nA,2,2,\nA,3,3,\nB,1,2,\nB,3,3,\nB,2,1,\nC,9,9,\n", 0, ""},
        {"A,1,1,\nA,2,2,\nA,3,3,\nB,1,2,\nB,3,3,\nB,4,1,\n", 7,
         "form B has 3 questions: there is no question 4"},
        {"A,1,1,\nA,2,2,\nB,1,2,\nB,3,3,\nB,2,1,\n", 0,
         "question 3 of form A is scored in the report but the map has no row for it"},
        {"A,1,1,\nA,2,2,\nA,3,3,\nB,1,2,\nB,3,3,\n", 2,
         "master question 1 is reached from form A here but from no question of form B"},
    };
    for (const Case& c : cases) {
        VersionMap map;
        FileError error;
        ASSERT_TRUE(parse_version_map(HEADING + c.rows, map, error)) << error.message;
        EXPECT_EQ(check_version_map(map, tables, error), c.message.empty()) << c.rows;
        if (c.message.empty()) continue;
        EXPECT_EQ(error.line, c.line) << c.rows;
        EXPECT_EQ(error.message, c.message) << c.rows;
    }
}

// One scored question of a form's analysis that accepts `keys` (own
// letters), each letter given the point-biserial in `correlations`.
QuestionAnalysis keyed(std::int32_t number, const std::string& keys,
                       const std::vector<std::pair<char, long double>>& correlations) {
    QuestionAnalysis question;
    question.question = number;
    for (const auto& entry : correlations) {
        OptionStatistics option;
        option.option = entry.first;
        option.key = keys.find(entry.first) != std::string::npos;
        option.point_biserial = entry.second;
        question.statistics.options.push_back(option);
    }
    return question;
}

TEST(VersionKeys, TheFormsAgainstTheMostKeysGetTheirLines) {
    // Master question 4 is question 4 of A, 2 of B (letters shuffled), 7 of
    // C and 1 of D (D drops it). A and B accept master C, C accepts master
    // D: of the three keys, A's and B's is on the most forms.
    VersionMap map;
    FileError error;
    ASSERT_TRUE(parse_version_map(std::string(HEADING) + "A,4,4,\nB,2,4,CADBE\nC,7,4,\nD,1,4,\n",
                                  map, error));
    ReportTables tables;
    for (const char form : {'A', 'B', 'C', 'D'})
        tables.forms.push_back(form_scores(form, 9, {form == 'A' ? 4 : form == 'B' ? 2 : 7}));
    tables.forms.back().question_numbers.clear();
    std::vector<FormAnalysis> forms(4);
    forms[0].questions = {keyed(4, "C", {{'C', 0.4L}, {'D', -0.1L}})};
    forms[1].questions = {keyed(2, "D", {{'D', 0.4L}, {'B', -0.1L}})}; // its D is master C
    forms[2].questions = {keyed(7, "D", {{'C', 0.4L}, {'D', -0.1L}})};
    const std::vector<KeyAmendment> found = disagreeing_keys(map, tables, forms);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].form, 'C');
    EXPECT_EQ(found[0].question, 7);
    EXPECT_EQ(found[0].master, 4);
    EXPECT_EQ(found[0].accept, "C");
    EXPECT_EQ(
        found[0].detail,
        "question 7 is master question 4 and accepts D (master D); forms A and B accept master C; "
        "form D drops it: the key of 2 of the 4 forms");
    EXPECT_EQ(found[1].form, 'D');
    EXPECT_EQ(found[1].question, 1);
    EXPECT_EQ(found[1].accept, "C");
    EXPECT_EQ(found[1].detail,
              "question 1 is master question 4 and is dropped; forms A and B accept master C; "
              "form C accepts master D: the key of 2 of the 4 forms");
}

TEST(VersionKeys, ALetterAfterPIsNamedInTheDetail) {
    // A and B accept master C, which form C shows as Q; C accepts its A.
    VersionMap map;
    FileError error;
    ASSERT_TRUE(
        parse_version_map(std::string(HEADING) + "A,1,1,\nB,1,1,\nC,1,1,ABQDEFGHIJKLMNOPC\n", map,
                          error));
    ReportTables tables;
    for (const char form : {'A', 'B', 'C'}) tables.forms.push_back(form_scores(form, 1, {1}));
    std::vector<FormAnalysis> forms(3);
    forms[0].questions = forms[1].questions = {keyed(1, "C", {{'C', 0.4L}})};
    forms[2].questions = {keyed(1, "A", {{'A', 0.4L}})};
    const std::vector<KeyAmendment> found = disagreeing_keys(map, tables, forms);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].accept, "Q");
    EXPECT_EQ(found[0].detail,
              "question 1 is master question 1 and accepts A (master A); forms A and B accept "
              "master C: the key of 2 of the 3 forms; Q comes after P: no key accepts it");
}

TEST(VersionKeys, WithoutAMajorityTheStudentsAnswersDecide) {
    // Two forms of 100 and 300 sheets. A accepts master B, B accepts its
    // own E, which is master A. Master B's best point-biserial is 0.2 on A
    // and 0.3 on B (its letter C there): (100 * 0.2 + 300 * 0.3) / 400 =
    // 0.275. Master A's: 0.1 on A, and on B its E, 0.25, so (10 + 75) / 400
    // = 0.2125. Master B wins: B is the odd form, and must accept C and D
    // when master B is keyed with a second letter D on A.
    VersionMap map;
    FileError error;
    ASSERT_TRUE(parse_version_map(std::string(HEADING) + "A,1,1,\nB,1,1,ECDBA\n", map, error));
    ReportTables tables;
    tables.forms.push_back(form_scores('A', 1, {1}));
    tables.forms.push_back(form_scores('B', 1, {1}));
    std::vector<FormAnalysis> forms(2);
    forms[0].test.sheets = 100;
    forms[1].test.sheets = 300;
    forms[0].questions = {keyed(1, "BD", {{'A', 0.1L}, {'B', 0.2L}, {'D', -0.2L}})};
    forms[1].questions = {keyed(1, "E", {{'C', 0.3L}, {'E', 0.25L}, {'B', 0.1L}})};
    std::vector<KeyAmendment> found = disagreeing_keys(map, tables, forms);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].form, 'B');
    EXPECT_EQ(found[0].accept, "BC"); // master D is its B, master B its C
    EXPECT_EQ(
        found[0].detail,
        "question 1 is master question 1 and accepts E (master A); form A accepts master B or D: "
        "no key is on more forms than the others, and the students' answers favour master B or D");

    // The other way round, A is the odd one.
    forms[1].questions = {keyed(1, "E", {{'C', 0.1L}, {'E', 0.5L}})};
    found = disagreeing_keys(map, tables, forms);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].form, 'A');
    EXPECT_EQ(found[0].accept, "A");
}

} // namespace
} // namespace quillmark
