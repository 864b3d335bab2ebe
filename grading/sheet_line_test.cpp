#include "grading/sheet_line.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

struct Cut {
    const char* line;
    const char* student_id;
    char form_letter;
    const char* exam_no;
    const char* responses;
};

void expect_cut(const Cut& c) {
    ScannedSheet sheet = parse_sheet_line(c.line);
    EXPECT_STREQ(sheet.student_id, c.student_id) << c.line;
    EXPECT_EQ(sheet.form_letter, c.form_letter) << c.line;
    EXPECT_STREQ(sheet.exam_no, c.exam_no) << c.line;
    EXPECT_STREQ(sheet.responses, c.responses) << c.line;
}

TEST(ParseSheetLine, ReaderLines) {
    expect_cut({"0000000000,A,000,ABCDEABCDE ABCDE", "0000000000", 'A', "000", "ABCDEABCDEABCDE"});
    expect_cut({"712,A,012,ABCDEABCDD ABC E", "U12", 'A', "012", "ABCDEABCDDABC-E"});
    expect_cut({"12345,b,7,abc de", "A2345", 'b', "7", "ABC-DE"});
}

TEST(ParseSheetLine, IdentifierRemapsOnlyItsFirstCharacter) {
    expect_cut({"0123,A,1,A", "0123", 'A', "1", "A"});
    expect_cut({"6111,A,1,A", "F111", 'A', "1", "A"});
    expect_cut({"9777,A,1,A", "W777", 'A', "1", "A"});
    expect_cut({"x123,A,1,A", "x123", 'A', "1", "A"});
    expect_cut({"   ,A,1,A", "", 'A', "1", "A"});
    expect_cut({" 12 ,A,1,A", " 12", 'A', "1", "A"});
    // Ten characters at most; the rest of the field is dropped.
    expect_cut({"1234567890123,C,045,AB", "A234567890", 'C', "045", "AB"});
}

TEST(ParseSheetLine, ShortAndMalformedLines) {
    expect_cut({"", "", '?', "", ""});
    expect_cut({"12345678901234567890", "A234567890", '?', "", ""});
    expect_cut({"abc", "abc", '?', "", ""});
    // An empty form field: the comma is the form letter and the exam number
    // comes from the response field.
    expect_cut({"111,,222,ABC", "A11", ',', "ABC", ""});
    expect_cut({"111,,222,ABC,DEF", "A11", ',', "ABC", "DEF"});
    expect_cut({"111,Bxyz,222,ABC", "A11", 'B', "222", "ABC"});
    expect_cut({"111,B,12345,ABC", "A11", 'B', "123", "ABC"});
    expect_cut({"111,B,1 ,ABC", "A11", 'B', "1", "ABC"});
}

TEST(ParseSheetLine, ResponsesSkipEveryEleventhCharacterAndTrailingBlanks) {
    expect_cut({"1,A,1,ABCDEABCDE ABCDEABCDE ABC", "A", 'A', "1", "ABCDEABCDEABCDEABCDEABC"});
    // The separator is skipped whatever it is.
    expect_cut({"1,A,1,ABCDEABCDEXABCDE", "A", 'A', "1", "ABCDEABCDEABCDE"});
    expect_cut({"1,A,1,AB  -- - ", "A", 'A', "1", "AB"});
    expect_cut({"1,A,1,a-z*9\t", "A", 'A', "1", "A-Z*9\t"});
}

TEST(ParseSheetLine, ResponsesStopAtAThousand) {
    std::string field;
    for (int group = 0; group < 110; ++group) field += "ABCDEABCDE ";
    ScannedSheet sheet = parse_sheet_line(("1,A,1," + field).c_str());
    EXPECT_EQ(std::string(sheet.responses).size(), 1000u);
}

TEST(ParseSheetLine, HighBytesPassThroughUnchanged) {
    expect_cut(
        {"\xe9tudiant,\xc9,\xff\xfe,\x80\xe9z", "\xe9tudiant", '\xc9', "\xff\xfe", "\x80\xe9Z"});
}

// The response field cut one character at a time, as the reader's layout
// says: ten responses, a separator skipped, again, up to 1000 responses or
// the end of the text; a blank is '-', 'a' to 'z' are upper-cased; then the
// trailing '-' are dropped.
std::string responses_by_rule(const std::string& field) {
    std::string kept;
    std::size_t i = 0;
    while (i < field.size() && field[i] != '\0' && kept.size() < 1000) {
        for (int k = 0; k < 10 && i < field.size() && field[i] != '\0'; ++k, ++i) {
            const char c = field[i];
            kept += c == ' ' ? '-' : c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        if (i < field.size() && field[i] != '\0') ++i;
    }
    while (!kept.empty() && kept.back() == '-') kept.pop_back();
    return kept;
}

TEST(ParseSheetLine, ResponseFieldsOfEveryLengthAndContent) {
    std::mt19937 random(1208);
    const char alphabet[] = {'A',    'b', ' ', ' ', 'z', '\0', '\xe0',
                             '\xff', '*', '{', '`', '@', '-'};
    for (int i = 0; i < 20000; ++i) {
        std::string field(random() % 1150, 'C');
        for (char& c : field)
            if (random() % 4 == 0) c = alphabet[random() % sizeof alphabet];
        if (random() % 3 == 0) // no zero byte, mostly blanks at the end
            for (char& c : field) c = c == '\0' ? 'D' : c;
        const std::string line = "1,A,1," + field;
        // Both entries: with the line's length, and up to its first zero byte.
        // Read ahead past the terminator: sixteen more characters that must
        // not count.
        const std::string padded = line + '\0' + std::string(16, 'E');
        const ScannedSheet with_length =
            parse_sheet_text(padded.c_str(), line.size(), padded.size());
        ASSERT_EQ(std::string(with_length.responses), responses_by_rule(field)) << i;
        ASSERT_STREQ(parse_sheet_line(line.c_str()).responses, with_length.responses) << i;
    }
}

TEST(IsKeySheet, ByIdentifierOrExamNumberOnlyBeforeTheFirstStudent) {
    EXPECT_TRUE(is_key_sheet(parse_sheet_line("0000000000,A,123,AB"), 0));
    EXPECT_TRUE(is_key_sheet(parse_sheet_line("4444,A,000,AB"), 0));
    EXPECT_FALSE(is_key_sheet(parse_sheet_line("000000000,A,00,AB"), 0));
    // The fields are cut first: ten zeros and a dropped digit, or an exam
    // number cut to three zeros, still make a key sheet.
    EXPECT_TRUE(is_key_sheet(parse_sheet_line("00000000001,A,1,AB"), 0));
    EXPECT_TRUE(is_key_sheet(parse_sheet_line("5,A,0000,AB"), 0));
    EXPECT_FALSE(is_key_sheet(parse_sheet_line("0000000000,A,000,AB"), 1));
}

} // namespace
} // namespace quillmark
