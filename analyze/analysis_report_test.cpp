#include "analyze/analysis_report.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(Scientific, FourDigitsAndASignedExponent) {
    const std::pair<double, const char*> cases[] = {
        {0.5, "5.000e-01"},
        {1.0, "1.000e+00"},
        {1.23456e-20, "1.235e-20"},
        {9.9996e-5, "1.000e-04"},
        {0.0, "0"},
        {2.5e-310, "2.500e-310"},
        {0.01, "1.000e-02"},
        {7.4596e-9, "7.460e-09"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(scientific(value), text) << value;
}

} // namespace
} // namespace quillmark
