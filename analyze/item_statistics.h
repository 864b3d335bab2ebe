// Classical test and item statistics of one form: the sheets' totals with
// their moments and median, KR-20 reliability and the standard error of
// measurement, per question the difficulty, the corrected point-biserial
// correlation, the upper-lower discrimination index and a problem flag, and
// per option of a question how often it was chosen, by whom, and how its
// choice goes with the rest of the test. Totals are small whole numbers, so
// the median and the upper and lower groups come from counting, not sorting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace quillmark {

// The answer a sheet gave to one question, in one byte: the option (0 to 24
// for the letters A to Y, OTHER_MARK for any other mark, NO_MARK for none)
// in the low bits and RIGHT_BIT when the grader counted it right.
constexpr unsigned char OPTION_BITS = 0x1f;
constexpr unsigned char OTHER_MARK = 25; // '*', a digit, 'Z', any other byte
constexpr unsigned char NO_MARK = 26;    // '-' or beyond the end of the responses
constexpr unsigned char RIGHT_BIT = 0x80;
constexpr int LETTER_OPTIONS = 25;    // A to Y
constexpr char LAST_KEY_LETTER = 'P'; // a key of the grader accepts A to P only

// The option code of one character of a Responses cell.
inline unsigned char option_code(unsigned char response) {
    if (response >= 'A' && response < 'A' + LETTER_OPTIONS)
        return static_cast<unsigned char>(response - 'A');
    return response == '-' ? NO_MARK : OTHER_MARK;
}

// A growable array of bytes on the C heap. Growing it reallocates, which
// for large blocks remaps pages instead of copying them on systems that can
// (Linux), so that a table of many megabytes grows without a second copy of
// itself.
class ByteArray {
public:
    ByteArray() = default;
    ByteArray(const std::vector<unsigned char>& bytes);
    ByteArray(ByteArray&& other) noexcept;
    ByteArray& operator=(ByteArray&& other) noexcept;
    ByteArray(const ByteArray&) = delete;
    ByteArray& operator=(const ByteArray&) = delete;
    ~ByteArray();

    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The new bytes past the old size are undefined. Ends the process on
    // exhausted memory, as the standard containers do.
    void resize(std::size_t size);
    std::vector<unsigned char> to_vector() const;

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Every sheet of a form on every scored question, one row per sheet:
// cells[sheet * items + item] is the answer byte above. `accepted[item]` has
// bit k set when letter 'A' + k is listed as an accepted answer of the
// question; a letter that some sheet was scored right for is accepted too.
struct ResponseMatrix {
    std::int32_t sheets = 0;
    std::int32_t items = 0;
    ByteArray cells;
    std::vector<std::uint32_t> accepted;
};

// Statistics of the sheets' totals (scored questions answered correctly).
// Moments divide by the number of sheets, like the grader's statistics rows.
// `kr20` is absent with fewer than two questions or when every sheet has the
// same total, `sem` with it; skewness (m3 / m2^1.5) and excess kurtosis
// (m4 / m2^2 - 3) are absent when every sheet has the same total.
// `score_counts[t]` is the number of sheets with total t, for t from 0 to
// the number of questions.
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
    std::optional<long double> skewness;
    std::optional<long double> kurtosis;
    std::vector<std::int32_t> score_counts;
};

// One option of a question: a letter ('A' to 'Y') or 0 for "none" (no
// mark or a mark that is not a letter A to Y). Count and the shares of all
// sheets and of the upper and lower groups choosing it; the point-biserial
// of choosing it against the rest score, absent where undefined.
struct OptionStatistics {
    char option = 0;
    bool key = false;
    std::int32_t count = 0;
    long double share = 0;
    std::optional<long double> upper;
    std::optional<long double> lower;
    std::optional<long double> point_biserial;
};

// The likely problem of a question, most serious first; a question gets
// only the first that holds. A key error comes with the letter it points to
// (`ItemStatistics::key_error`); the others are fixed by the figures alone.
enum class ItemFlag {
    none,
    key_error,   // a letter the key does not accept looks like the answer
    no_variance, // every sheet right, or every sheet wrong
    negative,    // the corrected point-biserial is below 0
    too_easy,    // more than 90% right
    too_hard,    // fewer than 30% right
};

// The flags, most serious first.
constexpr ItemFlag ITEM_FLAGS[] = {ItemFlag::key_error, ItemFlag::no_variance, ItemFlag::negative,
                                   ItemFlag::too_easy, ItemFlag::too_hard};

// Statistics of one question. `point_biserial` is absent when the question
// or the rest of the test has no variance; `discrimination` is absent when
// the groups are empty (a single sheet). `flag` is the likely problem;
// `key_error` is the letter a possible key error points to when `flag` is
// ItemFlag::key_error, and 0 otherwise.
struct ItemStatistics {
    std::int32_t correct = 0;
    long double difficulty = 0;
    std::optional<long double> point_biserial;
    std::optional<long double> discrimination;
    ItemFlag flag = ItemFlag::none;
    char key_error = 0;
    std::vector<OptionStatistics> options;
};

// The difficulties at which "too easy" (above) and "too hard" (below) begin,
// in tenths: a question is too easy when 10 * right > TOO_EASY_TENTHS *
// sheets, too hard when 10 * right < TOO_HARD_TENTHS * sheets. Figures that
// show where the flags begin (the page's guide lines) take them from here.
constexpr std::int32_t TOO_EASY_TENTHS = 9;
constexpr std::int32_t TOO_HARD_TENTHS = 3;

// Each sheet's total: its right answers over all items.
std::vector<std::int32_t> total_scores(const ResponseMatrix& matrix);

// The totals' statistics and reliability. Expects at least one sheet.
TestStatistics test_statistics(const ResponseMatrix& matrix);

// The same from what test_statistics counts in the table of answers: the
// number of sheets at each total (`score_counts[t]`, t from 0 to the number
// of items) and the number of sheets right on each item (`right`).
TestStatistics totals_statistics(std::vector<std::int32_t> score_counts,
                                 const std::vector<std::int64_t>& right);

// Size of each of the upper and lower groups: 27% of the sheets, rounded
// half up (0 for a single sheet, when the two groups would be the same).
std::int32_t group_size(std::int32_t sheets);

// Group membership of every sheet: bit 1 when it is among the `size` sheets
// with the highest totals, bit 2 when among the `size` with the lowest. Of
// equal totals at a group's edge, the sheets that come first are taken. A
// sheet may be in both groups when totals tie across the middle.
constexpr unsigned char UPPER_GROUP = 1;
constexpr unsigned char LOWER_GROUP = 2;
std::vector<unsigned char> extreme_groups(const std::vector<std::int32_t>& totals,
                                          std::int32_t size);

// The Pearson correlation, population moments, between a 0/1 choice and a
// score over n sheets, from the sums: `chosen` sheets chose, the choosers'
// scores add up to `sum_chosen`, all scores to `sum` and their squares to
// `sum_squares`. Absent when the choice or the score has no variance.
std::optional<long double> point_biserial(std::int64_t n, std::int64_t chosen,
                                          std::int64_t sum_chosen, std::int64_t sum,
                                          std::int64_t sum_squares);

// The flag of a question answered correctly by `correct` of `sheets` sheets
// with the given corrected point-biserial (absent: not computable), when no
// key error is suspected.
ItemFlag item_flag(std::int32_t correct, std::int32_t sheets,
                   std::optional<long double> point_biserial);

// The letter a possible key error points to among a question's options, or
// 0: a letter the key does not accept whose point-biserial is positive and
// above that of every accepted option, chosen by more of the upper group
// than any accepted option; of several, the highest point-biserial.
char suspected_key(const std::vector<OptionStatistics>& options);

// One record per item, in item order, with its option rows: a row for every
// letter chosen at least once or accepted, in letter order, then "none" when
// any sheet gave no letter A to Y. Expects at least one sheet.
std::vector<ItemStatistics> item_statistics(const ResponseMatrix& matrix);

// item_statistics in two steps, for answers held in more than one table:
// what one pass over the answers adds up per question, then each
// question's record from those sums.
//
// The option slots of a question: the 25 letters A to Y, then "none". Per
// slot, how many sheets chose it, how many of them were right, their
// totals and how many of them stand in each group. Counts fit 32 bits (the
// report's Orders are 32-bit numbers running 1, 2, 3, ..., so a report holds
// fewer than 2^31 sheets over all its forms); the sum of totals may not.
constexpr int OPTION_SLOTS = LETTER_OPTIONS + 1;
struct OptionTally {
    std::int64_t sum_total = 0;
    std::int32_t count = 0;
    std::int32_t right = 0;
    std::int32_t upper = 0;
    std::int32_t lower = 0;
};

// The same over the sheets right on a question.
struct RightTally {
    std::int64_t count = 0;
    std::int64_t totals = 0;
    std::int64_t upper = 0;
    std::int64_t lower = 0;
};

// Adds a table's answers to the sums of its questions: sheet s has the
// total totals[s] and the group bits groups[s] (UPPER_GROUP, LOWER_GROUP);
// question i adds to tallies[i * OPTION_SLOTS + slot] and rights[i]. With
// `groups_only`, only the counts of the upper and lower groups are added,
// from the sheets in a group: for sums that a pass over the same answers
// with the same totals has made but for other groups.
void tally_answers(const ResponseMatrix& matrix, const std::int32_t* totals,
                   const unsigned char* groups, OptionTally* tallies, RightTally* rights,
                   bool groups_only = false);

// The sums of a table's questions that item_statistics works out, and the
// sheets' totals they were worked out with.
struct QuestionTallies {
    std::vector<OptionTally> options; // OPTION_SLOTS per question
    std::vector<RightTally> rights;
    std::vector<std::int32_t> totals;
};

// item_statistics, handing back the sums too.
std::vector<ItemStatistics> item_statistics(const ResponseMatrix& matrix, QuestionTallies& tallies);

// A question's record from its sums over n sheets (at least one): its
// OPTION_SLOTS tallies, its right answers, the letters listed as accepted,
// the size of each group and the sums of all sheets' totals and of their
// squares.
ItemStatistics item_from_tallies(const OptionTally* tallies, const RightTally& right,
                                 std::uint32_t accepted, std::int64_t n, std::int32_t size,
                                 std::int64_t sum_totals, std::int64_t sum_total_squares);

} // namespace quillmark
