// Classical test and item statistics of one form: the sheets' totals with
// their moments and median, KR-20 reliability and the standard error of
// measurement, and per question the difficulty, the corrected point-biserial
// correlation, the upper-lower discrimination index and a problem flag.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quillmark {

// Right or wrong for every sheet of a form on every scored question, one
// row per sheet: correct[sheet * items + item] is 1 when the sheet answered
// that question correctly, else 0.
struct ScoreMatrix {
    std::int32_t sheets = 0;
    std::int32_t items = 0;
    std::vector<unsigned char> correct;
};

// Statistics of the sheets' totals (scored questions answered correctly).
// The variance and standard deviation divide by the number of sheets, like
// the grader's statistics rows. `kr20` is absent with fewer than two
// questions or when every sheet has the same total; `sem` is absent with it.
struct TestStatistics {
    std::int32_t sheets = 0;
    std::int32_t items = 0;
    long double mean = 0;
    long double median = 0;
    long double variance = 0;
    long double std_dev = 0;
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    std::optional<long double> kr20;
    std::optional<long double> sem;
};

// Statistics of one question. `point_biserial` is absent when the question
// or the rest of the test has no variance; `discrimination` is absent when
// the groups are empty (a single sheet). `flag` is the likely problem, or an
// empty text.
struct ItemStatistics {
    std::int32_t correct = 0;
    long double difficulty = 0;
    std::optional<long double> point_biserial;
    std::optional<long double> discrimination;
    const char* flag = "";
};

// The flags, most serious first; a question gets only the first that holds.
extern const char* const FLAG_NO_VARIANCE;   // every sheet right, or every sheet wrong
extern const char* const FLAG_NEGATIVE;      // the corrected point-biserial is below 0
extern const char* const FLAG_TOO_EASY;      // more than 90% right
extern const char* const FLAG_TOO_HARD;      // fewer than 30% right

// Each sheet's total: its correct answers over all items.
std::vector<std::int32_t> total_scores(const ScoreMatrix& matrix);

// The totals' statistics and reliability. Expects at least one sheet.
TestStatistics test_statistics(const ScoreMatrix& matrix);

// Size of each of the upper and lower groups: 27% of the sheets, rounded
// half up (0 for a single sheet, when the two groups would be the same).
std::int32_t group_size(std::int32_t sheets);

// The indices of the `size` sheets with the highest totals (`upper`, highest
// first) and of the `size` with the lowest (`lower`, lowest first). Of equal
// totals at a group's edge, the sheet that comes first is taken.
void extreme_groups(const std::vector<std::int32_t>& totals, std::int32_t size,
                    std::vector<std::int32_t>& upper, std::vector<std::int32_t>& lower);

// The flag of a question answered correctly by `correct` of `sheets` sheets
// with the given corrected point-biserial (absent: not computable).
const char* item_flag(std::int32_t correct, std::int32_t sheets,
                      std::optional<long double> point_biserial);

// One record per item, in item order. Expects at least one sheet.
std::vector<ItemStatistics> item_statistics(const ScoreMatrix& matrix);

} // namespace quillmark
