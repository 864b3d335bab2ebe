// Simulated cohorts for trying the answer-similarity screen: students of
// normal ability answer items of varied difficulty, discrimination and
// guessing; wrong answers fall on distractors whose pull depends on
// ability; some answers are left blank; and chosen students copy part of
// another's answers, a consecutive run or a scattered subset.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "analyze/item_statistics.h"

namespace quillmark {

struct CohortSettings {
    std::int32_t sheets = 0;
    std::int32_t items = 0;
    std::int32_t options = 4;   // letters A, B, ...
    std::int32_t room_size = 0; // sheets per room, the last room the rest; 0: one room
    double blank = 0.02;        // chance of leaving an answer blank
    std::uint64_t seed = 1;
    double ability = 0; // the students' mean ability (the items' difficulty: mean 0, sd 1)
};

// One planted copying: `copier` took the source's answer on `items`.
struct Copying {
    std::int32_t copier = 0;
    std::int32_t source = 0;
    std::vector<std::int32_t> items;
};

struct Cohort {
    std::int32_t sheets = 0;
    std::int32_t items = 0;
    std::vector<unsigned char> answers; // [sheet * items + item]: option code or NO_MARK
    std::vector<unsigned char> key;     // the right option of each item
    std::vector<std::int32_t> room;     // each sheet's room, from 0
    std::vector<Copying> copyings;
    std::mt19937_64 random;
};

// A cohort without copying.
Cohort simulate_cohort(const CohortSettings& settings);

// Plants `count` copiers, each copying `fraction` of the items (rounded)
// from another sheet of its room, as one consecutive run at a random place
// or as a random subset. No sheet copies or is copied twice.
void plant_copiers(Cohort& cohort, std::int32_t count, double fraction, bool consecutive);

// The cohort as the analyser holds a form: answer bytes with RIGHT_BIT on
// right answers, the key's letter the only accepted one.
ResponseMatrix cohort_matrix(const Cohort& cohort);

} // namespace quillmark
