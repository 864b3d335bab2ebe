// One-variable minimiser: walks downhill with a doubling step until a local
// minimum of the caller's objective is bracketed by three points, then halves
// the bracket around the lowest point until the objective's spread over the
// bracket is small relative to its value. No derivatives are needed. All
// arithmetic is 80-bit extended.
#pragma once

#include <cstdint>

namespace quillmark {

// An objective function: takes the caller's context (a pointer-sized value
// that the minimisers only pass on) and returns the figure of merit; lower
// is better.
using ObjectiveFn = long double (*)(void* context);

// Minimiser settings, shared with minnvar; the caller may change them
// between calls.
// Verbosity: min1var prints its bracket line from 2 up and its bracketing
// steps from 3 up (standard output). Initially 0.
extern std::int32_t trace_level;
// Raised by one at every objective evaluation min1var makes; never reset by
// the toolkit; counted modulo 2^32, so it turns negative after 2^31
// evaluations and comes back to 0 after 2^32. Initially 0.
extern std::int32_t objective_evaluations;
// The most halving iterations of one min1var call. Initially 70.
extern std::int32_t min1var_iteration_limit;

// Minimises `objective` along the extended value at `variable`, which holds
// the starting point on entry; before every evaluation the trial point is
// stored there, so the objective must read the variable from that place.
// `*step` is the first step length (0 lets min1var choose one). On return
// `*variable` holds the best point found, `*step` its distance from the
// starting point, and the result is the objective's value there. Running out
// of number resolution ("min1var.1111 Exceeded resolution") or of halving
// iterations ("min1var.1107: failed to converge") is reported on standard
// error only; the best point is returned all the same.
//
// The best point is the starting point or a later finite trial point,
// whichever gave the lowest value first. A NaN value is never lower than
// anything, so a NaN at the starting point keeps the start as the result,
// with NaN as its value. A walk also ends at a probe that is not finite (the
// objective kept falling until the doubling step left the number range, at
// most some 33 000 probes per walk); such a probe may end the bracket but is
// never taken as the best point, and a midpoint that is not finite ends the
// halving with the resolution message. So every call ends, with at most
// both walks plus min1var_iteration_limit halvings of evaluations.
long double min1var(ObjectiveFn objective, void* context, long double tolerance,
                    long double* variable, long double* step);

} // namespace quillmark
