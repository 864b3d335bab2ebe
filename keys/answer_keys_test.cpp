#include "keys/answer_keys.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

class AnswerKeys : public ::testing::Test {
protected:
    void SetUp() override { std::memset(answer_keys, 0, sizeof answer_keys); }
};

TEST(AnswerBit, LettersAToPHaveOneBitEachAndEverythingElseNone) {
    EXPECT_EQ(answer_bit('A'), 1);
    EXPECT_EQ(answer_bit('a'), 1);
    EXPECT_EQ(answer_bit('C'), 4);
    EXPECT_EQ(answer_bit('p'), 32768);
    EXPECT_EQ(answer_bit('Q'), 0);
    EXPECT_EQ(answer_bit('z'), 0);
    EXPECT_EQ(answer_bit('-'), 0);
    EXPECT_EQ(answer_bit('\0'), 0);
    EXPECT_EQ(answer_bit('['), 0);
    EXPECT_EQ(answer_bit(static_cast<char>(0xE1)), 0);
    EXPECT_EQ(answer_bit(static_cast<char>(0xFF)), 0);
}

TEST_F(AnswerKeys, CompileRemovesBlanksUpperCasesAndDropsX) {
    store_key('A', "ab cde x");
    const AnswerKey& key = answer_keys[0];
    EXPECT_EQ(key.form, 'A');
    EXPECT_STREQ(key.key_text, "ABCDE-");
    EXPECT_EQ(key.masks[1], 1);
    EXPECT_EQ(key.masks[2], 2);
    EXPECT_EQ(key.masks[3], 4);
    EXPECT_EQ(key.masks[4], 8);
    EXPECT_EQ(key.masks[5], 16);
    EXPECT_EQ(key.masks[6], QUESTION_DROPPED);
    EXPECT_EQ(key.masks[7], 0);
}

TEST_F(AnswerKeys, CompileYieldsQuestionCountAndLeavesOddCharactersUnaccepted) {
    AnswerKey& key = answer_keys[2];
    std::strcpy(key.key_text, "a Q\tz9x");
    EXPECT_EQ(compile_key(key), 6);
    EXPECT_STREQ(key.key_text, "AQ\tZ9-");
    EXPECT_EQ(key.masks[1], 1);
    EXPECT_EQ(key.masks[2], 0); // Q: counted, never right
    EXPECT_EQ(key.masks[3], 0); // a tab stays a question
    EXPECT_EQ(key.masks[4], 0);
    EXPECT_EQ(key.masks[5], 0);
    EXPECT_EQ(key.masks[6], QUESTION_DROPPED);
}

TEST_F(AnswerKeys, RestoringJoinsMasksAndDroppedStaysDropped) {
    store_key('B', "ABCD");
    store_key('B', "BBB-");
    const AnswerKey& key = answer_keys[1];
    EXPECT_STREQ(key.key_text, "BBB-");
    EXPECT_EQ(key.masks[1], 1 | 2);
    EXPECT_EQ(key.masks[2], 2);
    EXPECT_EQ(key.masks[3], 2 | 4);
    EXPECT_EQ(key.masks[4], QUESTION_DROPPED);

    store_key('B', "CCCC");
    EXPECT_EQ(key.masks[4], QUESTION_DROPPED);
    EXPECT_EQ(key.masks[1], 1 | 2 | 4);
}

TEST_F(AnswerKeys, ShorterKeyLeavesNothingOfTheOldTextBehind) {
    store_key('J', "ABCDEFGH");
    store_key('J', "ab");
    const AnswerKey& key = answer_keys[9];
    EXPECT_STREQ(key.key_text, "AB");
    for (std::size_t i = 2; i < sizeof key.key_text; ++i) ASSERT_EQ(key.key_text[i], '\0');
}

TEST_F(AnswerKeys, KeyIsCutAtItsThousandthAnswerAfterBlanksAreRemoved) {
    std::string grouped;
    for (int i = 0; i < 1000; ++i) {
        if (i > 0 && i % 5 == 0) grouped += ' ';
        grouped += static_cast<char>('A' + i % 4);
    }
    ASSERT_EQ(grouped.size(), 1199u);
    store_key('C', grouped.c_str());
    EXPECT_EQ(std::strlen(answer_keys[2].key_text), 1000u);
    EXPECT_EQ(answer_keys[2].masks[1000], 8); // answer 1000 is 'D'

    std::string long_key(1200, 'E');
    store_key('D', long_key.c_str());
    EXPECT_EQ(std::strlen(answer_keys[3].key_text), 1000u);
}

TEST_F(AnswerKeys, EmptyKeyStillSetsTheForm) {
    store_key('E', "");
    EXPECT_EQ(answer_keys[4].form, 'E');
    EXPECT_STREQ(answer_keys[4].key_text, "");
}

TEST_F(AnswerKeys, FormOutsideTheTableTouchesNothing) {
    AnswerKey before[NUM_FORMS];
    std::memcpy(before, answer_keys, sizeof before);
    store_key('K', "ABC");
    store_key('?', "ABC");
    store_key(static_cast<char>(0xC1), "ABC");
    EXPECT_EQ(std::memcmp(before, answer_keys, sizeof before), 0);
}

TEST(ReplaceFirst, ReplacesOnlyTheFirstOccurrence) {
    char text[16] = "AXBXC";
    EXPECT_EQ(replace_first(text, sizeof text, "X", "-"), 1);
    EXPECT_STREQ(text, "A-BXC");
    EXPECT_EQ(replace_first(text, sizeof text, "BX", "YYYY"), 1);
    EXPECT_STREQ(text, "A-YYYYC");
    EXPECT_EQ(replace_first(text, sizeof text, "YYY", ""), 1);
    EXPECT_STREQ(text, "A-YC");
    EXPECT_EQ(replace_first(text, sizeof text, "Q", "R"), 0);
    EXPECT_STREQ(text, "A-YC");
}

TEST(ReplaceFirst, RefusesAResultThatWouldNotFit) {
    char text[3] = "AB";
    EXPECT_EQ(replace_first(text, sizeof text, "B", "XYZ"), 0);
    EXPECT_STREQ(text, "AB");
    // Exactly capacity - 1 characters fit.
    char fits[4] = "AB";
    EXPECT_EQ(replace_first(fits, sizeof fits, "B", "XY"), 1);
    EXPECT_STREQ(fits, "AXY");
    // A pattern longer than the text is simply absent.
    EXPECT_EQ(replace_first(fits, sizeof fits, "AXYZW", ""), 0);
}

TEST(GroupDisplay, GroupsOfFiveWithoutTrailingBlank) {
    EXPECT_STREQ(group_display(""), ":");
    EXPECT_STREQ(group_display("ABCDE"), ":ABCDE");
    EXPECT_STREQ(group_display("ABCDEF"), ":ABCDE F");
    EXPECT_STREQ(group_display("ABCDEFGHIJKL"), ":ABCDE FGHIJ KL");
}

TEST(GroupDisplay, ThousandCharactersFillTheSharedBuffer) {
    std::string text(1000, 'c');
    std::string shown = group_display(text.c_str());
    EXPECT_EQ(shown.size(), 1u + 1000u + 199u);
    EXPECT_EQ(shown.back(), 'c');
    EXPECT_EQ(shown[6], ' ');
    std::string longer(1500, 'c');
    EXPECT_EQ(std::string(group_display(longer.c_str())), shown);
}

} // namespace
} // namespace quillmark
