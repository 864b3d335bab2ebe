#include "keys/answer_keys.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

class AnswerKeys : public ::testing::Test {
protected:
    void SetUp() override { std::memset(answer_keys, 0, sizeof answer_keys); }
};

// The masks of questions 1 to `questions` of a key.
std::vector<std::int32_t> masks_of(const AnswerKey& key, int questions) {
    return std::vector<std::int32_t>(key.masks + 1, key.masks + 1 + questions);
}

TEST(AnswerBit, LettersAToPHaveOneBitEachAndEverythingElseNone) {
    const std::pair<char, int> cases[] = {{'A', 1},
                                          {'a', 1},
                                          {'C', 4},
                                          {'p', 32768},
                                          {'Q', 0},
                                          {'z', 0},
                                          {'-', 0},
                                          {'\0', 0},
                                          {'[', 0},
                                          {static_cast<char>(0xE1), 0},
                                          {static_cast<char>(0xFF), 0}};
    for (const auto& [letter, bit] : cases) EXPECT_EQ(answer_bit(letter), bit) << +letter;
}

TEST_F(AnswerKeys, CompileRemovesBlanksUpperCasesAndDropsX) {
    store_key('A', "ab cde x");
    const AnswerKey& key = answer_keys[0];
    EXPECT_EQ(key.form, 'A');
    EXPECT_STREQ(key.key_text, "ABCDE-");
    EXPECT_EQ(masks_of(key, 7), (std::vector<std::int32_t>{1, 2, 4, 8, 16, QUESTION_DROPPED, 0}));
}

TEST_F(AnswerKeys, CompileYieldsQuestionCountAndLeavesOddCharactersUnaccepted) {
    AnswerKey& key = answer_keys[2];
    std::strcpy(key.key_text, "a Q\tz9x");
    EXPECT_EQ(compile_key(key), 6);
    EXPECT_STREQ(key.key_text, "AQ\tZ9-");
    // Q is counted but never right, and a tab stays a question.
    EXPECT_EQ(masks_of(key, 6), (std::vector<std::int32_t>{1, 0, 0, 0, 0, QUESTION_DROPPED}));
}

TEST_F(AnswerKeys, RestoringJoinsMasksAndDroppedStaysDropped) {
    store_key('B', "ABCD");
    store_key('B', "BBB-");
    const AnswerKey& key = answer_keys[1];
    EXPECT_STREQ(key.key_text, "BBB-");
    EXPECT_EQ(masks_of(key, 4), (std::vector<std::int32_t>{1 | 2, 2, 2 | 4, QUESTION_DROPPED}));

    store_key('B', "CCCC");
    EXPECT_EQ(masks_of(key, 4),
              (std::vector<std::int32_t>{1 | 2 | 4, 2 | 4, 2 | 4, QUESTION_DROPPED}));
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
    const std::pair<const char*, const char*> cases[] = {{"", ":"},
                                                         {"ABCDE", ":ABCDE"},
                                                         {"ABCDEF", ":ABCDE F"},
                                                         {"ABCDEFGHIJKL", ":ABCDE FGHIJ KL"}};
    for (const auto& [text, shown] : cases) EXPECT_STREQ(group_display(text), shown) << text;
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
