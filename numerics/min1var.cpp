#include "numerics/min1var.h"

#include <cmath>
#include <cstdio>

#include "stats/running_stats.h"

namespace quillmark {

std::int32_t trace_level = 0;
std::int32_t objective_evaluations = 0;
std::int32_t min1var_iteration_limit = 70;

namespace {

const char* const kName = "min1var";

// Stores the trial point into the caller's variable, evaluates, and counts
// the evaluation (the counter wraps instead of overflowing).
long double evaluate(ObjectiveFn objective, void* context, long double* variable,
                     long double point) {
    *variable = point;
    long double value = objective(context);
    count_up(objective_evaluations);
    return value;
}

// Splits the half between the middle and the end (xe, fe) at its midpoint.
// A lower midpoint becomes the middle and the old middle the opposite end
// (xo, fo); otherwise the midpoint becomes the end. Yields false, evaluating
// nothing, when the midpoint equals an end or is not finite (an end outside
// the number range, or a sum that overflowed): the bracket cannot narrow.
bool split_half(ObjectiveFn objective, void* context, long double* variable, long double& xm,
                long double& fm, long double& xe, long double& fe, long double& xo,
                long double& fo) {
    const long double p = (xm + xe) * 0.5L;
    if (p == xm || p == xe || !std::isfinite(p)) {
        return false;
    }
    const long double fp = evaluate(objective, context, variable, p);
    if (fp < fm) {
        xo = xm;
        fo = fm;
        xm = p;
        fm = fp;
    } else {
        xe = p;
        fe = fp;
    }
    return true;
}

} // namespace

long double min1var(ObjectiveFn objective, void* context, long double tolerance,
                    long double* variable, long double* step) {
    const long double x0 = *variable;
    long double s = *step;
    const long double a = std::fabs(x0);
    if (s == 0) {
        s = static_cast<long double>(0.2) * a;
    } else if (s < static_cast<long double>(0.000001) * a) {
        s = static_cast<long double>(0.000001) * a;
    }
    if (s == 0) {
        s = 1;
    }

    long double xm = x0;
    long double fm = evaluate(objective, context, variable, xm);

    // Walk left while the objective falls. A probe outside the finite range
    // ends the walk whatever its value, so an ever-falling objective cannot
    // keep the walk going.
    long double xl;
    long double fl;
    for (;;) {
        xl = xm - s;
        fl = evaluate(objective, context, variable, xl);
        if (!(fl < fm) || !std::isfinite(xl)) {
            break;
        }
        if (trace_level >= 3) {
            std::printf("  left %f, %f\n", static_cast<double>(xl), static_cast<double>(fl));
        }
        xm = xl;
        fm = fl;
        s = 2 * s;
    }

    // Walk right from the current middle with the current step.
    long double xr;
    long double fr;
    for (;;) {
        xr = xm + s;
        fr = evaluate(objective, context, variable, xr);
        if (!(fr < fm) || !std::isfinite(xr)) {
            break;
        }
        if (trace_level >= 3) {
            std::printf("  right %f, %f\n", static_cast<double>(xr), static_cast<double>(fr));
        }
        xl = xm;
        fl = fm;
        xm = xr;
        fm = fr;
        s = 2 * s;
    }

    if (trace_level >= 2) {
        std::printf("lv,var,rv=%f, %f, %f.  foms: %f, %f, %f\n", static_cast<double>(xl),
                    static_cast<double>(xm), static_cast<double>(xr), static_cast<double>(fl),
                    static_cast<double>(fm), static_cast<double>(fr));
    }

    // Halve the half on the side of the higher end value; the middle keeps
    // the lowest value found, a new point taking its place only when lower.
    bool finished = false;
    for (std::int32_t i = 0; i < min1var_iteration_limit; ++i) {
        const bool split_right = fr >= fl;
        if (!split_half(objective, context, variable, xm, fm, split_right ? xr : xl,
                        split_right ? fr : fl, split_right ? xl : xr, split_right ? fl : fr)) {
            std::fprintf(stderr, "%s.%d Exceeded resolution\n", kName, 1111);
            finished = true;
            break;
        }

        const long double fh = fl > fr ? fl : fr;
        bool converged;
        if (fm != 0) {
            converged = std::fabs((fh - fm) / fm) < tolerance;
        } else if (xm != 0) {
            converged = std::fabs((xr - xl) / xm) < tolerance;
        } else {
            converged = xr - xl < tolerance;
        }
        if (converged) {
            finished = true;
            break;
        }
    }
    if (!finished) {
        std::fprintf(stderr, "%s.%d: failed to converge\n", kName, 1107);
    }

    *step = std::fabs(xm - x0);
    *variable = xm;
    return fm;
}

} // namespace quillmark
