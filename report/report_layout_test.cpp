#include "report/report_layout.h"

#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// The grouping rule written the plain way: ':' first, then one blank before
// every character whose position is a positive multiple of five.
std::string grouped_by_rule(const std::string& text) {
    std::string shown = ":";
    for (std::size_t j = 0; j < text.size(); ++j) {
        if (j > 0 && j % 5 == 0) shown += ' ';
        shown += text[j];
    }
    return shown;
}

std::string ungrouped(const std::string& display, bool& grouped) {
    std::string text(display.size() + UNGROUPED_SLACK, '\0');
    std::size_t length = 99999;
    grouped = ungroup_display(display.data(), display.size(), &text[0], length);
    text.resize(length);
    return text;
}

TEST(GroupedDisplay, FollowsTheGroupingRuleAndIsUndoneForEveryLength) {
    std::string text;
    for (int length = 0; length <= MAX_QUESTIONS; ++length) {
        char out[GROUPED_ROOM];
        char* end = write_grouped(out, text.c_str(), text.size());
        const std::string display(out, end);
        ASSERT_EQ(display, grouped_by_rule(text)) << length;
        bool grouped = false;
        ASSERT_EQ(ungrouped(display, grouped), text) << length;
        ASSERT_TRUE(grouped) << length;
        text += static_cast<char>('A' + length % 26);
    }
}

TEST(GroupedDisplay, TextsThatAreNotGroupedDisplaysAreRefused) {
    bool grouped = true;
    EXPECT_EQ(ungrouped(":ABCDE FGHIJ KL", grouped), "ABCDEFGHIJKL");
    EXPECT_TRUE(grouped);
    EXPECT_EQ(ungrouped(":", grouped), "");
    EXPECT_TRUE(grouped);
    for (const char* broken : {"", "ABCDE", ":ABCDEF", ":ABCDE ", ":AB DE", ":ABCDE  FGHIJ"}) {
        ungrouped(broken, grouped);
        EXPECT_FALSE(grouped) << '"' << broken << '"';
    }
}

std::string percent_cell_of(std::int32_t raw, std::int32_t scored) {
    char cell[PERCENT_CELL_SIZE];
    const int length = format_percent_cell(cell, percent_score(raw, scored));
    EXPECT_EQ(static_cast<std::size_t>(length), std::string(cell).size());
    return cell;
}

TEST(PercentScore, IsTheExtendedQuotientRoundedToADoubleInSevenPlaces) {
    EXPECT_EQ(percent_cell_of(2, 3), " 66.667");
    EXPECT_EQ(percent_cell_of(1, 3), " 33.333");
    EXPECT_EQ(percent_cell_of(0, 5), "  0.000");
    EXPECT_EQ(percent_cell_of(4, 5), " 80.000");
    EXPECT_EQ(percent_cell_of(7, 7), "100.000");
    EXPECT_EQ(percent_cell_of(1, 1000), "  0.100");
    // 1/3 * 100 in extended precision, then rounded to the nearest double:
    // not the double 1.0 / 3 * 100 (33.33333333333332859638) but the
    // double nearest to 33.333... (33.33333333333333570181).
    EXPECT_EQ(percent_score(1, 3), 33.33333333333333570181);
    EXPECT_NE(percent_score(1, 3), 1.0 / 3 * 100);
}

TEST(FormIndex, OnlyTheLettersAToJHaveAnIndex) {
    for (int c = 0; c < 256; ++c) {
        const char letter = static_cast<char>(c);
        const int expected = c >= 'A' && c <= 'J' ? c - 'A' : -1;
        ASSERT_EQ(form_index(letter), expected) << c;
        if (expected >= 0) {
            ASSERT_EQ(form_letter_of(expected), letter);
        }
    }
}

TEST(IdentifierFirstCharacter, DigitsOneToNineAreShownAsLettersAndReadBack) {
    const std::string shown = "0ABCDEFUVW";
    for (int digit = 0; digit <= 9; ++digit) {
        const char bubbled = static_cast<char>('0' + digit);
        EXPECT_EQ(shown_id_first(bubbled), shown[digit]) << digit;
        EXPECT_EQ(bubbled_id_first(shown[digit]), bubbled) << digit;
    }
    // Every other byte is shown and read back as it stands.
    for (int c = 0; c < 256; ++c) {
        const char other = static_cast<char>(c);
        if ((c >= '1' && c <= '9') || shown.find(other) != std::string::npos) continue;
        ASSERT_EQ(shown_id_first(other), other) << c;
        ASSERT_EQ(bubbled_id_first(other), other) << c;
    }
}

} // namespace
} // namespace quillmark
