#include "keys/options.h"

#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "keys/answer_keys.h"
#include "report/report_format.h"

namespace quillmark {
namespace {

// A fatal error ends the process with status -1, which POSIX systems show
// as 255 and Windows as -1.
bool ended_with_minus_one(int status) {
    return ::testing::ExitedWithCode(255)(status) || ::testing::ExitedWithCode(-1)(status);
}

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class Options : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(answer_keys, 0, sizeof answer_keys);
        exam_first = 0;
        option_file_depth = 0;
    }

    // Applies an option held in a writable copy; yields the echo rows.
    std::string apply(const std::string& option) {
        text_ = option;
        CaptureStdout();
        EXPECT_EQ(apply_option(text_.data()), 0);
        report_flush();
        return GetCapturedStdout();
    }

    // The option text after apply_option changed it in place.
    std::string changed() const { return std::string(text_.c_str()); }

    std::string text_;
};

TEST(MatchPrefix, MovesPastTheLiteralOnlyWhenTheFirstNCharactersAgree) {
    char text[] = "keya:abc";
    char* cursor = text;
    EXPECT_EQ(match_prefix("keyb:", cursor, 5), 0);
    EXPECT_EQ(cursor, text);
    EXPECT_EQ(match_prefix("keya:", cursor, 5), 1);
    EXPECT_EQ(cursor, text + 5);

    char shorter[] = "key";
    cursor = shorter;
    EXPECT_EQ(match_prefix("keya:", cursor, 5), 0);
    EXPECT_EQ(cursor, shorter);

    // Only n characters must agree; the cursor then runs as far as they do.
    char partial[] = "colsxyz";
    cursor = partial;
    EXPECT_EQ(match_prefix("cols:x", cursor, 4), 1);
    EXPECT_EQ(cursor, partial + 4);
}

TEST_F(Options, TrailingWhiteSpaceAndClosingQuoteGoOpeningQuoteStays) {
    EXPECT_EQ(apply("\"keyb:abcde\"\r\n"), "\"Override:\",\"key B\",,,,,\":ABCDE\"\n");
    EXPECT_EQ(changed(), "\"keyb:abcde");
    EXPECT_STREQ(answer_keys[1].key_text, "ABCDE");

    // White space before the closing quote stays part of the text.
    apply("KEYC:AB \" \t\v\f");
    EXPECT_EQ(changed(), "keyc:ab ");
    EXPECT_STREQ(answer_keys[2].key_text, "AB");
}

TEST_F(Options, EmptyAndCommentTextsAreIgnored) {
    for (const char* ignored : {"", "   ", "\t\r\n", "\"", "\"\"", "# keya:abc", "\"#keya:abc\""}) {
        EXPECT_EQ(apply(ignored), "") << ignored;
    }
    EXPECT_EQ(answer_keys[0].form, 0);
}

TEST_F(Options, LowerCasesEverythingButTheAnswerLetter) {
    apply("KEYA:ABCDEFGH");
    // Six marker blanks and one group separator put B under question 7.
    EXPECT_EQ(apply("ALTA:7+b"), "\"alta:7+B\",,,,,,\":       B\"\n");
    EXPECT_EQ(answer_keys[0].masks[7], (1 << 6) | 2);
    apply("alta:7c");
    EXPECT_EQ(answer_keys[0].masks[7], 4);
    apply("alta:7x");
    EXPECT_EQ(answer_keys[0].masks[7], QUESTION_DROPPED);
    apply("cols:xyz");
    EXPECT_EQ(exam_first, 1);
    EXPECT_STREQ(answer_keys[0].key_text, "ABCDEFGH"); // amendments never change the text
}

TEST_F(Options, ErrorsEndTheRunWithStatusMinusOne) {
    apply("keya:abcdefgh");
    // Each option and a pattern of its message on standard error.
    const std::pair<const char*, const char*> cases[] = {
        {"alta:4294967297b", "Invalid question #: 4294967297b, key has 8 answers\nUsage:"},
        {"alta:7+", "Unknown option:alta:7\\+\nUsage:"},
        {"alta:7", "Unknown option:alta:7\n"},
        {" keya:abc", "Unknown option: keya:abc\n"},
        {"altb:1a", "Invalid question #: 1a, key has 0 answers\n"},
    };
    for (const auto& [option, message] : cases) {
        text_ = option;
        EXPECT_EXIT(apply_option(text_.data()), ended_with_minus_one, message) << option;
    }
}

// The grader's help: the usage text of the option errors, then a line for
// every option word that apply_option accepts.
TEST(GraderHelp, NamesEveryOptionWordAndFitsAnEightyColumnTerminal) {
    const std::string help = std::string(USAGE_TEXT) + OPTIONS_HELP_TEXT;
    EXPECT_EQ(help.rfind(USAGE_TEXT, 0), 0u);
    for (const char* word :
         {"keya:", "keyb:", "keyc:", "keyd:", "alta:", "altb:", "altc:", "altd:", "cols:x",
          "optf:", "#+letter", "#X", "#-", "--help", "-h", "--version"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    std::size_t column = 0;
    for (char c : help) {
        column = c == '\n' ? 0 : c == '\t' ? (column / 8 + 1) * 8 : column + 1;
        EXPECT_LE(column, 79u) << "a line of the help is too long";
    }
    EXPECT_EQ(help.back(), '\n');
}

} // namespace
} // namespace quillmark
