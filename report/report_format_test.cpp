#include "report/report_format.h"

#include <climits>
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

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
    const std::int32_t edges[] = {0,
                                  1,
                                  -1,
                                  9,
                                  10,
                                  99,
                                  100,
                                  999,
                                  1000,
                                  -9,
                                  -10,
                                  -99,
                                  -100,
                                  12345,
                                  -12345,
                                  INT32_MAX,
                                  INT32_MIN,
                                  INT32_MAX - 1,
                                  INT32_MIN + 1,
                                  1000000000,
                                  -1000000000};
    for (int width : {0, 1, 2, 3, 7, 12}) {
        for (std::int32_t value : edges)
            ASSERT_EQ(written_int(value, width), c_format_int(value, width)) << value;
        for (std::int32_t value = -2000; value <= 2000; ++value)
            ASSERT_EQ(written_int(value, width), c_format_int(value, width)) << value;
    }
    std::mt19937 generator(20261208);
    for (int i = 0; i < 200000; ++i) {
        auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(generator()));
        ASSERT_EQ(written_int(value, 3), c_format_int(value, 3)) << value;
    }
}

} // namespace
} // namespace quillmark
