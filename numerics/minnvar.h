// Many-variable minimisers without derivatives: coordinate sweeps of
// min1var with a tightening inner tolerance, and an exhaustive search over a
// rectangular grid of up to eight variables. All arithmetic is 80-bit
// extended; trace lines go to standard output.
#pragma once

#include <cstdint>

// From this header's own folder, in the source tree as where it is installed.
#include "min1var.h"

namespace quillmark {

// Bound on the sweep counter of minnvar, which starts at 1: sweeps run while
// the counter is below it, so at most 99 sweeps by default. Initially 100.
extern std::int32_t minnvar_iteration_limit;
// Outcome of the last minnvar call: 0 converged, -1 failed to converge.
extern std::int32_t minnvar_status;

// Minimises `objective` over the n extended values of x (the starting point
// on entry, the best point on return) by sweeping min1var along each free
// variable in turn; the objective must read x, reaching it through `context`
// or otherwise. A negative steps[j] holds x[j] fixed (variable and step are
// left as they are); otherwise steps[j] is its first step (0 lets min1var
// choose) and receives the distance its last line search moved it. The
// inner tolerance starts at 0.1 and is tightened tenfold, never below
// `tolerance`, after each sweep whose relative change is below it; the call
// converges at such a sweep once it is within 1.01 * tolerance. Prints
// "minn iter" lines when trace_level >= 1. Returns the objective's value at
// x. Sets minnvar_status; after the sweep limit it writes
// "minnvar: failed to converge" to standard error and returns the current
// point's value. With nothing free (n = 0 or every step negative) the sweeps
// settle on the starting value, which is returned, with status 0 once the
// inner tolerance has come down to `tolerance`.
long double minnvar(ObjectiveFn objective, void* context, long double tolerance, std::int32_t n,
                    long double* x, long double* steps);

// Evaluates `objective`, called with `point` as its argument, at every point
// of the grid spanned by low[j] to high[j] (both included) with counts[j]
// points along variable j, the last variable fastest. Prints a start line
// for the low corner and a trace line for every later point whose value is
// below 10, showing point[0] to point[4] (so `point` must hold at least five
// values). Writes the best point (the first of equal lowest values) into
// `point` and returns its value. A count below 2 keeps that variable at
// low[j]. With n outside 1 to 8 it returns 1e9 and does nothing else.
long double grid_search(ObjectiveFn objective, long double* point, const long double* low,
                        const long double* high, const std::int32_t* counts, std::int32_t n);

} // namespace quillmark
