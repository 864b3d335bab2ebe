#include "analyze/item_statistics.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace quillmark {

namespace {

constexpr int NONE_SLOT = LETTER_OPTIONS;

long double square_root(long double value) {
    return static_cast<long double>(std::sqrt(static_cast<double>(value)));
}

// a * b - c * d of whole numbers, worked out exactly in 128 bits and
// rounded once to extended precision. Sums over a form's sheets are below
// 2^63 and counts below 2^31, so neither product nor the difference leaves
// 128 bits; a result below 2^64 comes out exact, as the products of
// extended precision gave it when every form had fewer sheets.
long double exact_cross(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    const __int128 value = static_cast<__int128>(a) * b - static_cast<__int128>(c) * d;
    return static_cast<long double>(value);
}

} // namespace

ByteArray::ByteArray(const std::vector<unsigned char>& bytes) {
    resize(bytes.size());
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

ByteArray::ByteArray(ByteArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteArray& ByteArray::operator=(ByteArray&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

ByteArray::~ByteArray() { std::free(data_); }

void ByteArray::resize(std::size_t size) {
    if (size > capacity_) {
        std::size_t capacity = capacity_ + capacity_ / 2;
        if (capacity < size) capacity = size;
        void* grown = std::realloc(data_, capacity);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<unsigned char*>(grown);
        capacity_ = capacity;
    }
    size_ = size;
}

std::vector<unsigned char> ByteArray::to_vector() const {
    return std::vector<unsigned char>(data_, data_ + size_);
}

std::vector<std::int32_t> total_scores(const ResponseMatrix& matrix) {
    std::vector<std::int32_t> totals(static_cast<std::size_t>(matrix.sheets), 0);
    const auto items = static_cast<std::size_t>(matrix.items);
    const unsigned char* cell = matrix.cells.data();
    for (std::int32_t s = 0; s < matrix.sheets; ++s) {
        std::int32_t total = 0;
        for (std::size_t i = 0; i < items; ++i) total += cell[i] >> 7;
        totals[s] = total;
        cell += items;
    }
    return totals;
}

TestStatistics test_statistics(const ResponseMatrix& matrix) {
    std::vector<std::int32_t> score_counts(static_cast<std::size_t>(matrix.items) + 1, 0);
    for (std::int32_t t : total_scores(matrix)) ++score_counts[t];
    const std::int32_t k = matrix.items;
    std::vector<std::int64_t> right(static_cast<std::size_t>(k), 0);
    const unsigned char* cell = matrix.cells.data();
    for (std::int64_t s = 0; s < matrix.sheets; ++s, cell += k)
        for (std::int32_t i = 0; i < k; ++i) right[i] += cell[i] >> 7;
    return totals_statistics(std::move(score_counts), right);
}

TestStatistics totals_statistics(std::vector<std::int32_t> score_counts,
                                 const std::vector<std::int64_t>& right) {
    TestStatistics result;
    result.items = static_cast<std::int32_t>(score_counts.size()) - 1;
    std::int64_t n = 0;
    for (std::int32_t c : score_counts) n += c;
    result.sheets = static_cast<std::int32_t>(n);
    result.score_counts = std::move(score_counts);

    // Sums of the totals and of their squares are whole numbers within 64
    // bits (below 2^31 sheets of at most 1000 questions: 2^51).
    std::int64_t sum = 0;
    std::int64_t sum_squares = 0;
    result.lowest = -1;
    for (std::int32_t t = 0; t <= result.items; ++t) {
        const std::int64_t c = result.score_counts[t];
        if (c == 0) continue;
        if (result.lowest < 0) result.lowest = t;
        result.highest = t;
        sum += c * t;
        sum_squares += c * t * t;
    }
    const auto count = static_cast<long double>(n);
    result.mean = static_cast<long double>(sum) / count;
    // n * sum of squares - sum^2 is exact, so a constant total gives exactly 0.
    result.variance = exact_cross(n, sum_squares, sum, sum) / (count * count);
    result.std_dev = square_root(result.variance);

    // The median: the middle total, or the mean of the middle pair, found
    // by walking the counts.
    const std::int64_t low_rank = (n - 1) / 2; // ranks from 0
    const std::int64_t high_rank = n / 2;
    std::int64_t seen = 0;
    std::int32_t low_value = -1;
    std::int32_t high_value = -1;
    for (std::int32_t t = 0; t <= result.items && high_value < 0; ++t) {
        seen += result.score_counts[t];
        if (low_value < 0 && seen > low_rank) low_value = t;
        if (seen > high_rank) high_value = t;
    }
    result.median = (static_cast<long double>(low_value) + high_value) / 2;

    if (result.variance > 0) {
        long double m3 = 0;
        long double m4 = 0;
        for (std::int32_t t = result.lowest; t <= result.highest; ++t) {
            const long double d = t - result.mean;
            const long double d2 = d * d;
            m3 += result.score_counts[t] * d2 * d;
            m4 += result.score_counts[t] * d2 * d2;
        }
        m3 /= count;
        m4 /= count;
        const long double m2 = result.variance;
        result.skewness = m3 / (m2 * square_root(m2));
        result.kurtosis = m4 / (m2 * m2) - 3;
    }

    // KR-20 = k / (k - 1) * (1 - sum of p*q / variance of the totals).
    const std::int32_t k = result.items;
    if (k >= 2 && result.variance > 0) {
        long double sum_pq = 0;
        for (std::int32_t i = 0; i < k; ++i) {
            const long double p = static_cast<long double>(right[i]) / count;
            sum_pq += p * (1 - p);
        }
        const long double kr20 =
            static_cast<long double>(k) / (k - 1) * (1 - sum_pq / result.variance);
        result.kr20 = kr20;
        // KR-20 cannot exceed 1 but may come out a hair above it in rounding.
        long double unreliable = 1 - kr20;
        if (unreliable < 0) unreliable = 0;
        result.sem = result.std_dev * square_root(unreliable);
    }
    return result;
}

std::int32_t group_size(std::int32_t sheets) {
    // 27% rounded half up, worked in integers so that no rounding of 0.27
    // moves a group's edge.
    return static_cast<std::int32_t>((static_cast<std::int64_t>(sheets) * 27 + 50) / 100);
}

std::vector<unsigned char> extreme_groups(const std::vector<std::int32_t>& totals,
                                          std::int32_t size) {
    std::vector<unsigned char> groups(totals.size(), 0);
    if (size <= 0 || totals.empty()) return groups;
    std::int32_t highest = 0;
    for (std::int32_t t : totals)
        if (t > highest) highest = t;
    std::vector<std::int64_t> counts(static_cast<std::size_t>(highest) + 1, 0);
    for (std::int32_t t : totals) ++counts[t];

    // The upper group holds every sheet above its edge total and, of the
    // sheets at the edge, as many as are left, first come first; likewise
    // the lower group below its edge.
    std::int32_t upper_edge = highest;
    std::int64_t above = 0;
    while (above + counts[upper_edge] < size) above += counts[upper_edge--];
    std::int64_t upper_at_edge = size - above;
    std::int32_t lower_edge = 0;
    std::int64_t below = 0;
    while (below + counts[lower_edge] < size) below += counts[lower_edge++];
    std::int64_t lower_at_edge = size - below;

    for (std::size_t s = 0; s < totals.size(); ++s) {
        const std::int32_t t = totals[s];
        unsigned char g = 0;
        if (t > upper_edge || (t == upper_edge && upper_at_edge-- > 0)) g |= UPPER_GROUP;
        if (t < lower_edge || (t == lower_edge && lower_at_edge-- > 0)) g |= LOWER_GROUP;
        groups[s] = g;
    }
    return groups;
}

std::optional<long double> point_biserial(std::int64_t n, std::int64_t chosen,
                                          std::int64_t sum_chosen, std::int64_t sum,
                                          std::int64_t sum_squares) {
    // Each moment scaled by n so that numerator and variances are whole
    // numbers, worked out exactly and rounded once.
    const long double covariance = exact_cross(n, sum_chosen, chosen, sum);
    const long double variance_x = exact_cross(n, chosen, chosen, chosen);
    const long double variance_r = exact_cross(n, sum_squares, sum, sum);
    if (!(variance_x > 0) || !(variance_r > 0)) return std::nullopt;
    return covariance / (square_root(variance_x) * square_root(variance_r));
}

ItemFlag item_flag(std::int32_t correct, std::int32_t sheets,
                   std::optional<long double> point_biserial) {
    if (correct == 0 || correct == sheets) return ItemFlag::no_variance;
    if (point_biserial && *point_biserial < 0) return ItemFlag::negative;
    // p > 0.90 and p < 0.30, compared in integers.
    const std::int64_t right = correct;
    const std::int64_t all = sheets;
    if (10 * right > TOO_EASY_TENTHS * all) return ItemFlag::too_easy;
    if (10 * right < TOO_HARD_TENTHS * all) return ItemFlag::too_hard;
    return ItemFlag::none;
}

char suspected_key(const std::vector<OptionStatistics>& options) {
    // The best accepted option: its highest point-biserial (an undefined
    // one stands in the way of nothing) and its highest upper-group share.
    std::optional<long double> best_key_correlation;
    long double best_key_upper = -1;
    for (const OptionStatistics& option : options) {
        if (!option.key) continue;
        if (option.point_biserial &&
            (!best_key_correlation || *option.point_biserial > *best_key_correlation))
            best_key_correlation = option.point_biserial;
        if (option.upper && *option.upper > best_key_upper) best_key_upper = *option.upper;
    }
    char suspect = 0;
    long double suspect_correlation = 0;
    for (const OptionStatistics& option : options) {
        if (option.key || option.option == 0 || !option.point_biserial || !option.upper) continue;
        const long double r = *option.point_biserial;
        if (r <= 0 || (best_key_correlation && r <= *best_key_correlation)) continue;
        if (*option.upper <= best_key_upper) continue;
        if (suspect == 0 || r > suspect_correlation) {
            suspect = option.option;
            suspect_correlation = r;
        }
    }
    return suspect;
}

void tally_answers(const ResponseMatrix& matrix, const std::int32_t* totals,
                   const unsigned char* groups, OptionTally* tallies, RightTally* rights,
                   bool groups_only) {
    const std::int64_t n = matrix.sheets;
    const auto k = static_cast<std::size_t>(matrix.items);
    // One pass over the answers: per question and option slot, how many
    // chose it, how many of them were right, their totals, and how many of
    // them stand in each group.
    const unsigned char* cell = matrix.cells.data();
    if (groups_only) {
        for (std::int64_t s = 0; s < n; ++s, cell += k) {
            if (groups[s] == 0) continue;
            const int upper = groups[s] & UPPER_GROUP;
            const int lower = (groups[s] & LOWER_GROUP) >> 1;
            OptionTally* question = tallies;
            for (std::size_t i = 0; i < k; ++i, question += OPTION_SLOTS) {
                const int code = cell[i] & OPTION_BITS;
                OptionTally& tally = question[code < LETTER_OPTIONS ? code : NONE_SLOT];
                tally.upper += upper;
                tally.lower += lower;
            }
        }
    }
    for (std::int64_t s = 0; s < n && !groups_only; ++s, cell += k) {
        const std::int64_t total = totals[s];
        const int upper = groups[s] & UPPER_GROUP;
        const int lower = (groups[s] & LOWER_GROUP) >> 1;
        OptionTally* question = tallies;
        for (std::size_t i = 0; i < k; ++i, question += OPTION_SLOTS) {
            const unsigned char answer = cell[i];
            const int code = answer & OPTION_BITS;
            OptionTally& tally = question[code < LETTER_OPTIONS ? code : NONE_SLOT];
            ++tally.count;
            tally.right += answer >> 7;
            tally.sum_total += total;
            tally.upper += upper;
            tally.lower += lower;
        }
    }

    for (std::size_t i = 0; i < k; ++i) {
        const OptionTally* question = tallies + i * OPTION_SLOTS;
        RightTally right;
        for (int slot = 0; slot < OPTION_SLOTS; ++slot) {
            // The grader counts an answer right only when it is accepted, so
            // a slot's right answers are all of its choosers or none of them,
            // but the sums need not assume it.
            const OptionTally& tally = question[slot];
            right.count += tally.right;
            if (tally.right == tally.count) {
                right.totals += tally.sum_total;
                right.upper += tally.upper;
                right.lower += tally.lower;
            }
        }
        // A slot with some right and some wrong choosers cannot come from the
        // grader; its right choosers' totals are then worked out again.
        bool mixed = false;
        for (int slot = 0; slot < OPTION_SLOTS; ++slot)
            mixed = mixed ||
                    (question[slot].right != 0 && question[slot].right != question[slot].count);
        if (mixed) {
            right.totals = right.upper = right.lower = 0;
            const unsigned char* row = matrix.cells.data() + i;
            for (std::int64_t s = 0; s < n; ++s, row += k) {
                if ((*row & RIGHT_BIT) == 0) continue;
                right.totals += totals[s];
                right.upper += groups[s] & UPPER_GROUP;
                right.lower += (groups[s] & LOWER_GROUP) >> 1;
            }
        }
        RightTally& sum = rights[i];
        if (!groups_only) {
            sum.count += right.count;
            sum.totals += right.totals;
        }
        sum.upper += right.upper;
        sum.lower += right.lower;
    }
}

ItemStatistics item_from_tallies(const OptionTally* question, const RightTally& right,
                                 std::uint32_t accepted, std::int64_t n, std::int32_t size,
                                 std::int64_t sum_totals, std::int64_t sum_total_squares) {
    ItemStatistics item;
    const auto count = static_cast<long double>(n);
    const std::int64_t rest_sum = sum_totals - right.count;
    // The sum of (t - x)^2 = t^2 - 2tx + x over the sheets (x is 0 or 1).
    const std::int64_t rest_squares = sum_total_squares - 2 * right.totals + right.count;

    item.correct = static_cast<std::int32_t>(right.count);
    item.difficulty = static_cast<long double>(right.count) / count;
    item.point_biserial =
        point_biserial(n, right.count, right.totals - right.count, rest_sum, rest_squares);
    if (size > 0) item.discrimination = static_cast<long double>(right.upper - right.lower) / size;

    for (int slot = 0; slot < OPTION_SLOTS; ++slot) {
        const OptionTally& tally = question[slot];
        // Accepted: listed as such, or scored right on some sheet.
        const bool key = slot < LETTER_OPTIONS && ((accepted >> slot & 1u) != 0 || tally.right > 0);
        if (tally.count == 0 && !key) continue;
        OptionStatistics option;
        option.option = slot < LETTER_OPTIONS ? static_cast<char>('A' + slot) : 0;
        option.key = key;
        option.count = static_cast<std::int32_t>(tally.count);
        option.share = static_cast<long double>(tally.count) / count;
        if (size > 0) {
            option.upper = static_cast<long double>(tally.upper) / size;
            option.lower = static_cast<long double>(tally.lower) / size;
        }
        // The choosers' rest scores: their totals less their right answers.
        option.point_biserial =
            point_biserial(n, tally.count, tally.sum_total - tally.right, rest_sum, rest_squares);
        item.options.push_back(option);
    }
    item.key_error = suspected_key(item.options);
    item.flag = item.key_error != 0
                    ? ItemFlag::key_error
                    : item_flag(item.correct, static_cast<std::int32_t>(n), item.point_biserial);
    return item;
}

std::vector<ItemStatistics> item_statistics(const ResponseMatrix& matrix) {
    QuestionTallies tallies;
    return item_statistics(matrix, tallies);
}

std::vector<ItemStatistics> item_statistics(const ResponseMatrix& matrix, QuestionTallies& sums) {
    const std::int64_t n = matrix.sheets;
    const auto k = static_cast<std::size_t>(matrix.items);
    std::vector<std::int32_t>& totals = sums.totals;
    totals = total_scores(matrix);
    const std::int32_t size = group_size(matrix.sheets);
    const std::vector<unsigned char> groups = extreme_groups(totals, size);

    std::int64_t sum_totals = 0;
    std::int64_t sum_total_squares = 0;
    for (std::int32_t t : totals) {
        sum_totals += t;
        sum_total_squares += static_cast<std::int64_t>(t) * t;
    }
    std::vector<OptionTally>& tallies = sums.options;
    std::vector<RightTally>& rights = sums.rights;
    tallies.assign(k * OPTION_SLOTS, OptionTally{});
    rights.assign(k, RightTally{});
    tally_answers(matrix, totals.data(), groups.data(), tallies.data(), rights.data());

    std::vector<ItemStatistics> items;
    items.reserve(k);
    for (std::size_t i = 0; i < k; ++i) {
        const std::uint32_t accepted = i < matrix.accepted.size() ? matrix.accepted[i] : 0;
        items.push_back(item_from_tallies(&tallies[i * OPTION_SLOTS], rights[i], accepted, n, size,
                                          sum_totals, sum_total_squares));
    }
    return items;
}

} // namespace quillmark
