#include "grading/report_format.h"

#include <climits>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "keys/answer_keys.h"
#include "stats/random.h"

namespace quillmark {
namespace {

std::string written_int(std::int32_t value, int width) {
    char out[32];
    return std::string(out, write_int(out, value, width));
}

std::string c_format_int(std::int32_t value, int width) {
    char out[32];
    std::snprintf(out, sizeof out, "%*d", width, value);
    return out;
}

TEST(WriteInt, EqualsTheCFormatOnEdgeAndRandomValues) {
    const std::int32_t edges[] = {0,      1,       -1,      9,         10,       99,
                                  100,    999,     1000,    -9,        -10,      -99,
                                  -100,   12345,   -12345,  INT32_MAX, INT32_MIN, INT32_MAX - 1,
                                  INT32_MIN + 1, 1000000000, -1000000000};
    for (int width : {0, 1, 2, 3, 7, 12}) {
        for (std::int32_t value : edges)
            ASSERT_EQ(written_int(value, width), c_format_int(value, width)) << value;
        for (std::int32_t value = -2000; value <= 2000; ++value)
            ASSERT_EQ(written_int(value, width), c_format_int(value, width)) << value;
    }
    rng_seed(20261208);
    for (int i = 0; i < 200000; ++i) {
        auto value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(rng_uniform() * 4294967296.0L));
        ASSERT_EQ(written_int(value, 3), c_format_int(value, 3)) << value;
    }
}

TEST(WriteText, CopiesUpToTheTerminator) {
    char out[16];
    char* end = write_text(out, "ab\xe9z");
    EXPECT_EQ(std::string(out, end), "ab\xe9z");
    EXPECT_EQ(write_text(out, ""), out);
}

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

TEST(WriteGrouped, FollowsTheGroupingRuleForEveryLength) {
    std::string text;
    for (int length = 0; length <= MAX_QUESTIONS; ++length) {
        char out[GROUPED_MAX];
        char* end = write_grouped(out, text.c_str(), text.size());
        ASSERT_EQ(std::string(out, end), grouped_by_rule(text)) << length;
        ASSERT_EQ(std::string(group_display(text.c_str())), grouped_by_rule(text)) << length;
        text += static_cast<char>('A' + length % 26);
    }
}

} // namespace
} // namespace quillmark
