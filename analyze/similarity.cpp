#include "analyze/similarity.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <thread>

#if defined(__SSE2__) && (!defined(QUILLMARK_SIMD) || QUILLMARK_SIMD)
#include <emmintrin.h>
#if defined(__GNUC__) && defined(__x86_64__)
// The screen's pair loop in 32-byte steps where the processor has them.
#define QUILLMARK_AVX2 1
#include <immintrin.h>
#endif
#endif

namespace quillmark {

namespace {

constexpr int CODES_PER_ITEM = 32; // the option bits of an answer byte
// The most scores times options whose chances and weights are kept in a
// table (two figures of each for own answer or not: 16 MB at most).
constexpr std::size_t CHANCE_TABLE = std::size_t{1} << 19;
// Pseudo-sheets (each of the weight of a sheet at the copier's own score)
// spread over an item's options by their shares on the whole form: no
// option that some sheet gave has a chance of 0, and a rare option's chance
// is not read from a handful of sheets alone. Students of one score still
// differ in which wrong answers draw them, so that two of them share wrong
// answers more often than their score's chances say; with 2 pseudo-sheets
// clean simulated cohorts had about 1.1 to 1.3 times the pairs an exact
// model allows below tails of 1e-6 to 1e-8 (more the further out), with 10
// about half of them at every level, at a small cost in copiers found.
constexpr double PRIOR_SHEETS = 10.0;
// Grid cells of the tails: the reported weighted tail puts the observed
// agreement at about FINE_CELLS cells; the bounds per source spread the
// whole range of the agreement over COARSE_CELLS, and a pair's own lower
// bound puts its observed agreement at PAIR_CELLS.
constexpr double FINE_CELLS = 4096;
constexpr double COARSE_CELLS = 2048;
constexpr double PAIR_CELLS = 256;
// Sources screened together against every copier of a family, so that
// their rows stay in the processor's cache.
constexpr std::size_t SOURCE_BLOCK = 256;
// Copier scores are bounded together in about this many bands.
constexpr std::int32_t SCORE_BANDS = 20;
// Relative margin that covers rounding in the comparisons of the bounds.
constexpr double MARGIN = 1e-9;

// The weights as whole numbers of grid steps, rounded up or down, and the
// tail P(sum >= threshold) by a dynamic programme over the items in which
// every sum at or above the threshold is one absorbing cell. The absorbed
// chance only grows from item to item, so once it exceeds `stop` it is
// returned as it stands: a value above `stop` that the whole tail exceeds.
double grid_tail(const double* p, const double* w, std::size_t n, double observed, double step,
                 bool up, std::vector<double>& work, double stop = 2.0) {
    if (!(observed > 0)) return 1.0;
    const double target = std::ceil(observed / step * (up ? 1 - MARGIN : 1 + MARGIN));
    if (target <= 0) return 1.0;
    if (target > 1e8) return up ? 1.0 : 0.0; // a grid this fine is never asked for
    const auto t = static_cast<std::size_t>(target);
    work.assign(t + 1 + n, 0.0);
    double* cell = work.data();
    double* unit = work.data() + t + 1; // each item's weight in steps, at most t
    double remaining = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double exact = w[i] / step;
        double u = up ? std::floor(exact) + 1 : std::floor(exact * (1 - MARGIN));
        if (u < 0) u = 0;
        if (u > target) u = target;
        unit[i] = u;
        remaining += u;
    }
    cell[0] = 1.0;
    std::size_t high = 0; // the highest sum below t reached so far
    for (std::size_t i = 0; i < n; ++i) {
        const auto u = static_cast<std::size_t>(unit[i]);
        remaining -= unit[i];
        if (u == 0 || p[i] <= 0) continue;
        const double q = p[i];
        const double r = 1 - q;
        // Sums below t - u - remaining can no longer reach t.
        const double floor_sum = target - unit[i] - remaining;
        const std::size_t low = floor_sum > 0 ? static_cast<std::size_t>(floor_sum) : 0;
        for (std::size_t x = high + 1; x-- > low;) {
            const double v = cell[x];
            if (v == 0) continue;
            const std::size_t y = x + u;
            cell[y < t ? y : t] += v * q;
            cell[x] = v * r;
        }
        high = high + u < t ? high + u : t - 1;
        if (cell[t] > stop) break;
    }
    return cell[t] < 1 ? cell[t] : 1.0;
}

} // namespace

#if defined(QUILLMARK_AVX2)
namespace {

// From byte 32 - r on, the last r bytes of a 32-byte step: loaded from
// KEEP_LAST + r.
const unsigned char KEEP_LAST[64] = {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                     0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF};

// identical_answers for n >= 32 in 32-byte steps; the last step reads the
// 32 bytes that end at n and keeps only those not yet counted.
__attribute__((target("avx2"))) void
identical_answers_avx2(const unsigned char* x, const unsigned char* y, const unsigned char* units,
                       std::size_t n, std::int32_t& matches, std::int64_t& sum,
                       std::uint64_t* mask) {
    for (std::size_t w = 0; w < (n + 63) / 64; ++w) mask[w] = 0;
    const __m256i bits = _mm256_set1_epi8(static_cast<char>(OPTION_BITS));
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero, counts = zero;
    const __m256i all = _mm256_cmpeq_epi8(zero, zero);
    // Each step takes the 32 bytes at `at`, those of them `keep` marks.
    for (std::size_t i = 0; i < n; i += 32) {
        const std::size_t at = i + 32 <= n ? i : n - 32;
        const std::size_t rest = n - i < 32 ? n - i : 32;
        const __m256i keep =
            rest == 32 ? all
                       : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(KEEP_LAST + rest));
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + at));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + at));
        const __m256i same = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_and_si256(_mm256_xor_si256(a, b), bits), zero), keep);
        counts = _mm256_add_epi64(counts, _mm256_sad_epu8(_mm256_sub_epi8(zero, same), zero));
        const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + at));
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(_mm256_and_si256(same, u), zero));
        const std::uint64_t found =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(same)) >> (32 - rest);
        mask[i / 64] |= found << (i % 64);
        if (i % 64 + rest > 64) mask[i / 64 + 1] |= found >> (64 - i % 64);
    }
    alignas(32) std::int64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sums);
    sum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), counts);
    matches = static_cast<std::int32_t>(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
}

// next[x] = dist[x] * r + dist[x - u] * q for x from `from` to `to`.
__attribute__((target("avx2"))) void mix_avx2(const double* dist, double* next, std::size_t u,
                                              std::size_t from, std::size_t to, double q,
                                              double r) {
    const __m256d vq = _mm256_set1_pd(q);
    const __m256d vr = _mm256_set1_pd(r);
    std::size_t x = from;
    for (; x + 4 <= to + 1; x += 4) {
        const __m256d stay = _mm256_mul_pd(_mm256_loadu_pd(dist + x), vr);
        const __m256d move = _mm256_mul_pd(_mm256_loadu_pd(dist + x - u), vq);
        _mm256_storeu_pd(next + x, _mm256_add_pd(stay, move));
    }
    for (; x <= to; ++x) next[x] = dist[x] * r + dist[x - u] * q;
}

const bool HAS_AVX2 = __builtin_cpu_supports("avx2");

} // namespace
#endif

void identical_answers(const unsigned char* x, const unsigned char* y, const unsigned char* units,
                       std::size_t n, std::int32_t& matches, std::int64_t& sum,
                       std::uint64_t* mask) {
#if defined(QUILLMARK_AVX2)
    if (n >= 32 && HAS_AVX2) {
        identical_answers_avx2(x, y, units, n, matches, sum, mask);
        return;
    }
#endif
    std::fill(mask, mask + (n + 63) / 64, std::uint64_t{0});
    std::int64_t count = 0;
    std::int64_t total = 0;
    std::size_t i = 0;
#if defined(__SSE2__) && (!defined(QUILLMARK_SIMD) || QUILLMARK_SIMD)
    const __m128i bits = _mm_set1_epi8(static_cast<char>(OPTION_BITS));
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero, counts = zero;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i));
        const __m128i same = _mm_cmpeq_epi8(_mm_and_si128(_mm_xor_si128(a, b), bits), zero);
        const auto found = static_cast<std::uint64_t>(_mm_movemask_epi8(same));
        mask[i / 64] |= found << (i % 64);
        // 0 - (-1) is 1 for each identical answer: summed as bytes.
        counts = _mm_add_epi64(counts, _mm_sad_epu8(_mm_sub_epi8(zero, same), zero));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_and_si128(same, u), zero));
    }
    total = _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    count = _mm_cvtsi128_si32(counts) + _mm_cvtsi128_si32(_mm_srli_si128(counts, 8));
#endif
    for (; i < n; ++i)
        if (((x[i] ^ y[i]) & OPTION_BITS) == 0) {
            ++count;
            total += units[i];
            mask[i / 64] |= std::uint64_t{1} << (i % 64);
        }
    matches = static_cast<std::int32_t>(count);
    sum = total;
}

bool has_run(const std::uint64_t* mask, std::size_t n, std::int32_t length,
             std::vector<std::uint64_t>& work) {
    if (length <= 0) return true;
    if (static_cast<std::size_t>(length) > n) return false;
    // After each step a bit stays set where a run of `have` begins.
    if (n <= 128) {
        std::uint64_t low = mask[0], high = n > 64 ? mask[1] : 0;
        for (std::int32_t have = 1; have < length && (low | high);) {
            const std::int32_t k = std::min({have, length - have, 63});
            low &= (low >> k) | (high << (64 - k));
            high &= high >> k;
            have += k;
        }
        return (low | high) != 0;
    }
    const std::size_t words = (n + 63) / 64;
    work.assign(mask, mask + words);
    bool any = true;
    for (std::int32_t have = 1; have < length && any;) {
        const std::int32_t k = std::min({have, length - have, 63});
        any = false;
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t above = w + 1 < words ? work[w + 1] << (64 - k) : 0;
            work[w] &= (work[w] >> k) | above;
            any = any || work[w] != 0;
        }
        have += k;
    }
    return any;
}

double match_weight(double p) { return std::log1p(COPY_RATE / ((1 - COPY_RATE) * p)); }

double weighted_tail_upper(const double* p, const double* w, std::size_t n, double observed,
                           double step, std::vector<double>& work) {
    return grid_tail(p, w, n, observed, step, true, work);
}

double weighted_tail_lower(const double* p, const double* w, std::size_t n, double observed,
                           double step, std::vector<double>& work, double stop) {
    return grid_tail(p, w, n, observed, step, false, work, stop);
}

double run_tail(const double* p, std::size_t n, std::int32_t length, std::vector<double>& work,
                double stop) {
    if (length <= 0) return 1.0;
    if (static_cast<std::size_t>(length) > n) return 0.0;
    const auto l = static_cast<std::size_t>(length);
    // cell[r]: no run of `length` yet and the current run is r long.
    work.assign(l, 0.0);
    double* cell = work.data();
    cell[0] = 1.0;
    double reached = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double q = p[i];
        reached += cell[l - 1] * q;
        double broken = 0;
        for (std::size_t r = l - 1; r > 0; --r) {
            broken += cell[r];
            cell[r] = cell[r - 1] * q;
        }
        cell[0] = (broken + cell[0]) * (1 - q);
        if (reached > stop) break;
    }
    return reached < 1 ? reached : 1.0;
}

namespace {

// The shift of every item's log-odds of a right answer (chances `rights`)
// after which the right answers expected add up to `target`: Newton's steps
// kept inside a bracket that halving narrows (the sum grows with the shift),
// within +-40, where chances of 0 and 1 have no shift to reach them.
double right_shift(const std::vector<double>& rights, double target) {
    double low = -40, high = 40, shift = 0;
    for (int step = 0; step < 100; ++step) {
        const double odds = std::exp(shift);
        double sum = 0, slope = 0;
        for (double r : rights) {
            const double c0 = std::min(std::max(r, 0.0), 1.0);
            const double c = c0 * odds / (1 - c0 + c0 * odds);
            sum += c;
            slope += c * (1 - c);
        }
        const double miss = sum - target;
        if (std::fabs(miss) <= 1e-12 * (1 + target)) break;
        (miss < 0 ? low : high) = shift;
        double next = slope > 0 ? shift - miss / slope : (low + high) / 2;
        if (!(next > low && next < high)) next = (low + high) / 2;
        if (high - low < 1e-13) break;
        shift = next;
    }
    return shift;
}

} // namespace

ChoiceModel::ChoiceModel(const ResponseMatrix& matrix) : items_(matrix.items), matrix_(&matrix) {
    const auto sheets = static_cast<std::size_t>(matrix.sheets);
    const auto items = static_cast<std::size_t>(matrix.items);
    const std::size_t top = items; // the highest score
    scores_ = total_scores(matrix);
    leave_out_ = matrix.sheets >= LEAVE_OUT_SHEETS;

    // The codes each item received, one slot each.
    std::vector<std::int64_t> given(items * CODES_PER_ITEM, 0);
    std::vector<bool> right(items * CODES_PER_ITEM, false);
    const unsigned char* cells = matrix.cells.data();
    for (std::size_t s = 0; s < sheets; ++s)
        for (std::size_t i = 0; i < items; ++i) {
            const unsigned char cell = cells[s * items + i];
            ++given[i * CODES_PER_ITEM + (cell & OPTION_BITS)];
            if (cell & RIGHT_BIT) right[i * CODES_PER_ITEM + (cell & OPTION_BITS)] = true;
        }
    slot_.assign(items * CODES_PER_ITEM, -1);
    std::vector<double> share;
    std::vector<std::size_t> slot_item;
    std::vector<bool> slot_right;
    std::vector<unsigned char> slot_codes;
    for (std::size_t k = 0; k < given.size(); ++k)
        if (given[k] > 0) {
            slot_[k] = codes_++;
            share.push_back(static_cast<double>(given[k]) / static_cast<double>(sheets));
            slot_item.push_back(k / CODES_PER_ITEM);
            slot_right.push_back(right[k]);
            slot_codes.push_back(static_cast<unsigned char>(k % CODES_PER_ITEM));
        }
    const auto codes = static_cast<std::size_t>(codes_);

    // Sheets of each score, and of each score and slot.
    std::vector<std::int64_t> at_score(top + 1, 0);
    std::vector<std::int64_t> chosen((top + 1) * codes, 0);
    for (std::size_t s = 0; s < sheets; ++s) {
        const auto score = static_cast<std::size_t>(scores_[s]);
        ++at_score[score];
        for (std::size_t i = 0; i < items; ++i)
            ++chosen[score * codes +
                     static_cast<std::size_t>(
                         slot_[i * CODES_PER_ITEM + (cells[s * items + i] & OPTION_BITS)])];
    }

    // Each score's neighbourhood: the narrowest window s-h..s+h (h >= 1)
    // that holds POOL_SHEETS sheets, or every sheet.
    std::vector<std::int64_t> before(top + 2, 0);
    for (std::size_t x = 0; x <= top; ++x) before[x + 1] = before[x] + at_score[x];
    const std::int64_t wanted =
        std::min<std::int64_t>(POOL_SHEETS, static_cast<std::int64_t>(sheets));
    std::vector<std::int64_t> half(top + 1, 1);
    for (std::size_t s = 0; s <= top; ++s) {
        std::int64_t h = 1;
        for (;; ++h) {
            const std::int64_t lo = std::max<std::int64_t>(0, static_cast<std::int64_t>(s) - h);
            const std::int64_t hi = std::min<std::int64_t>(static_cast<std::int64_t>(top),
                                                           static_cast<std::int64_t>(s) + h);
            if (before[hi + 1] - before[lo] >= wanted ||
                (lo == 0 && hi == static_cast<std::int64_t>(top)))
                break;
        }
        half[s] = h;
    }

    // The triangular kernel sum_{|d| <= h} (h + 1 - |d|) c[s + d] of a
    // column c, from its running sums: C(x) = c[0] + ... + c[x] and
    // D(x) = C(0) + ... + C(x), so that the sum is
    // D(s + h) - 2 D(s - 1) + D(s - h - 2).
    std::vector<std::int64_t> run_c(top + 1), run_d(top + 1);
    auto smooth = [&](auto column, std::vector<double>& out, std::size_t stride, std::size_t offset,
                      double prior) {
        std::int64_t c = 0, d = 0;
        for (std::size_t x = 0; x <= top; ++x) {
            c += column(x);
            d += c;
            run_c[x] = c;
            run_d[x] = d;
        }
        const std::int64_t last = static_cast<std::int64_t>(top);
        auto big_d = [&](std::int64_t x) -> std::int64_t {
            if (x < 0) return 0;
            if (x <= last) return run_d[static_cast<std::size_t>(x)];
            return run_d[top] + (x - last) * run_c[top];
        };
        for (std::size_t s = 0; s <= top; ++s) {
            const auto si = static_cast<std::int64_t>(s);
            const std::int64_t h = half[s];
            const std::int64_t sum = big_d(si + h) - 2 * big_d(si - 1) + big_d(si - h - 2);
            out[s * stride + offset] = static_cast<double>(sum) + prior;
        }
    };
    weight_.assign((top + 1) * codes, 0.0);
    total_.assign(top + 1, 0.0);
    own_.assign(top + 1, 0.0);
    smooth([&](std::size_t x) { return at_score[x]; }, total_, 1, 0, 0.0);
    for (std::size_t k = 0; k < codes; ++k)
        smooth([&](std::size_t x) { return chosen[x * codes + k]; }, weight_, codes, k, 0.0);
    for (std::size_t s = 0; s <= top; ++s) {
        const double prior = PRIOR_SHEETS * static_cast<double>(half[s] + 1);
        total_[s] += prior;
        for (std::size_t k = 0; k < codes; ++k) weight_[s * codes + k] += prior * share[k];
    }
    if (leave_out_)
        for (std::size_t s = 0; s <= top; ++s) own_[s] = static_cast<double>(half[s] + 1);

    // A copier's number right is known: the chances of a score are tilted
    // (one shift of every item's log-odds of a right answer) until the right
    // answers they expect add up to the score. Without that, the window of
    // neighbouring scores pulls the chances toward the scores beside it, most
    // at the top and bottom of the scale, where it lies on one side: two
    // sheets of nearly full marks then agree on more right answers than the
    // window expects, as they must. A full or empty score is aimed half an
    // answer inside, so that every chance stays finite.
    tilt_.assign((top + 1) * items * 2, 1.0);
    std::vector<double> rights(items);
    for (std::size_t s = 0; s <= top; ++s) {
        std::fill(rights.begin(), rights.end(), 0.0);
        for (std::size_t k = 0; k < codes; ++k)
            if (slot_right[k]) rights[slot_item[k]] += weight_[s * codes + k] / total_[s];
        const double target =
            std::min(std::max(static_cast<double>(s), 0.5), static_cast<double>(items) - 0.5);
        const double odds = std::exp(right_shift(rights, target));
        for (std::size_t i = 0; i < items; ++i) {
            const double r = std::min(rights[i], 1.0);
            if (r <= 0 || r >= 1) continue;
            const double tilted = r * odds / (1 - r + r * odds);
            tilt_[(s * items + i) * 2] = (1 - tilted) / (1 - r);
            tilt_[(s * items + i) * 2 + 1] = tilted / r;
        }
    }
    slot_right_ = std::move(slot_right);

    // Every chance and weight of the scores some sheet has, when that table
    // stays within a few megabytes.
    if ((top + 1) * codes <= CHANCE_TABLE) {
        chances_.assign((top + 1) * codes * 2, 0.0);
        weights_.assign((top + 1) * codes * 2, 0.0);
        for (std::size_t s = 0; s <= top; ++s) {
            if (at_score[s] == 0) continue;
            for (std::size_t k = 0; k < codes; ++k)
                for (std::size_t own = 0; own < 2; ++own) {
                    const double chance =
                        chance_at(static_cast<std::int32_t>(s),
                                  static_cast<std::int32_t>(slot_item[k]), slot_codes[k], own != 0);
                    chances_[(s * codes + k) * 2 + own] = chance;
                    weights_[(s * codes + k) * 2 + own] = match_weight(chance);
                }
        }
    }
}

double ChoiceModel::chance_and_weight(std::int32_t score, std::int32_t item, unsigned char code,
                                      bool own, double& weight) const {
    if (chances_.empty()) {
        const double chance = chance_at(score, item, code, own);
        weight = match_weight(chance);
        return chance;
    }
    const std::size_t at =
        (static_cast<std::size_t>(score) * static_cast<std::size_t>(codes_) +
         static_cast<std::size_t>(
             slot_[static_cast<std::size_t>(item) * CODES_PER_ITEM + (code & OPTION_BITS)])) *
            2 +
        (own ? 1 : 0);
    weight = weights_[at];
    return chances_[at];
}

std::int32_t ChoiceModel::slot(std::int32_t item, unsigned char code) const {
    return slot_[static_cast<std::size_t>(item) * CODES_PER_ITEM + (code & OPTION_BITS)];
}

double ChoiceModel::chance_at(std::int32_t score, std::int32_t item, unsigned char code,
                              bool own) const {
    const auto s = static_cast<std::size_t>(score);
    const std::int32_t slot =
        slot_[static_cast<std::size_t>(item) * CODES_PER_ITEM + (code & OPTION_BITS)];
    if (slot < 0) return 0.0;
    const std::size_t at = s * static_cast<std::size_t>(codes_) + static_cast<std::size_t>(slot);
    const double tilt =
        tilt_[(s * static_cast<std::size_t>(items_) + static_cast<std::size_t>(item)) * 2 +
              (slot_right_[static_cast<std::size_t>(slot)] ? 1 : 0)];
    const double chance = (weight_[at] - (own ? own_[s] : 0.0)) / (total_[s] - own_[s]) * tilt;
    return chance < 1 ? chance : 1.0;
}

double ChoiceModel::chance(std::int32_t copier, std::int32_t item, unsigned char code) const {
    const unsigned char mine =
        matrix_->cells.data()[static_cast<std::size_t>(copier) * static_cast<std::size_t>(items_) +
                              static_cast<std::size_t>(item)] &
        OPTION_BITS;
    return chance_at(score(copier), item, code, mine == (code & OPTION_BITS));
}

namespace {

// Everything one pair's evidence needs but its tails, and the null chances
// and weights of its items in `p` and `w`.
PairEvidence pair_figures(const ChoiceModel& model, const ResponseMatrix& matrix,
                          std::int32_t copier, std::int32_t source, std::vector<double>& p,
                          std::vector<double>& w) {
    const auto items = static_cast<std::size_t>(matrix.items);
    const unsigned char* mine = matrix.cells.data() + static_cast<std::size_t>(copier) * items;
    const unsigned char* theirs = matrix.cells.data() + static_cast<std::size_t>(source) * items;
    PairEvidence e;
    e.copier = copier;
    e.source = source;
    e.copier_score = model.score(copier);
    e.source_score = model.score(source);
    p.resize(items);
    w.resize(items);
    std::int32_t current = 0;
    for (std::size_t i = 0; i < items; ++i) {
        const unsigned char code = theirs[i] & OPTION_BITS;
        const bool match = (mine[i] & OPTION_BITS) == code;
        const double chance = model.chance_and_weight(e.copier_score, static_cast<std::int32_t>(i),
                                                      code, match, w[i]);
        p[i] = chance;
        e.expected_matches += chance;
        const bool wrong = (theirs[i] & RIGHT_BIT) == 0;
        if (wrong) e.expected_identical_wrong += chance;
        if (match) {
            ++e.matches;
            e.identical_wrong += wrong;
            e.weighted += w[i];
            if (++current > e.run) {
                e.run = current;
                e.run_last = static_cast<std::int32_t>(i);
                e.run_first = e.run_last - current + 1;
            }
        } else {
            current = 0;
        }
    }
    return e;
}

double fine_step(double observed) { return std::max(observed / FINE_CELLS, 1e-9); }

void finish_p(PairEvidence& e) {
    const double smaller = std::min(e.p_weighted, e.p_run);
    e.p = std::min(1.0, 2 * smaller);
}

struct Scratch {
    std::vector<double> p, w, work;
};

} // namespace

PairEvidence pair_evidence(const ChoiceModel& model, const ResponseMatrix& matrix,
                           std::int32_t copier, std::int32_t source, std::vector<double>& work) {
    std::vector<double> p, w;
    PairEvidence e = pair_figures(model, matrix, copier, source, p, w);
    e.p_run = run_tail(p.data(), p.size(), e.run, work);
    e.p_weighted =
        weighted_tail_upper(p.data(), w.data(), p.size(), e.weighted, fine_step(e.weighted), work);
    finish_p(e);
    return e;
}

namespace {

// The bounds that prune, for copiers whose scores fall in one band: each
// slot's lowest and highest null chance over the band (own answer or not).
struct BandBounds {
    std::vector<double> low_chance;  // [slot]
    std::vector<double> low_weight;  // weight of the highest chance
    std::vector<double> high_weight; // weight of the lowest chance
    double unit = 1;                 // a 250th of the highest weight
};

// What prunes the pairs of copiers of one band with one source. Below
// `run_matches` identical answers (or a shorter longest run) the run's tail
// provably exceeds half_tau; the weighted tail does so when the copier's
// units of the matches (its weights rounded up to whole units of its band,
// see build_bands) add up to at most `units_limit`.
struct SourceBound {
    bool ready = false;
    std::int32_t run_matches = 0;
    std::int64_t units_limit = -1;
};

#if defined(QUILLMARK_AVX2)
// One copier against `count` sources (rows `cells + sources[j] * n`, with
// bounds[j] ready), for 32 <= n <= 128 answers: the copier's answers and
// units are loaded once, and each source that no bound sets aside, and that
// is not the copier, is written to `kept`; yields their number. The tests
// are those of identical_answers and has_run.
// CHUNKS is (n + 31) / 32, fixed so that the steps are unrolled and the
// copier's answers stay in registers.
template <std::size_t CHUNKS>
__attribute__((target("avx2,popcnt"))) std::size_t
keep_row_chunks(const unsigned char* mine, const unsigned char* units, const unsigned char* cells,
                const std::int32_t* sources, std::size_t count, std::int32_t copier, std::size_t n,
                const SourceBound* bounds, std::uint32_t* kept) {
    const __m256i bits = _mm256_set1_epi8(static_cast<char>(OPTION_BITS));
    const __m256i zero = _mm256_setzero_si256();
    constexpr std::size_t chunks = CHUNKS;
    const std::size_t rest = n - (chunks - 1) * 32; // 1 to 32 in the last chunk
    __m256i own[4], weight[4], keep[4];
    std::size_t at[4];
    for (std::size_t c = 0; c < chunks; ++c) {
        at[c] = c + 1 < chunks ? c * 32 : n - 32;
        keep[c] = c + 1 < chunks || rest == 32
                      ? _mm256_cmpeq_epi8(zero, zero)
                      : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(KEEP_LAST + rest));
        own[c] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mine + at[c]));
        weight[c] =
            _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + at[c])),
                             keep[c]);
    }
    const unsigned shift = static_cast<unsigned>(32 - rest);
    std::size_t found = 0;
    for (std::size_t j = 0; j < count; ++j) {
        if (sources[j] == copier) continue;
        const unsigned char* theirs = cells + static_cast<std::size_t>(sources[j]) * n;
        __m256i sums = zero;
        std::uint64_t word[2] = {0, 0};
        std::int32_t matches = 0;
        for (std::size_t c = 0; c < chunks; ++c) {
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(theirs + at[c]));
            const __m256i same = _mm256_and_si256(
                _mm256_cmpeq_epi8(_mm256_and_si256(_mm256_xor_si256(own[c], b), bits), zero),
                keep[c]);
            sums = _mm256_add_epi64(sums, _mm256_sad_epu8(_mm256_and_si256(same, weight[c]), zero));
            std::uint32_t m = static_cast<std::uint32_t>(_mm256_movemask_epi8(same));
            if (c + 1 == chunks) m >>= shift;
            matches += __builtin_popcount(m);
            word[c / 2] |= static_cast<std::uint64_t>(m) << (32 * (c % 2));
        }
        const __m128i half =
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        const std::int64_t sum = _mm_cvtsi128_si64(half) + _mm_extract_epi64(half, 1);
        const SourceBound& bound = bounds[j];
        bool keep_pair = sum > bound.units_limit;
        if (!keep_pair && matches >= bound.run_matches) {
            std::uint64_t low = word[0], high = word[1];
            for (std::int32_t have = 1; have < bound.run_matches && (low | high);) {
                const std::int32_t k = std::min({have, bound.run_matches - have, 63});
                low &= (low >> k) | (high << (64 - k));
                high &= high >> k;
                have += k;
            }
            keep_pair = (low | high) != 0;
        }
        if (keep_pair) kept[found++] = static_cast<std::uint32_t>(j);
    }
    return found;
}

__attribute__((target("avx2,popcnt"))) std::size_t
keep_row_avx2(const unsigned char* mine, const unsigned char* units, const unsigned char* cells,
              const std::int32_t* sources, std::size_t count, std::int32_t copier, std::size_t n,
              const SourceBound* bounds, std::uint32_t* kept) {
    switch ((n + 31) / 32) {
    case 1: return keep_row_chunks<1>(mine, units, cells, sources, count, copier, n, bounds, kept);
    case 2: return keep_row_chunks<2>(mine, units, cells, sources, count, copier, n, bounds, kept);
    case 3: return keep_row_chunks<3>(mine, units, cells, sources, count, copier, n, bounds, kept);
    default: return keep_row_chunks<4>(mine, units, cells, sources, count, copier, n, bounds, kept);
    }
}
#endif

class FormScreen {
public:
    FormScreen(const ResponseMatrix& matrix, const std::vector<std::int32_t>& family,
               const ScreenSettings& settings)
        : matrix_(matrix), model_(matrix), settings_(settings),
          items_(static_cast<std::size_t>(matrix.items)) {
        std::int32_t families = 0;
        for (std::int32_t f : family) families = std::max(families, f + 1);
        members_.resize(static_cast<std::size_t>(families));
        for (std::size_t s = 0; s < family.size(); ++s)
            if (family[s] >= 0)
                members_[static_cast<std::size_t>(family[s])].push_back(
                    static_cast<std::int32_t>(s));
        // Each score its own band while the bounds cost little beside the
        // pairs; larger forms bound about SCORE_BANDS bands of scores.
        band_width_ = settings.band_width > 0 ? settings.band_width
                      : matrix.sheets <= 5000
                          ? 1
                          : std::max<std::int32_t>(1, (matrix.items + SCORE_BANDS) / SCORE_BANDS);
        block_ = std::max<std::size_t>(16, std::min<std::size_t>(SOURCE_BLOCK, 25600 / items_));
        bands_ = matrix.items / band_width_ + 1;
        build_bands();
    }

    ScreenResult run();

private:
    struct Family {
        double pair_count = 0;
        double bonferroni = 0; // threshold of p
        double kept = 0;       // threshold of p for a pair to be kept
    };
    struct Task {
        std::size_t family;
        std::size_t first;
    };
    struct Worker {
        Scratch scratch;
        std::vector<PairEvidence> kept;
        std::vector<SourceBound> bounds;
        std::vector<std::uint64_t> mask, run_work;
        std::vector<std::uint32_t> kept_sources;
        std::vector<unsigned char> units;
        std::vector<double> p, wl, sorted;
        std::int64_t evaluated = 0;
    };

    void build_bands();
    // The copier's units of a match on each item, into units[0 .. items).
    void copier_units(std::int32_t copier, unsigned char* units) const;
    std::int32_t band_of(std::int32_t score) const { return score / band_width_; }
    void source_bound(std::int32_t band, std::int32_t source, double half_tau, Worker& w,
                      SourceBound& bound) const;
    void screen_block(const Task& task, Worker& w);
    bool evaluate(std::int32_t copier, std::int32_t source, const Family& f, Worker& w) const;

    const ResponseMatrix& matrix_;
    ChoiceModel model_;
    ScreenSettings settings_;
    std::size_t items_;
    std::vector<std::vector<std::int32_t>> members_;
    std::vector<Family> families_;
    std::int32_t band_width_ = 1;
    std::size_t block_ = SOURCE_BLOCK;
    std::int32_t bands_ = 1;
    std::vector<BandBounds> band_bounds_;
    // [row of the score * slots + slot]: a match's weight in units of the
    // score's band, see build_bands; score_row_[score]: the row, or -1.
    std::vector<unsigned char> unit_table_;
    std::vector<std::int32_t> score_row_;
};

void FormScreen::build_bands() {
    // Scores that some sheet has: only they can be a copier's.
    std::vector<bool> present(items_ + 1, false);
    for (std::int32_t s = 0; s < matrix_.sheets; ++s)
        present[static_cast<std::size_t>(model_.score(s))] = true;
    // Slots in item and code order, as the model numbers them.
    const std::int32_t slots = model_.slots();
    std::vector<std::pair<std::int32_t, unsigned char>> slot_code(static_cast<std::size_t>(slots));
    for (std::size_t i = 0; i < items_; ++i)
        for (int c = 0; c < CODES_PER_ITEM; ++c) {
            const std::int32_t k =
                model_.slot(static_cast<std::int32_t>(i), static_cast<unsigned char>(c));
            if (k >= 0)
                slot_code[static_cast<std::size_t>(k)] = {static_cast<std::int32_t>(i),
                                                          static_cast<unsigned char>(c)};
        }
    band_bounds_.resize(static_cast<std::size_t>(bands_));
    for (std::int32_t b = 0; b < bands_; ++b) {
        BandBounds& bounds = band_bounds_[static_cast<std::size_t>(b)];
        bounds.low_chance.assign(static_cast<std::size_t>(slots), 1.0);
        std::vector<double> high(static_cast<std::size_t>(slots), 0.0);
        bool any = false;
        for (std::int32_t s = b * band_width_; s < (b + 1) * band_width_ && s <= matrix_.items;
             ++s) {
            if (!present[static_cast<std::size_t>(s)]) continue;
            any = true;
            for (std::size_t k = 0; k < slot_code.size(); ++k) {
                const auto [item, code] = slot_code[k];
                bounds.low_chance[k] =
                    std::min(bounds.low_chance[k], model_.chance_at(s, item, code, true));
                high[k] = std::max(high[k], model_.chance_at(s, item, code, false));
            }
        }
        if (!any) continue;
        bounds.low_weight.resize(high.size());
        bounds.high_weight.resize(high.size());
        double highest = 0;
        for (std::size_t k = 0; k < high.size(); ++k) {
            bounds.low_weight[k] = match_weight(high[k]);
            bounds.high_weight[k] = match_weight(bounds.low_chance[k]);
            highest = std::max(highest, bounds.high_weight[k]);
        }
        if (highest > 0) bounds.unit = highest / 250;
    }
    // The weight of a match on each option, as a copier of each score that
    // some sheet has meets it, rounded up to whole units of its band: a
    // pair's agreement is at most the units of its matches times the unit.
    // Kept per score and option rather than per sheet, so that the table
    // does not grow with the sheets; each copier's row is read from it.
    score_row_.assign(items_ + 1, -1);
    std::int32_t rows = 0;
    for (std::size_t s = 0; s <= items_; ++s)
        if (present[s]) score_row_[s] = rows++;
    const auto width = static_cast<std::size_t>(slots);
    unit_table_.assign(static_cast<std::size_t>(rows) * width, 0);
    for (std::size_t s = 0; s <= items_; ++s) {
        if (score_row_[s] < 0) continue;
        const auto score = static_cast<std::int32_t>(s);
        const double unit = band_bounds_[static_cast<std::size_t>(band_of(score))].unit;
        unsigned char* units = unit_table_.data() + static_cast<std::size_t>(score_row_[s]) * width;
        for (std::size_t k = 0; k < width; ++k) {
            const auto [item, code] = slot_code[k];
            double weight = 0;
            model_.chance_and_weight(score, item, code, true, weight);
            units[k] = static_cast<unsigned char>(std::min(255.0, std::floor(weight / unit) + 1));
        }
    }
}

void FormScreen::copier_units(std::int32_t copier, unsigned char* units) const {
    const unsigned char* row = matrix_.cells.data() + static_cast<std::size_t>(copier) * items_;
    const unsigned char* table =
        unit_table_.data() +
        static_cast<std::size_t>(score_row_[static_cast<std::size_t>(model_.score(copier))]) *
            static_cast<std::size_t>(model_.slots());
    for (std::size_t i = 0; i < items_; ++i)
        units[i] = table[model_.slot(static_cast<std::int32_t>(i), row[i])];
}

// The bounds of copiers of `band` against `source`: the weighted tail is
// bounded from below by the band's lowest chances with its lowest weights
// rounded down onto a coarse grid; the run's tail from below by the exact
// tail under the lowest chances.
void FormScreen::source_bound(std::int32_t band, std::int32_t source, double half_tau, Worker& w,
                              SourceBound& bound) const {
    const BandBounds& bounds = band_bounds_[static_cast<std::size_t>(band)];
    const unsigned char* row = matrix_.cells.data() + static_cast<std::size_t>(source) * items_;
    const std::size_t n = items_;
    w.p.resize(n);
    w.wl.resize(n);
    double low_sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(model_.slot(static_cast<std::int32_t>(i), row[i]));
        w.p[i] = bounds.low_chance[k];
        w.wl[i] = bounds.low_weight[k];
        low_sum += w.wl[i];
    }
    bound.ready = true;

    // The weighted agreement: the full distribution of the rounded-down sum.
    {
        const double step = low_sum > 0 ? low_sum / COARSE_CELLS : 1.0;
        std::size_t cells = 0;
        std::vector<double>& whole = w.sorted;
        whole.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            whole[i] = std::max(0.0, std::floor(w.wl[i] / step * (1 - MARGIN)));
            cells += static_cast<std::size_t>(whole[i]);
        }
        // Two rows, each item's distribution made from the last in a
        // loop the compiler can vectorise.
        std::vector<double>& rows = w.scratch.work;
        rows.assign(2 * (cells + 1), 0.0);
        double* dist = rows.data();
        double* next = rows.data() + cells + 1;
        dist[0] = 1;
        std::size_t high = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto u = static_cast<std::size_t>(whole[i]);
            if (u == 0) continue;
            const double q = w.p[i];
            const double r = 1 - q;
            for (std::size_t x = 0; x < u && x <= high; ++x) next[x] = dist[x] * r;
#if defined(QUILLMARK_AVX2)
            if (HAS_AVX2 && u <= high)
                mix_avx2(dist, next, u, u, high, q, r);
            else
#endif
                for (std::size_t x = u; x <= high; ++x) next[x] = dist[x] * r + dist[x - u] * q;
            for (std::size_t x = std::max(u, high + 1); x <= high + u; ++x)
                next[x] = dist[x - u] * q;
            std::swap(dist, next);
            high += u;
        }
        // k: the least sum whose tail is at most half_tau (cells + 1: none).
        double tail = 0;
        std::size_t k = cells + 1;
        while (k > 0 && tail + dist[k - 1] <= half_tau * (1 + MARGIN)) tail += dist[--k];
        // P(W >= x) > half_tau for every x <= step * (k - 1).
        const double reachable = step * static_cast<double>(k == 0 ? 0 : k - 1) * (1 - MARGIN);
        bound.units_limit = static_cast<std::int64_t>(std::floor(reachable / bounds.unit));
    }

    // The run: the least length whose tail under the lowest chances is at
    // most half_tau, found by halving.
    {
        std::int32_t low = 1, high = static_cast<std::int32_t>(n) + 1; // the tail at n + 1 is 0
        while (low < high) {
            const std::int32_t mid = low + (high - low) / 2;
            const double stop = half_tau * (1 + MARGIN);
            if (run_tail(w.p.data(), n, mid, w.scratch.work, stop) <= stop)
                high = mid;
            else
                low = mid + 1;
        }
        bound.run_matches = low;
    }
}

// Works out the pair's tails, as far as needed to know whether its p-value
// reaches the family's keeping threshold; keeps it when it does.
bool FormScreen::evaluate(std::int32_t copier, std::int32_t source, const Family& f,
                          Worker& w) const {
    ++w.evaluated;
    PairEvidence e = pair_figures(model_, matrix_, copier, source, w.scratch.p, w.scratch.w);
    const double half = f.kept / 2;
    const double* p = w.scratch.p.data();
    // With pruning, each tail is followed only until it is known to exceed
    // the threshold: a pair is kept only when one of them does not.
    const double stop = settings_.prune ? half * (1 + MARGIN) : 2.0;
    e.p_run = run_tail(p, items_, e.run, w.scratch.work, stop);
    const bool run_stopped = e.p_run > stop;
    if (run_stopped) {
        // A rough lower bound first, which settles most pairs; then a finer.
        for (const double cells : {PAIR_CELLS / 8, PAIR_CELLS, PAIR_CELLS * 4}) {
            const double low =
                weighted_tail_lower(p, w.scratch.w.data(), items_, e.weighted,
                                    std::max(e.weighted / cells, 1e-9), w.scratch.work, stop);
            if (low > stop) return false;
        }
    }
    e.p_weighted = weighted_tail_upper(p, w.scratch.w.data(), items_, e.weighted,
                                       fine_step(e.weighted), w.scratch.work);
    if (run_stopped) {
        if (e.p_weighted > half) return false;
        e.p_run = run_tail(p, items_, e.run, w.scratch.work);
    }
    finish_p(e);
    if (e.p > f.kept) return false;
    w.kept.push_back(e);
    return true;
}

void FormScreen::screen_block(const Task& task, Worker& w) {
    const std::vector<std::int32_t>& members = members_[task.family];
    const Family& f = families_[task.family];
    const std::size_t end = std::min(members.size(), task.first + block_);
    const std::size_t block = end - task.first;
    const unsigned char* cells = matrix_.cells.data();
    // The bounds of each band against each source, worked out when a
    // copier of that band first meets the block.
    // In a small family a bound serves too few pairs to pay for itself:
    // every pair goes straight to its own tails, which stop early too.
    const bool bound_first = settings_.prune && members.size() >= settings_.bound_family;
    if (bound_first) {
        w.bounds.assign(static_cast<std::size_t>(bands_) * block, SourceBound{});
        w.mask.resize((items_ + 63) / 64);
        w.units.resize(items_);
    }
    for (std::int32_t copier : members) {
        const unsigned char* mine = cells + static_cast<std::size_t>(copier) * items_;
        if (bound_first) copier_units(copier, w.units.data());
        const unsigned char* units = w.units.data();
        const std::int32_t band = band_of(model_.score(copier));
        const std::size_t first = static_cast<std::size_t>(band) * block;
#if defined(QUILLMARK_AVX2)
        if (bound_first && HAS_AVX2 && items_ >= 32 && items_ <= 128) {
            for (std::size_t j = 0; j < block; ++j)
                if (!w.bounds[first + j].ready)
                    source_bound(band, members[task.first + j], f.kept / 2, w, w.bounds[first + j]);
            w.kept_sources.resize(block);
            const std::size_t kept =
                keep_row_avx2(mine, units, cells, members.data() + task.first, block, copier,
                              items_, w.bounds.data() + first, w.kept_sources.data());
            for (std::size_t k = 0; k < kept; ++k)
                evaluate(copier, members[task.first + w.kept_sources[k]], f, w);
            continue;
        }
#endif
        for (std::size_t j = 0; j < block; ++j) {
            const std::int32_t source = members[task.first + j];
            if (source == copier) continue;
            const unsigned char* theirs = cells + static_cast<std::size_t>(source) * items_;
            if (bound_first) {
                SourceBound& bound = w.bounds[first + j];
                if (!bound.ready) source_bound(band, source, f.kept / 2, w, bound);
                std::int32_t matches = 0;
                std::int64_t sum = 0;
                identical_answers(mine, theirs, units, items_, matches, sum, w.mask.data());
                if (sum <= bound.units_limit &&
                    (matches < bound.run_matches ||
                     !has_run(w.mask.data(), items_, bound.run_matches, w.run_work)))
                    continue;
            }
            evaluate(copier, source, f, w);
        }
    }
}

ScreenResult FormScreen::run() {
    ScreenResult result;
    std::vector<Task> tasks;
    families_.resize(members_.size());
    for (std::size_t fi = 0; fi < members_.size(); ++fi) {
        const double n = static_cast<double>(members_[fi].size());
        Family& f = families_[fi];
        f.pair_count = n * (n - 1);
        if (f.pair_count <= 0) continue;
        result.ordered_pairs += static_cast<std::int64_t>(f.pair_count);
        f.bonferroni = settings_.alpha / f.pair_count;
        f.kept = f.bonferroni;
        if (settings_.exploratory) f.kept = std::max(f.kept, settings_.fdr * n / f.pair_count);
        for (std::size_t first = 0; first < members_[fi].size(); first += block_)
            tasks.push_back({fi, first});
    }
    std::int32_t threads = settings_.threads > 0
                               ? settings_.threads
                               : static_cast<std::int32_t>(std::thread::hardware_concurrency());
    threads = std::max(1, std::min<std::int32_t>(threads, static_cast<std::int32_t>(tasks.size())));
    std::vector<Worker> workers(static_cast<std::size_t>(std::max(threads, 1)));
    std::atomic<std::size_t> next{0};
    auto work = [&](Worker& w) {
        for (std::size_t t; (t = next.fetch_add(1)) < tasks.size();) screen_block(tasks[t], w);
    };
    if (threads <= 1) {
        work(workers[0]);
    } else {
        std::vector<std::thread> pool;
        for (std::int32_t t = 1; t < threads; ++t)
            pool.emplace_back(work, std::ref(workers[static_cast<std::size_t>(t)]));
        work(workers[0]);
        for (std::thread& thread : pool) thread.join();
    }

    // The pairs of each family by p-value, for both lists.
    std::vector<std::vector<PairEvidence>> by_family(members_.size());
    std::vector<std::int32_t> family_of(static_cast<std::size_t>(matrix_.sheets), -1);
    for (std::size_t fi = 0; fi < members_.size(); ++fi)
        for (std::int32_t s : members_[fi])
            family_of[static_cast<std::size_t>(s)] = static_cast<std::int32_t>(fi);
    for (Worker& w : workers) {
        result.evaluated += w.evaluated;
        for (const PairEvidence& e : w.kept)
            by_family[static_cast<std::size_t>(family_of[static_cast<std::size_t>(e.copier)])]
                .push_back(e);
    }
    for (std::size_t fi = 0; fi < by_family.size(); ++fi) {
        std::vector<PairEvidence>& pairs = by_family[fi];
        const Family& f = families_[fi];
        std::sort(pairs.begin(), pairs.end(), [](const PairEvidence& a, const PairEvidence& b) {
            if (a.p != b.p) return a.p < b.p;
            if (a.copier != b.copier) return a.copier < b.copier;
            return a.source < b.source;
        });
        std::vector<ScreenedPair> listed;
        for (const PairEvidence& e : pairs)
            if (e.p <= f.bonferroni)
                listed.push_back(
                    {static_cast<std::int32_t>(fi), e, std::min(1.0, e.p * f.pair_count), false});
        if (settings_.exploratory) {
            // Benjamini-Hochberg: the most pairs k with p_(k) <= k q / m.
            std::size_t k = 0;
            for (std::size_t j = 0; j < pairs.size(); ++j)
                if (pairs[j].p <= static_cast<double>(j + 1) * settings_.fdr / f.pair_count)
                    k = j + 1;
            double adjusted = 1;
            std::vector<double> q(k);
            for (std::size_t j = k; j-- > 0;) {
                adjusted =
                    std::min(adjusted, pairs[j].p * f.pair_count / static_cast<double>(j + 1));
                q[j] = adjusted;
            }
            for (std::size_t j = 0; j < k; ++j)
                if (pairs[j].p > f.bonferroni)
                    listed.push_back({static_cast<std::int32_t>(fi), pairs[j], q[j], true});
        }
        std::sort(listed.begin(), listed.end(), [](const ScreenedPair& a, const ScreenedPair& b) {
            if (a.exploratory != b.exploratory) return b.exploratory;
            if (a.evidence.copier != b.evidence.copier)
                return a.evidence.copier < b.evidence.copier;
            return a.evidence.source < b.evidence.source;
        });
        result.pairs.insert(result.pairs.end(), listed.begin(), listed.end());
    }
    return result;
}

} // namespace

ScreenResult screen_form(const ResponseMatrix& matrix, const std::vector<std::int32_t>& family,
                         const ScreenSettings& settings) {
    if (matrix.sheets < 2 || matrix.items < 1) {
        ScreenResult none;
        return none;
    }
    FormScreen screen(matrix, family, settings);
    return screen.run();
}

SimilarityScreen screen_similarity(const ReportTables& tables, const SimilarityRequest& request,
                                   const ClassList* list, const ClassListMatch* match) {
    SimilarityScreen screen;
    screen.rooms = request.rooms;
    screen.exploratory = request.settings.exploratory;
    if (request.rooms == RoomMode::class_list && list)
        screen.room_heading = list->headings[request.room_column];
    const ScreenSettings& settings = request.settings;
    auto room_of_row = [&](std::size_t r) -> std::string {
        const SheetIdentity& sheet = tables.identities[r];
        if (request.rooms == RoomMode::exam) {
            const void* end = std::memchr(sheet.exam, 0, sizeof sheet.exam);
            return std::string(sheet.exam, end ? static_cast<std::size_t>(
                                                     static_cast<const char*>(end) - sheet.exam)
                                               : sizeof sheet.exam);
        }
        if (request.rooms == RoomMode::class_list && list && match) {
            const std::int32_t student = match->student_of_sheet[r];
            if (student != NO_STUDENT)
                return list->rows[static_cast<std::size_t>(student)][request.room_column];
        }
        return std::string();
    };
    for (const FormScores& form : tables.forms) {
        // The identities of the form's scored rows, in matrix order.
        std::vector<std::size_t> rows;
        for (std::size_t r = 0; r < tables.identities.size(); ++r)
            if (tables.identities[r].form == form.form && tables.identities[r].scored)
                rows.push_back(r);
        if (rows.size() != static_cast<std::size_t>(form.matrix.sheets)) continue;
        // Families: the rooms in the order of their text. Each sheet's room
        // is looked up twice rather than kept, one text per sheet.
        std::map<std::string, std::int32_t> room_numbers;
        std::vector<std::string> room_names;
        for (std::size_t s = 0; s < rows.size(); ++s) room_numbers.emplace(room_of_row(rows[s]), 0);
        for (auto& [name, number] : room_numbers) {
            number = static_cast<std::int32_t>(room_names.size());
            room_names.push_back(name);
        }
        std::vector<std::int32_t> family(rows.size(), 0);
        for (std::size_t s = 0; s < rows.size(); ++s)
            family[s] = room_numbers[room_of_row(rows[s])];
        const ScreenResult result = screen_form(form.matrix, family, settings);
        screen.ordered_pairs += result.ordered_pairs;
        screen.evaluated += result.evaluated;

        // Partners of each sheet on each list.
        std::map<std::pair<bool, std::int32_t>, std::vector<std::int32_t>> partners;
        for (const ScreenedPair& pair : result.pairs) {
            partners[{pair.exploratory, pair.evidence.copier}].push_back(pair.evidence.source);
            partners[{pair.exploratory, pair.evidence.source}].push_back(pair.evidence.copier);
        }
        for (auto& [key, list] : partners) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
        }
        for (const ScreenedPair& pair : result.pairs) {
            const SheetIdentity& one =
                tables.identities[rows[static_cast<std::size_t>(pair.evidence.copier)]];
            const SheetIdentity& other =
                tables.identities[rows[static_cast<std::size_t>(pair.evidence.source)]];
            SimilarPair out;
            out.form = form.form;
            out.room = room_names[static_cast<std::size_t>(pair.family)];
            out.student_id = bubbled_id(one);
            out.other_id = bubbled_id(other);
            out.order =
                static_cast<std::int32_t>(rows[static_cast<std::size_t>(pair.evidence.copier)]) + 1;
            out.other_order =
                static_cast<std::int32_t>(rows[static_cast<std::size_t>(pair.evidence.source)]) + 1;
            out.evidence = pair.evidence;
            if (pair.evidence.run > 0) {
                out.run_first_question =
                    form.question_numbers[static_cast<std::size_t>(pair.evidence.run_first)];
                out.run_last_question =
                    form.question_numbers[static_cast<std::size_t>(pair.evidence.run_last)];
            }
            const auto items = static_cast<std::size_t>(form.matrix.items);
            const unsigned char* cells = form.matrix.cells.data();
            const auto copier = static_cast<std::size_t>(pair.evidence.copier);
            const auto source = static_cast<std::size_t>(pair.evidence.source);
            out.answers.assign(cells + copier * items, cells + (copier + 1) * items);
            out.other_answers.assign(cells + source * items, cells + (source + 1) * items);
            out.questions = form.question_numbers;
            out.adjusted = pair.adjusted;
            out.exploratory = pair.exploratory;
            out.student_flags = static_cast<std::int32_t>(
                partners[{pair.exploratory, pair.evidence.copier}].size());
            out.other_flags = static_cast<std::int32_t>(
                partners[{pair.exploratory, pair.evidence.source}].size());
            screen.pairs.push_back(std::move(out));
        }
    }
    return screen;
}

} // namespace quillmark
