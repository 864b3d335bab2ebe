#include "numerics/minnvar.h"

#include <cmath>
#include <cstdio>

namespace quillmark {

std::int32_t minnvar_iteration_limit = 100;
std::int32_t minnvar_status = 0;

long double minnvar(ObjectiveFn objective, void* context, long double tolerance, std::int32_t n,
                    long double* x, long double* steps) {
    long double t = static_cast<long double>(0.1);
    long double fprev = objective(context);
    // The value at the current point: each line search leaves its value
    // here, and with nothing to search it stays the starting value.
    long double f = fprev;

    for (std::int32_t k = 1; k < minnvar_iteration_limit; ++k) {
        for (std::int32_t j = 0; j < n; ++j) {
            if (steps[j] >= 0) {
                f = min1var(objective, context, t, &x[j], &steps[j]);
            }
        }

        long double r;
        if (f != 0) {
            r = std::fabs((f - fprev) / f);
        } else {
            r = fprev == 0 ? 0 : 1;
        }
        if (r < t) {
            if (t <= static_cast<long double>(1.01) * tolerance) {
                minnvar_status = 0;
                return f;
            }
            t = 0.1L * t;
            if (t < tolerance) {
                t = tolerance;
            }
        }
        fprev = f;

        if (trace_level >= 1) {
            std::printf("minn iter %d:", k);
            for (std::int32_t j = 0; j < n; ++j) {
                std::printf(" %6.6Lg", x[j]);
            }
            std::printf(", fom %6.6Lg\n", f);
        }
    }

    std::fprintf(stderr, "%s: failed to converge\n", "minnvar");
    minnvar_status = -1;
    return f;
}

namespace {

const std::int32_t kMaxGridVariables = 8;

// Places the point of the grid position `index` into `point`. A variable
// with fewer than two grid points stays at its low end.
void place_grid_point(long double* point, const long double* low, const long double* high,
                      const std::int32_t* counts, const std::int32_t* index, std::int32_t n) {
    for (std::int32_t j = 0; j < n; ++j) {
        if (counts[j] < 2) {
            point[j] = low[j];
        } else {
            point[j] = (high[j] - low[j]) * static_cast<long double>(index[j]) /
                           static_cast<long double>(counts[j] - 1) +
                       low[j];
        }
    }
}

} // namespace

long double grid_search(ObjectiveFn objective, long double* point, const long double* low,
                        const long double* high, const std::int32_t* counts, std::int32_t n) {
    if (n < 1 || n > kMaxGridVariables) {
        return 1e9;
    }
    std::int32_t index[kMaxGridVariables] = {};
    std::int32_t best_index[kMaxGridVariables] = {};

    for (std::int32_t j = 0; j < n; ++j) {
        point[j] = low[j];
    }
    long double best = objective(point);
    for (std::int32_t j = 0; j < n; ++j) {
        std::printf("%.3Lf  ", point[j]);
    }
    std::printf(",  %.3Lf\n", best);

    for (;;) {
        // Advance like an odometer, the last variable fastest; a carry out
        // of variable 0 means every grid point has been visited.
        std::int32_t j = n - 1;
        for (; j >= 0; --j) {
            ++index[j];
            if (index[j] < counts[j]) {
                break;
            }
            index[j] = 0;
        }
        if (j < 0) {
            break;
        }

        place_grid_point(point, low, high, counts, index, n);
        const long double f = objective(point);
        if (f < 10) {
            std::printf("%.3Lf  %.3Lf  %.3Lf  %.3Lf  %.3Lf,  %8.2Lf\n", point[0], point[1],
                        point[2], point[3], point[4], f);
        }
        if (f < best) {
            best = f;
            for (std::int32_t i = 0; i < n; ++i) {
                best_index[i] = index[i];
            }
        }
    }

    place_grid_point(point, low, high, counts, best_index, n);
    return best;
}

} // namespace quillmark
