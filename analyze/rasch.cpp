#include "analyze/rasch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

namespace quillmark {

namespace {

using Real = long double;

Real exp_of(Real x) { return static_cast<Real>(std::exp(static_cast<double>(x))); }
Real sqrt_of(Real x) { return static_cast<Real>(std::sqrt(static_cast<double>(x))); }

// ---------------------------------------------------------------------------
// Elementary symmetric functions, kept as the ratios of neighbours.
//
// With eps_i = exp(-b_i) for the difficulties b, gamma_r is the sum over all
// sets of r items of the product of their eps. gamma_r / gamma_0 spans
// thousands of powers of ten at 1000 items, beyond any floating format, but
// the ratio gamma_{r-1} / gamma_r of neighbours stays near 1 / eps of the
// r-th easiest item. Adding an item e to a set of j items,
//   gamma'_r = gamma_r + e * gamma_{r-1},
// turns into
//   t'_r = t_r (1 + e t_{r-1}) / (1 + e t_r),   t'_{j+1} = (1 + e t_j) / e,
// with t_0 = 0: only sums and products of positive numbers, so every ratio
// keeps full relative precision and none can overflow.
// ---------------------------------------------------------------------------

// ratio[r] = gamma_{r-1} / gamma_r for r = 1 to k (ratio[0] is not used).
template <typename Float> void esf_ratios(const Float* eps, std::int32_t k, Float* ratio) {
    for (std::int32_t j = 0; j < k; ++j) {
        const Float e = eps[j];
        Float lower = 0; // the old ratio one score below
        for (std::int32_t r = 1; r <= j; ++r) {
            const Float old = ratio[r];
            ratio[r] = old * (1 + e * lower) / (1 + e * old);
            lower = old;
        }
        ratio[j + 1] = (1 + e * lower) / e;
    }
}

// The chance that an item of eps `e` is right on a sheet with raw score r,
// p[r] = e * gamma^(i)_{r-1} / gamma_r, and its complement q[r], for r = 0
// to k, from the ratios of the k items' functions and their inverses.
// Since p[r] = e * ratio[r] * q[r-1], p can be carried up from p[0] = 0 or
// down from p[k] = 1. Each direction damps the rounding errors of the steps
// before it on its own side of p = 1/2, so the walk up stops where p passes
// 1/2 and the walk down fills in the rest; each complement is worked out
// where it is the smaller, so both keep full relative precision.
template <typename Float>
void item_curve(Float e, const Float* ratio, const Float* inverse, std::int32_t k, Float* p,
                Float* q) {
    p[0] = 0;
    q[0] = 1;
    // The neighbour's values are carried in variables, not read back from
    // the arrays: reading an extended value just stored is slow.
    Float complement = 1;
    std::int32_t r = 1;
    for (; r < k; ++r) {
        const Float up = e * ratio[r] * complement;
        if (up > Float(0.5)) break;
        complement = 1 - up;
        p[r] = up;
        q[r] = complement;
    }
    p[k] = 1;
    q[k] = 0;
    const Float over = 1 / e;
    Float chance = 1;
    for (std::int32_t s = k; s > r; --s) {
        const Float below = chance * over * inverse[s];
        chance = 1 - below;
        q[s - 1] = below;
        p[s - 1] = chance;
    }
}

// ---------------------------------------------------------------------------
// The conditional likelihood of the calibrated items.
// ---------------------------------------------------------------------------

// The data of the calibration: the non-extreme raw scores (on the
// calibrated items) that some sheets have, with those sheets' counts, and
// how many of those sheets got each item right.
struct Problem {
    std::int32_t k = 0;
    std::vector<std::int32_t> scores;
    std::vector<Real> weights;
    std::vector<Real> right;
};

// The figures of the conditional likelihood at difficulties b: eps, the
// ratios of the functions and their inverses, each item's expected right
// answers on the problem's sheets (the gradient of the log likelihood is
// expected - right) and its information (the diagonal of the information
// matrix), the log likelihood, and on request each item's chance of a right
// answer at each score of the problem (a row of k per score, for the
// information matrix). Worked out in extended precision, or in double
// (three times as fast; the expected right answers to some 1e-14) for the
// steps that only bring the estimates close.
template <typename Float> struct Evaluation {
    std::vector<Float> eps;
    std::vector<Float> ratio;
    std::vector<Float> inverse;
    std::vector<Float> expected;
    std::vector<Float> information;
    std::vector<double> curves;
    Float log_likelihood = 0;
};

template <typename Float>
void evaluate(const Problem& problem, const std::vector<Real>& b, bool curves,
              Evaluation<Float>& at) {
    const std::int32_t k = problem.k;
    const auto size = static_cast<std::size_t>(k) + 1;
    const std::size_t rows = problem.scores.size();
    at.eps.resize(k);
    for (std::int32_t i = 0; i < k; ++i) at.eps[i] = static_cast<Float>(exp_of(-b[i]));
    at.ratio.assign(size, 0);
    esf_ratios(at.eps.data(), k, at.ratio.data());
    at.inverse.assign(size, 0);
    for (std::int32_t r = 1; r <= k; ++r) at.inverse[r] = 1 / at.ratio[r];
    at.expected.assign(k, 0);
    at.information.assign(k, 0);
    at.curves.resize(curves ? rows * k : 0);
    // The curves of a few items at a time, so that they go into the rows
    // by score in runs.
    constexpr std::int32_t TILE = 16;
    std::vector<Float> p(size * TILE);
    std::vector<Float> q(size);
    std::vector<Float> weights(problem.weights.begin(), problem.weights.end());
    for (std::int32_t first = 0; first < k; first += TILE) {
        const std::int32_t last = std::min(k, first + TILE);
        for (std::int32_t i = first; i < last; ++i) {
            Float* pi = &p[(i - first) * size];
            item_curve(at.eps[i], at.ratio.data(), at.inverse.data(), k, pi, q.data());
            Float expected = 0;
            Float information = 0;
            for (std::size_t row = 0; row < rows; ++row) {
                const std::int32_t r = problem.scores[row];
                const Float n = weights[row];
                expected += n * pi[r];
                information += n * pi[r] * q[r];
            }
            at.expected[i] = expected;
            at.information[i] = information;
        }
        if (curves)
            for (std::size_t row = 0; row < rows; ++row) {
                const std::int32_t r = problem.scores[row];
                double* out = &at.curves[row * k];
                for (std::int32_t i = first; i < last; ++i)
                    out[i] = static_cast<double>(p[(i - first) * size + r]);
            }
    }
    // log L = -sum_i right_i b_i - sum_r n_r log gamma_r, where
    // log gamma_r = -(log t_1 + ... + log t_r).
    Real log_likelihood = 0;
    for (std::int32_t i = 0; i < k; ++i) log_likelihood -= problem.right[i] * b[i];
    Real log_gamma = 0;
    std::size_t row = 0;
    for (std::int32_t r = 1; r < k && row < rows; ++r) {
        log_gamma -= std::log(static_cast<Real>(at.ratio[r]));
        if (problem.scores[row] == r) log_likelihood -= problem.weights[row++] * log_gamma;
    }
    at.log_likelihood = static_cast<Float>(log_likelihood);
}

// The sum over the problem's sheets of the chance that items i and j are
// both right, worked out from the items' curves: the chance of j on the
// test without i, at one score less, times the chance of i.
Real pair_right_direct(const Problem& problem, const Evaluation<Real>& at, std::int32_t i,
                       std::int32_t j) {
    const std::int32_t k = problem.k;
    const auto size = static_cast<std::size_t>(k) + 1;
    std::vector<Real> pi(size), qi(size), pj(size), qj(size), ratio(size), inverse(size);
    item_curve(at.eps[i], at.ratio.data(), at.inverse.data(), k, pi.data(), qi.data());
    // gamma^(i)_r = gamma_r q_i[r], so the ratios of the test without i are
    // t_r q_i[r-1] / q_i[r].
    for (std::int32_t r = 1; r < k; ++r) {
        ratio[r] = at.ratio[r] * qi[r - 1] / qi[r];
        inverse[r] = 1 / ratio[r];
    }
    item_curve(at.eps[j], ratio.data(), inverse.data(), k - 1, pj.data(), qj.data());
    Real sum = 0;
    for (std::size_t row = 0; row < problem.scores.size(); ++row) {
        const std::int32_t r = problem.scores[row];
        sum += problem.weights[row] * pi[r] * pj[r - 1];
    }
    return sum;
}

// The upper triangle of a symmetric n by n matrix, row by row: row i holds
// columns i to n - 1, so that it takes half the memory of the square.
class Triangle {
public:
    explicit Triangle(std::size_t n) : n_(n), cells_(n * (n + 1) / 2, 0.0) {}
    std::size_t size() const { return n_; }
    // Row i, indexed by the column j >= i.
    double* row(std::size_t i) { return cells_.data() + (i * n_ - i * (i + 1) / 2); }
    const double* row(std::size_t i) const { return cells_.data() + (i * n_ - i * (i + 1) / 2); }

private:
    std::size_t n_;
    std::vector<double> cells_;
};

// The upper triangle of the information matrix of the conditional
// likelihood at `at`, which must hold the curves:
//   I_ij = sum_r n_r (P(x_i = x_j = 1 | r) - p_ri p_rj)   (i != j),
//   I_ii = sum_r n_r p_ri q_ri.
// Since gamma^(j)_{r-1} - gamma^(i)_{r-1} = (eps_i - eps_j) gamma^(ij)_{r-2},
// the chance of both right is (eps_i p_rj - eps_j p_ri) / (eps_i - eps_j),
// and summed over the sheets (eps_i E_j - eps_j E_i) / (eps_i - eps_j): one
// division for the pair. Items of nearly equal eps would lose digits in
// that difference; theirs is worked out from the curves instead, once for
// each pair of distinct eps. The sums of p_ri p_rj are one product of the
// curves, in double (sums of positive terms), four scores at a time over a
// block of rows that stays in cache.
Triangle information_matrix(const Problem& problem, const Evaluation<Real>& at) {
    const std::int32_t k = problem.k;
    const auto n = static_cast<std::size_t>(k);
    const std::size_t rows = problem.scores.size();
    Triangle matrix(n);

    const std::vector<double>& by_score = at.curves;
    std::vector<double> weights(rows);
    for (std::size_t row = 0; row < rows; ++row)
        weights[row] = static_cast<double>(problem.weights[row]);
    constexpr std::size_t BLOCK = 32;
    for (std::size_t first = 0; first < n; first += BLOCK) {
        const std::size_t last = std::min(n, first + BLOCK);
        std::size_t row = 0;
        for (; row + 4 <= rows; row += 4) {
            const double* c0 = &by_score[row * n];
            const double* c1 = c0 + n;
            const double* c2 = c1 + n;
            const double* c3 = c2 + n;
            for (std::size_t i = first; i < last; ++i) {
                const double a0 = weights[row] * c0[i];
                const double a1 = weights[row + 1] * c1[i];
                const double a2 = weights[row + 2] * c2[i];
                const double a3 = weights[row + 3] * c3[i];
                double* out = matrix.row(i);
                for (std::size_t j = i + 1; j < n; ++j)
                    out[j] += a0 * c0[j] + a1 * c1[j] + a2 * c2[j] + a3 * c3[j];
            }
        }
        for (; row < rows; ++row) {
            const double* c0 = &by_score[row * n];
            for (std::size_t i = first; i < last; ++i) {
                const double a0 = weights[row] * c0[i];
                double* out = matrix.row(i);
                for (std::size_t j = i + 1; j < n; ++j) out[j] += a0 * c0[j];
            }
        }
    }

    // The near pairs: items in order of eps, so that neighbours are found by
    // a scan; items of equal eps share one class, and one direct sum.
    std::vector<std::int32_t> order(n);
    for (std::int32_t i = 0; i < k; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::int32_t x, std::int32_t y) { return at.eps[x] < at.eps[y]; });
    std::vector<std::int32_t> same(n);
    for (std::size_t o = 0; o < n; ++o)
        same[order[o]] =
            o > 0 && at.eps[order[o]] == at.eps[order[o - 1]] ? same[order[o - 1]] : order[o];
    constexpr Real NEAR = 1e-3L;
    std::map<std::pair<std::int32_t, std::int32_t>, Real> direct;
    std::vector<std::pair<std::pair<std::size_t, std::size_t>, double>> near; // (i, j), I_ij
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t c = a + 1; c < n; ++c) {
            const std::int32_t i = order[a];
            const std::int32_t j = order[c];
            if (at.eps[j] - at.eps[i] > NEAR * at.eps[j]) break;
            const auto key = std::minmax(same[i], same[j]);
            auto found = direct.find(key);
            if (found == direct.end())
                found = direct.emplace(key, pair_right_direct(problem, at, key.first, key.second))
                            .first;
            const auto low = static_cast<std::size_t>(std::min(i, j));
            const auto high = static_cast<std::size_t>(std::max(i, j));
            near.push_back(
                {{low, high}, static_cast<double>(found->second - matrix.row(low)[high])});
        }

    std::vector<double> eps(n), expected(n);
    for (std::size_t i = 0; i < n; ++i) {
        eps[i] = static_cast<double>(at.eps[i]);
        expected[i] = static_cast<double>(at.expected[i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        double* out = matrix.row(i);
        const double ei = eps[i];
        const double expected_i = expected[i];
        out[i] = static_cast<double>(at.information[i]);
        // Equal eps (a near pair, set below) would divide by 0.
        for (std::size_t j = i + 1; j < n; ++j) {
            const double difference = ei - eps[j];
            out[j] = (ei * expected[j] - eps[j] * expected_i) / (difference != 0 ? difference : 1) -
                     out[j];
        }
    }
    for (const auto& [cell, value] : near) matrix.row(cell.first)[cell.second] = value;
    return matrix;
}

// The information matrix has the constant vector in its null space (a
// shift of every difficulty changes no conditional chance). Adding c 11'
// makes it positive definite without changing it on the centred vectors:
// (I + c 11')^-1 = I^+ + 11' / (c k^2), where I^+ is the covariance of the
// centred estimates. The Cholesky factor R (upper, R'R = I + c 11') takes
// the place of the upper triangle, four rows at a time; false when the
// matrix is not positive definite.
bool factor(Triangle& matrix, double shift) {
    const std::size_t n = matrix.size();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i; j < n; ++j) matrix.row(i)[j] += shift;
    for (std::size_t first = 0; first < n; first += 4) {
        const std::size_t last = std::min(n, first + 4);
        // The block's rows, from the updates of the rows of the block above them.
        for (std::size_t j = first; j < last; ++j) {
            double* row = matrix.row(j);
            for (std::size_t m = first; m < j; ++m) {
                const double* above = matrix.row(m);
                const double a = above[j];
                for (std::size_t l = j; l < n; ++l) row[l] -= a * above[l];
            }
            if (!(row[j] > 0)) return false;
            const double pivot = std::sqrt(row[j]);
            row[j] = pivot;
            const double inverse = 1 / pivot;
            for (std::size_t l = j + 1; l < n; ++l) row[l] *= inverse;
        }
        // The rows below, updated by all the block's rows in one pass.
        const std::size_t count = last - first;
        const double* r0 = matrix.row(first);
        const double* r1 = count > 1 ? matrix.row(first + 1) : r0;
        const double* r2 = count > 2 ? matrix.row(first + 2) : r0;
        const double* r3 = count > 3 ? matrix.row(first + 3) : r0;
        for (std::size_t i = last; i < n; ++i) {
            const double a0 = r0[i];
            const double a1 = count > 1 ? r1[i] : 0;
            const double a2 = count > 2 ? r2[i] : 0;
            const double a3 = count > 3 ? r3[i] : 0;
            double* out = matrix.row(i);
            for (std::size_t l = i; l < n; ++l)
                out[l] -= a0 * r0[l] + a1 * r1[l] + a2 * r2[l] + a3 * r3[l];
        }
    }
    return true;
}

// Solves R'R x = g with the factor above.
std::vector<Real> solve(const Triangle& factor, const std::vector<Real>& g) {
    const std::size_t n = factor.size();
    std::vector<Real> x(g);
    for (std::size_t i = 0; i < n; ++i) { // R' y = g
        Real sum = x[i];
        for (std::size_t j = 0; j < i; ++j) sum -= factor.row(j)[i] * x[j];
        x[i] = sum / factor.row(i)[i];
    }
    for (std::size_t i = n; i-- > 0;) { // R x = y
        Real sum = x[i];
        const double* row = factor.row(i);
        for (std::size_t j = i + 1; j < n; ++j) sum -= row[j] * x[j];
        x[i] = sum / row[i];
    }
    return x;
}

// The diagonal of (R'R)^-1: the squared row norms of X = R^-1, which takes
// the place of R row by row from the bottom,
//   X_ii = 1 / R_ii,  X_ij = -X_ii sum_{l=i+1..j} R_il X_lj  (j > i),
// four rows at a time: the rows below the block go into all four sums in
// one pass.
std::vector<Real> inverse_diagonal(Triangle& factor) {
    const std::size_t n = factor.size();
    std::vector<double> sums(4 * n);
    for (std::size_t end = n; end > 0;) {
        const std::size_t first = end >= 4 ? end - 4 : 0;
        std::fill(sums.begin(), sums.end(), 0.0);
        for (std::size_t l = end; l < n; ++l) {
            const double* x = factor.row(l);
            double a[4] = {0, 0, 0, 0};
            for (std::size_t m = first; m < end; ++m) a[m - first] = factor.row(m)[l];
            for (std::size_t j = l; j < n; ++j) {
                const double value = x[j];
                sums[j] += a[0] * value;
                sums[n + j] += a[1] * value;
                sums[2 * n + j] += a[2] * value;
                sums[3 * n + j] += a[3] * value;
            }
        }
        for (std::size_t m = end; m-- > first;) {
            double* row = factor.row(m);
            double* sum = &sums[(m - first) * n];
            for (std::size_t l = m + 1; l < end; ++l) {
                const double a = row[l];
                const double* x = factor.row(l);
                for (std::size_t j = l; j < n; ++j) sum[j] += a * x[j];
            }
            const double inverse = 1 / row[m];
            row[m] = inverse;
            for (std::size_t j = m + 1; j < n; ++j) row[j] = -sum[j] * inverse;
        }
        end = first;
    }
    std::vector<Real> diagonal(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const double* row = factor.row(i);
        Real sum = 0;
        for (std::size_t j = i; j < n; ++j) sum += static_cast<Real>(row[j]) * row[j];
        diagonal[i] = sum;
    }
    return diagonal;
}

void centre(std::vector<Real>& b) {
    Real sum = 0;
    for (Real value : b) sum += value;
    const Real mean = sum / static_cast<Real>(b.size());
    for (Real& value : b) value -= mean;
}

// The largest magnitude, or NaN when any value is not a number, so that
// no test against it passes.
Real largest_of(const std::vector<Real>& values) {
    Real largest = 0;
    for (Real value : values) {
        if (std::isnan(value)) return value;
        largest = std::max(largest, std::fabs(value));
    }
    return largest;
}

// Anderson's acceleration of the iteration x <- x + f(x): from the last
// few steps' differences of x and of f, the combination of them whose f is
// smallest by least squares is taken instead of x + f. Yields the next x.
class Accelerator {
public:
    void next(std::vector<Real>& x, const std::vector<Real>& f) {
        const std::size_t size = x.size();
        if (!last_x_.empty()) {
            if (dx_.size() == DEPTH) {
                dx_.erase(dx_.begin());
                df_.erase(df_.begin());
            }
            dx_.emplace_back(size);
            df_.emplace_back(size);
            for (std::size_t i = 0; i < size; ++i) {
                dx_.back()[i] = x[i] - last_x_[i];
                df_.back()[i] = f[i] - last_f_[i];
            }
        }
        last_x_ = x;
        last_f_ = f;
        // The normal equations (DF' DF) c = DF' f, solved by elimination;
        // differences that are (nearly) dependent drop the history.
        const std::size_t m = dx_.size();
        Real gram[DEPTH][DEPTH + 1];
        for (std::size_t a = 0; a < m; ++a) {
            for (std::size_t c = 0; c < m; ++c) gram[a][c] = dot(df_[a], df_[c]);
            gram[a][m] = dot(df_[a], f);
        }
        for (std::size_t a = 0; a < m; ++a) {
            if (!(gram[a][a] > 1e-12L * dot(df_[a], df_[a]))) {
                dx_.clear();
                df_.clear();
                for (std::size_t i = 0; i < size; ++i) x[i] += f[i];
                return;
            }
            for (std::size_t c = a + 1; c < m; ++c) {
                const Real factor = gram[c][a] / gram[a][a];
                for (std::size_t d = a; d <= m; ++d) gram[c][d] -= factor * gram[a][d];
            }
        }
        Real weights[DEPTH];
        for (std::size_t a = m; a-- > 0;) {
            Real sum = gram[a][m];
            for (std::size_t d = a + 1; d < m; ++d) sum -= gram[a][d] * weights[d];
            weights[a] = sum / gram[a][a];
        }
        for (std::size_t i = 0; i < size; ++i) {
            Real value = x[i] + f[i];
            for (std::size_t a = 0; a < m; ++a) value -= weights[a] * (dx_[a][i] + df_[a][i]);
            x[i] = value;
        }
    }

private:
    static constexpr std::size_t DEPTH = 3;
    static Real dot(const std::vector<Real>& u, const std::vector<Real>& v) {
        Real sum = 0;
        for (std::size_t i = 0; i < u.size(); ++i) sum += u[i] * v[i];
        return sum;
    }
    std::vector<std::vector<Real>> dx_;
    std::vector<std::vector<Real>> df_;
    std::vector<Real> last_x_;
    std::vector<Real> last_f_;
};

// The most steps along the diagonal of the information before Newton's
// steps take over.
constexpr std::int32_t DIAGONAL_STEPS = 100;

// The CML difficulties of the problem, centred, and their standard errors.
//
// Newton's step b += I^+ g (g = expected - right, the gradient of the log
// likelihood) needs the whole information matrix, whose cost grows with the
// cube of the items, while the gradient and the diagonal of I cost their
// square. So the estimates are first brought close by steps along the
// diagonal, b_i += w g_i / I_ii with w = (k - 1) / k (the exact step when
// all items are alike), sped up by Anderson's acceleration and worked out
// in double, for as long as each step is at most half the one before. Then Newton's steps with the
// whole matrix at the current estimates, each at most 2 logits long and
// halved while it lowers the likelihood and overshoots the line's maximum
// by half again, until the largest change is below RASCH_TOLERANCE; the
// standard errors come from that last matrix. Yields the number of steps of
// both kinds, or -1 when RASCH_ITERATION_LIMIT Newton steps were not enough
// or the figures broke down (a step not finite, a matrix not positive
// definite).
std::int32_t calibrate(const Problem& problem, std::vector<Real>& b, std::vector<Real>& se) {
    const std::int32_t k = problem.k;
    Real sheets = 0;
    for (Real n : problem.weights) sheets += n;
    // Start from the log odds of a wrong answer.
    b.resize(k);
    for (std::int32_t i = 0; i < k; ++i)
        b[i] = static_cast<Real>(
            std::log(static_cast<double>((sheets - problem.right[i]) / problem.right[i])));
    centre(b);
    std::int32_t steps = 0;
    Evaluation<double> close;
    evaluate(problem, b, false, close);
    std::vector<Real> change(k);
    const Real weight = static_cast<Real>(k - 1) / k;
    Real previous = 0;
    Accelerator accelerator;
    for (std::int32_t step = 0; step < DIAGONAL_STEPS; ++step) {
        for (std::int32_t i = 0; i < k; ++i)
            change[i] = weight * (close.expected[i] - problem.right[i]) / close.information[i];
        const Real largest = largest_of(change);
        if (!(largest >= RASCH_TOLERANCE / 16) || (step > 0 && largest > previous / 2)) break;
        accelerator.next(b, change);
        centre(b);
        evaluate(problem, b, false, close);
        previous = largest;
        ++steps;
    }

    std::vector<Real> gradient(k);
    Evaluation<Real> at;
    Evaluation<Real> next;
    std::vector<Real> trial(k);
    for (std::int32_t step = 0; step < RASCH_ITERATION_LIMIT; ++step) {
        evaluate(problem, b, true, at);
        Triangle matrix = information_matrix(problem, at);
        Real trace = 0;
        for (std::int32_t i = 0; i < k; ++i) trace += at.information[i];
        const double shift = static_cast<double>(trace / k / k);
        if (!factor(matrix, shift)) return -1;
        for (std::int32_t i = 0; i < k; ++i) gradient[i] = at.expected[i] - problem.right[i];
        change = solve(matrix, gradient);
        const Real largest = largest_of(change);
        ++steps;
        if (!std::isfinite(largest)) return -1;
        if (largest < RASCH_TOLERANCE) {
            for (std::int32_t i = 0; i < k; ++i) b[i] += change[i];
            centre(b);
            const std::vector<Real> diagonal = inverse_diagonal(matrix);
            se.resize(k);
            const Real constant = 1 / (static_cast<Real>(shift) * k * k);
            for (std::int32_t i = 0; i < k; ++i) se[i] = sqrt_of(diagonal[i] - constant);
            return steps;
        }
        // The slope of the log likelihood along the step, here and at the trial.
        Real slope = 0;
        for (std::int32_t i = 0; i < k; ++i) slope += gradient[i] * change[i];
        Real scale = largest > 2 ? 2 / largest : 1;
        for (std::int32_t halving = 0;; ++halving) {
            for (std::int32_t i = 0; i < k; ++i) trial[i] = b[i] + scale * change[i];
            centre(trial);
            evaluate(problem, trial, false, next);
            Real trial_slope = 0;
            for (std::int32_t i = 0; i < k; ++i)
                trial_slope += (next.expected[i] - problem.right[i]) * change[i];
            if (next.log_likelihood >= at.log_likelihood || trial_slope >= -slope / 2 ||
                halving == 30)
                break;
            scale /= 2;
        }
        b = trial;
    }
    return -1;
}

// The maximum-likelihood measure of a (possibly fractional) raw score on
// items of easiness exp(b_i): the theta where the expected score
// sum 1 / (1 + exp(b_i - theta)) equals `score`, and the information
// sum PQ there. The expected score rises with theta, so Newton's steps are
// kept inside the bracket that the evaluations so far have set (halving it
// when a step would leave it) and at most 2 logits long. False when no step
// falls below the tolerance within 200 evaluations.
bool person_measure(const std::vector<Real>& easiness, Real score, Real start, Real& theta,
                    Real& information) {
    bool has_low = false, has_high = false;
    Real low = 0, high = 0;
    theta = start;
    for (int evaluation = 0; evaluation < 200; ++evaluation) {
        const Real w = exp_of(-theta);
        Real expected = 0;
        information = 0;
        for (Real e : easiness) {
            const Real x = e * w;
            const Real p = 1 / (1 + x);
            expected += p;
            information += p * (x * p);
        }
        const Real excess = expected - score;
        if (excess < 0) {
            has_low = true;
            low = theta;
        } else {
            has_high = true;
            high = theta;
        }
        Real step = -excess / information;
        if (step > 2) step = 2;
        if (step < -2) step = -2;
        Real next = theta + step;
        if (has_low && has_high && (next <= low || next >= high)) next = (low + high) / 2;
        if (std::fabs(next - theta) < 1e-12L) {
            theta = next;
            return true;
        }
        theta = next;
    }
    return false;
}

// The Wilson-Hilferty cube-root transform of a mean square with standard
// deviation q to a standard normal deviate; absent when q is 0 (every
// chance exactly 1/2, so that the mean square cannot vary).
std::optional<long double> standardised(Real mean_square, Real q) {
    if (!(q > 0)) return std::nullopt;
    return (static_cast<Real>(std::cbrt(static_cast<double>(mean_square))) - 1) * (3 / q) + q / 3;
}

// (observed variance - mean error variance) / observed variance, from the
// sum of squared deviations and the sum of squared errors of `count`
// measures; the observed variance divides by count - 1. Absent for fewer
// than two measures or no spread.
std::optional<long double> separation_reliability(Real squares, Real errors, Real count) {
    if (count < 2 || !(squares > 0)) return std::nullopt;
    const Real variance = squares / (count - 1);
    return (variance - errors / count) / variance;
}

} // namespace

RaschCounts rasch_counts(const ResponseMatrix& matrix) {
    RaschCounts counts;
    counts.items = matrix.items;
    const auto k = static_cast<std::size_t>(matrix.items);
    counts.sheets.assign(k + 1, 0);
    counts.right.assign((k + 1) * k, 0);
    const unsigned char* cell = matrix.cells.data();
    for (std::int32_t s = 0; s < matrix.sheets; ++s, cell += k) {
        std::int32_t total = 0;
        for (std::size_t i = 0; i < k; ++i) total += cell[i] >> 7;
        ++counts.sheets[total];
        std::int32_t* right = &counts.right[static_cast<std::size_t>(total) * k];
        for (std::size_t i = 0; i < k; ++i) right[i] += cell[i] >> 7;
    }
    return counts;
}

const char* rasch_note_text(RaschNote note) {
    switch (note) {
    case RaschNote::all_right: return "every sheet right";
    case RaschNote::all_wrong: return "every sheet wrong";
    case RaschNote::none: break;
    }
    return "";
}

RaschAnalysis rasch_analysis(const RaschCounts& counts,
                             const std::vector<std::int32_t>& question_numbers) {
    RaschAnalysis result;
    const std::int32_t items = counts.items;
    const auto k_all = static_cast<std::size_t>(items);
    std::int64_t sheets = 0;
    for (std::int32_t n : counts.sheets) sheets += n;
    result.items.resize(k_all);
    result.scores.resize(k_all + 1);
    for (std::size_t r = 0; r <= k_all; ++r) result.scores[r].sheets = counts.sheets[r];

    // Questions right or wrong on every sheet carry no information on the
    // others: the rest is calibrated, on raw scores less the always-right.
    std::vector<std::int64_t> right_total(k_all, 0);
    for (std::size_t r = 0; r <= k_all; ++r)
        for (std::size_t i = 0; i < k_all; ++i) right_total[i] += counts.right[r * k_all + i];
    std::vector<std::int32_t> calibrated;
    std::int32_t always_right = 0;
    for (std::int32_t i = 0; i < items; ++i) {
        if (right_total[i] == sheets) {
            result.items[i].note = RaschNote::all_right;
            ++always_right;
        } else if (right_total[i] == 0) {
            result.items[i].note = RaschNote::all_wrong;
        } else {
            calibrated.push_back(i);
        }
    }
    const auto k = static_cast<std::int32_t>(calibrated.size());
    if (k < 2) {
        result.message = "fewer than two questions with both right and wrong answers";
        return result;
    }

    // The sheets with a score between the extremes on the calibrated items.
    Problem problem;
    problem.k = k;
    problem.right.assign(k, 0);
    for (std::int32_t r = 1; r < k; ++r) {
        const std::size_t full = static_cast<std::size_t>(r + always_right);
        const std::int32_t n = counts.sheets[full];
        if (n == 0) continue;
        problem.scores.push_back(r);
        problem.weights.push_back(static_cast<Real>(n));
        result.persons += n;
        for (std::int32_t c = 0; c < k; ++c)
            problem.right[c] += counts.right[full * k_all + calibrated[c]];
    }
    if (result.persons == 0) {
        result.message = "no sheet with a score between the extremes";
        return result;
    }

    // The conditional likelihood has a finite maximum only when the right
    // answers of no group of m questions reach the most those sheets allow,
    // the sum over the sheets of min(score, m): at that most, every sheet
    // that has any other question right has all m right, and the group's
    // measures fall without end against the others'. The questions with the
    // most right answers make the largest group sums.
    {
        std::vector<std::int32_t> order(k);
        for (std::int32_t c = 0; c < k; ++c) order[c] = c;
        std::stable_sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) {
            return problem.right[x] > problem.right[y];
        });
        Real group = 0;
        for (std::int32_t m = 1; m < k; ++m) {
            group += problem.right[order[m - 1]];
            Real most = 0;
            for (std::size_t row = 0; row < problem.scores.size(); ++row)
                most += problem.weights[row] * std::min(problem.scores[row], m);
            if (group < most) continue;
            char text[200];
            if (m == 1)
                std::snprintf(text, sizeof text,
                              "question %d is right on every sheet with a score between the "
                              "extremes",
                              question_numbers[calibrated[order[0]]]);
            else if (m == k - 1)
                std::snprintf(text, sizeof text,
                              "question %d is wrong on every sheet with a score between the "
                              "extremes",
                              question_numbers[calibrated[order[k - 1]]]);
            else
                std::snprintf(text, sizeof text,
                              "the %d questions with the most right answers are right on every "
                              "sheet that has any other question right",
                              m);
            result.message = text;
            return result;
        }
    }

    std::vector<Real> b;
    std::vector<Real> se;
    result.iterations = calibrate(problem, b, se);
    bool finite = result.iterations >= 0;
    for (std::int32_t c = 0; finite && c < k; ++c)
        finite = std::isfinite(b[c]) && std::isfinite(se[c]);
    if (!finite) {
        char text[200];
        std::snprintf(text, sizeof text, "the calibration did not settle in %d Newton steps",
                      RASCH_ITERATION_LIMIT);
        result.message = text;
        result.iterations = 0;
        return result;
    }
    result.calibrated = k;

    // Person measures of every score on the calibrated items, lowest first.
    std::vector<Real> easiness(k);
    for (std::int32_t c = 0; c < k; ++c) easiness[c] = exp_of(b[c]);
    std::vector<Real> theta(static_cast<std::size_t>(k) + 1);
    std::vector<Real> theta_se(static_cast<std::size_t>(k) + 1);
    Real start = 0;
    for (std::int32_t r = 0; r <= k; ++r) {
        const Real score = r == 0   ? RASCH_EXTREME_OFFSET
                           : r == k ? k - RASCH_EXTREME_OFFSET
                                    : static_cast<Real>(r);
        Real information = 0;
        if (!person_measure(easiness, score, start, theta[r], information)) {
            result.message = "a person measure did not settle";
            result.calibrated = 0;
            return result;
        }
        theta_se[r] = 1 / sqrt_of(information);
        start = theta[r];
        RaschScore& row = result.scores[static_cast<std::size_t>(r + always_right)];
        row.extreme = r == 0 || r == k;
        row.measure = theta[r];
        row.se = theta_se[r];
    }

    // Item fit over the sheets with a score between the extremes, each at
    // its score's measure: per sheet and item the squared residual
    // (x - P)^2, its variance V = PQ and kurtosis C = PQ (P^3 + Q^3);
    // outfit = mean of (x - P)^2 / V, infit = sum (x - P)^2 / sum V, each
    // standardised by the cube-root transform with
    //   q_out^2 = sum (C / V^2) / n^2 - 1 / n,  q_in^2 = sum (C - V^2) / (sum V)^2.
    std::vector<Real> outfit_sum(k, 0), outfit_var(k, 0), infit_sum(k, 0), infit_den(k, 0),
        infit_var(k, 0);
    for (std::size_t row = 0; row < problem.scores.size(); ++row) {
        const std::int32_t r = problem.scores[row];
        const Real n = problem.weights[row];
        const std::size_t full = static_cast<std::size_t>(r + always_right);
        const Real w = exp_of(-theta[r]);
        for (std::int32_t c = 0; c < k; ++c) {
            const Real x = easiness[c] * w; // exp(b - theta) = Q / P
            const Real p = 1 / (1 + x);
            const Real q = x / (1 + x);
            const Real v = p * q;
            const Real right = counts.right[full * k_all + calibrated[c]];
            const Real wrong = n - right;
            outfit_sum[c] += right * x + wrong / x;
            infit_sum[c] += right * q * q + wrong * p * p;
            infit_den[c] += n * v;
            const Real cubes = p * p * p + q * q * q;
            outfit_var[c] += n * cubes / v;
            infit_var[c] += n * (v * cubes - v * v);
        }
    }
    const auto persons = static_cast<Real>(result.persons);
    for (std::int32_t c = 0; c < k; ++c) {
        RaschItem& item = result.items[calibrated[c]];
        item.measure = b[c];
        item.se = se[c];
        const Real outfit = outfit_sum[c] / persons;
        const Real infit = infit_sum[c] / infit_den[c];
        item.outfit = outfit;
        item.infit = infit;
        const Real q_out = sqrt_of(outfit_var[c] / (persons * persons) - 1 / persons);
        const Real q_in = sqrt_of(infit_var[c] / (infit_den[c] * infit_den[c]));
        item.outfit_z = standardised(outfit, q_out);
        item.infit_z = standardised(infit, q_in);
    }

    // Separation reliabilities: (observed variance - mean error variance)
    // / observed variance, of the non-extreme sheets' measures and of the
    // calibrated questions' measures.
    {
        Real sum = 0, squares = 0, errors = 0;
        for (std::size_t row = 0; row < problem.scores.size(); ++row) {
            const std::int32_t r = problem.scores[row];
            const Real n = problem.weights[row];
            sum += n * theta[r];
            errors += n * theta_se[r] * theta_se[r];
        }
        const Real mean = sum / persons;
        for (std::size_t row = 0; row < problem.scores.size(); ++row) {
            const Real d = theta[problem.scores[row]] - mean;
            squares += problem.weights[row] * d * d;
        }
        result.person_reliability = separation_reliability(squares, errors, persons);
    }
    {
        Real squares = 0, errors = 0;
        for (std::int32_t c = 0; c < k; ++c) {
            squares += b[c] * b[c];
            errors += se[c] * se[c];
        }
        result.item_reliability = separation_reliability(squares, errors, static_cast<Real>(k));
    }
    return result;
}

} // namespace quillmark
