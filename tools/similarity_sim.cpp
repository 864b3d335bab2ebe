// similarity_sim: tries the answer-similarity screen on simulated cohorts.
//
//   similarity_sim measure [replicates [scenario 1-5]]
//       false pairs on clean cohorts and the share of planted copiers found,
//       in the cohorts the screen is meant for (2,000 sheets of 80 questions
//       of 4 options, as one family and in rooms of 40);
//   similarity_sim calibrate [replicates [room size [show]]]
//       on clean cohorts of 2,000 x 80, the pairs whose tails fall at or
//       below 1e-4 ... 1e-9, against the number an exact null model allows
//       (the ordered pairs times the level): where the counts exceed it, the
//       model is optimistic in its tail; `show` also lists the pairs below
//       1e-6 with their evidence;
//   similarity_sim time <sheets> <questions> <room size, 0: one family> [threads [seed]]
//       the screen's wall time on a clean cohort, pruned;
//   similarity_sim compare <sheets> <questions> <room size> <seed>
//       pruned and exhaustive screens of a cohort with copiers: same lists?
//   similarity_sim sheets <sheets> <questions> <room size> <copiers> <fraction> <run|random> <seed>
//       a sheet file for quillmark on standard output (one key sheet, form A,
//       the room number as the exam number); the planted pairs on standard
//       error, one "copier source" line of student IDs each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <utility>

#include "analyze/similarity.h"
#include "tools/cohort.h"

namespace {

using namespace quillmark;

struct Counts {
    std::int64_t planted = 0, found = 0, false_pairs = 0, families = 0, families_with_false = 0;
};

// Screens a cohort and counts planted pairs found (either direction listed
// family-wise) and other pairs listed.
void tally(const Cohort& cohort, Counts& counts) {
    const ResponseMatrix matrix = cohort_matrix(cohort);
    const ScreenResult result = screen_form(matrix, cohort.room, ScreenSettings{});
    std::set<std::pair<std::int32_t, std::int32_t>> planted;
    for (const Copying& c : cohort.copyings) {
        planted.insert({std::min(c.copier, c.source), std::max(c.copier, c.source)});
    }
    std::set<std::pair<std::int32_t, std::int32_t>> found;
    std::set<std::int32_t> false_families;
    for (const ScreenedPair& pair : result.pairs) {
        const std::pair<std::int32_t, std::int32_t> key{std::min(pair.evidence.copier,
                                                                 pair.evidence.source),
                                                        std::max(pair.evidence.copier,
                                                                 pair.evidence.source)};
        if (planted.count(key)) {
            found.insert(key);
        } else if (found.insert(key).second) {
            ++counts.false_pairs;
            false_families.insert(pair.family);
        }
    }
    std::int32_t families = 0;
    for (std::int32_t r : cohort.room) families = std::max(families, r + 1);
    counts.families += families;
    counts.families_with_false += static_cast<std::int64_t>(false_families.size());
    counts.planted += static_cast<std::int64_t>(planted.size());
    for (const auto& key : planted) counts.found += found.count(key) ? 1 : 0;
}

void scenario(const char* title, std::int32_t room_size, std::int32_t copiers, double fraction,
              bool consecutive, int replicates) {
    Counts counts;
    for (int r = 0; r < replicates; ++r) {
        CohortSettings settings;
        settings.sheets = 2000;
        settings.items = 80;
        settings.room_size = room_size;
        settings.seed =
            1000 + static_cast<std::uint64_t>(r) * 7919 + static_cast<std::uint64_t>(room_size);
        Cohort cohort = simulate_cohort(settings);
        if (copiers > 0) plant_copiers(cohort, copiers, fraction, consecutive);
        tally(cohort, counts);
    }
    std::printf("%s: %d cohorts", title, replicates);
    if (counts.planted > 0)
        std::printf(", %lld of %lld copier pairs found (%.1f%%)",
                    static_cast<long long>(counts.found), static_cast<long long>(counts.planted),
                    100.0 * static_cast<double>(counts.found) /
                        static_cast<double>(counts.planted));
    std::printf(", %lld false pairs, in %lld of %lld families\n",
                static_cast<long long>(counts.false_pairs),
                static_cast<long long>(counts.families_with_false),
                static_cast<long long>(counts.families));
    std::fflush(stdout);
}

// Every scenario, or only the one numbered `only` (1 to 5).
int measure(int replicates, int only) {
    if (only == 0 || only == 1) scenario("clean, one family of 2000", 0, 0, 0, false, replicates);
    if (only == 0 || only == 2) scenario("clean, rooms of 40", 40, 0, 0, false, replicates);
    if (only == 0 || only == 3)
        scenario("rooms of 40, consecutive 30%", 40, 50, 0.3, true, replicates);
    if (only == 0 || only == 4) scenario("rooms of 40, random 40%", 40, 50, 0.4, false, replicates);
    if (only == 0 || only == 5)
        scenario("one family of 2000, consecutive 40%", 0, 20, 0.4, true, replicates);
    return 0;
}

// One pair's evidence on a line, after `label`.
void print_evidence(const std::string& label, const PairEvidence& e) {
    std::printf("  %s%d->%d scores %d,%d matches %d (%.1f) wrong %d (%.1f) run %d p %.3g %.3g\n",
                label.c_str(), e.copier, e.source, e.copier_score, e.source_score, e.matches,
                e.expected_matches, e.identical_wrong, e.expected_identical_wrong, e.run,
                e.p_weighted, e.p_run);
}

int calibrate(int replicates, std::int32_t room_size, bool show) {
    constexpr int LEVELS = 6; // 1e-4 down to 1e-9
    std::int64_t weighted[LEVELS] = {}, run[LEVELS] = {}, either[LEVELS] = {};
    double pairs = 0;
    for (int r = 0; r < replicates; ++r) {
        CohortSettings settings;
        settings.sheets = 2000;
        settings.items = 80;
        settings.room_size = room_size;
        settings.seed = 5000 + static_cast<std::uint64_t>(r) * 7919;
        const Cohort cohort = simulate_cohort(settings);
        const ResponseMatrix matrix = cohort_matrix(cohort);
        ScreenSettings screen;
        // Every pair whose p-value (twice the smaller tail) is at most 2e-4:
        // the first room is the largest (the last holds the rest).
        const double largest = room_size > 0 ? room_size : settings.sheets;
        screen.alpha = 2e-4 * largest * (largest - 1);
        const ScreenResult result = screen_form(matrix, cohort.room, screen);
        pairs += static_cast<double>(result.ordered_pairs);
        for (const ScreenedPair& pair : result.pairs) {
            const PairEvidence& e = pair.evidence;
            if (show && e.p <= 2e-6) print_evidence(std::to_string(r) + ": ", e);
            double level = 1e-4;
            for (int l = 0; l < LEVELS; ++l, level /= 10) {
                weighted[l] += e.p_weighted <= level;
                run[l] += e.p_run <= level;
                either[l] += e.p <= 2 * level;
            }
        }
    }
    std::printf("%d clean cohorts of 2000 x 80, rooms of %d: %.0f ordered pairs\n", replicates,
                room_size, pairs);
    std::printf("%8s %10s %10s %10s %10s\n", "level", "allowed", "weighted", "run", "p/2");
    double level = 1e-4;
    for (int l = 0; l < LEVELS; ++l, level /= 10)
        std::printf("%8.0e %10.1f %10lld %10lld %10lld\n", level, pairs * level,
                    static_cast<long long>(weighted[l]), static_cast<long long>(run[l]),
                    static_cast<long long>(either[l]));
    return 0;
}

int time_screen(std::int32_t sheets, std::int32_t items, std::int32_t room_size,
                std::int32_t threads, std::uint64_t seed) {
    CohortSettings settings;
    settings.sheets = sheets;
    settings.items = items;
    settings.room_size = room_size;
    settings.seed = seed;
    const Cohort cohort = simulate_cohort(settings);
    const ResponseMatrix matrix = cohort_matrix(cohort);
    ScreenSettings screen;
    screen.threads = threads;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    const ScreenResult result = screen_form(matrix, cohort.room, screen);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    std::printf(
        "%d sheets x %d questions, rooms of %d: %.2f s wall, %.2f s processor, %lld ordered pairs, "
        "%lld evaluated, %zu listed\n",
        sheets, items, room_size, seconds, cpu, static_cast<long long>(result.ordered_pairs),
        static_cast<long long>(result.evaluated), result.pairs.size());
    for (const ScreenedPair& pair : result.pairs) {
        print_evidence("", pair.evidence);
    }
    return 0;
}

int compare(std::int32_t sheets, std::int32_t items, std::int32_t room_size, std::uint64_t seed) {
    CohortSettings settings{sheets, items, 4, room_size, 0.02, seed};
    Cohort cohort = simulate_cohort(settings);
    plant_copiers(cohort, sheets / 20, 0.3, true);
    plant_copiers(cohort, sheets / 20, 0.4, false);
    const ResponseMatrix matrix = cohort_matrix(cohort);
    ScreenSettings pruned;
    pruned.exploratory = true;
    ScreenSettings full = pruned;
    full.prune = false;
    const ScreenResult a = screen_form(matrix, cohort.room, pruned);
    const ScreenResult b = screen_form(matrix, cohort.room, full);
    bool same = a.pairs.size() == b.pairs.size();
    for (std::size_t i = 0; same && i < a.pairs.size(); ++i)
        same = a.pairs[i].evidence.copier == b.pairs[i].evidence.copier &&
               a.pairs[i].evidence.source == b.pairs[i].evidence.source &&
               a.pairs[i].evidence.p == b.pairs[i].evidence.p &&
               a.pairs[i].exploratory == b.pairs[i].exploratory;
    std::printf("%zu pairs pruned, %zu exhaustive; %lld of %lld evaluated when pruned: %s\n",
                a.pairs.size(), b.pairs.size(), static_cast<long long>(a.evaluated),
                static_cast<long long>(a.ordered_pairs), same ? "same" : "DIFFERENT");
    return same ? 0 : 1;
}

std::string student_id(std::int32_t sheet) {
    char id[16];
    std::snprintf(id, sizeof id, "%010d", 1234500000 + sheet);
    return id;
}

int write_sheets(std::int32_t sheets, std::int32_t items, std::int32_t room_size,
                 std::int32_t copiers, double fraction, bool consecutive, std::uint64_t seed) {
    CohortSettings settings{sheets, items, 4, room_size, 0.02, seed};
    Cohort cohort = simulate_cohort(settings);
    plant_copiers(cohort, copiers, fraction, consecutive);
    const auto k = static_cast<std::size_t>(items);
    std::string line = "0000000000,A,000,";
    for (std::size_t i = 0; i < k; ++i) line += static_cast<char>('A' + cohort.key[i]);
    std::printf("%s\n", line.c_str());
    for (std::int32_t s = 0; s < sheets; ++s) {
        char head[40];
        std::snprintf(head, sizeof head, "%s,A,%03d,", student_id(s).c_str(),
                      cohort.room[static_cast<std::size_t>(s)] + 1);
        line = head;
        for (std::size_t i = 0; i < k; ++i) {
            const unsigned char a = cohort.answers[static_cast<std::size_t>(s) * k + i];
            line += a == NO_MARK ? ' ' : static_cast<char>('A' + a);
        }
        std::printf("%s\n", line.c_str());
    }
    for (const Copying& c : cohort.copyings)
        std::fprintf(stderr, "%s %s\n", student_id(c.copier).c_str(), student_id(c.source).c_str());
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: similarity_sim measure [replicates] | calibrate [replicates [room "
                 "[show]]] | time N K ROOM [threads] | "
                 "compare N K ROOM SEED | sheets N K ROOM COPIERS FRACTION run|random SEED\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string mode = argv[1];
    auto number = [&](int i) { return std::atoi(argv[i]); };
    if (mode == "measure") return measure(argc > 2 ? number(2) : 4, argc > 3 ? number(3) : 0);
    if (mode == "calibrate")
        return calibrate(argc > 2 ? number(2) : 4, argc > 3 ? number(3) : 0,
                         argc > 4 && std::strcmp(argv[4], "show") == 0);
    if (mode == "time" && argc >= 5)
        return time_screen(number(2), number(3), number(4), argc > 5 ? number(5) : 0,
                           argc > 6 ? std::strtoull(argv[6], nullptr, 10) : 77);
    if (mode == "compare" && argc == 6)
        return compare(number(2), number(3), number(4), std::strtoull(argv[5], nullptr, 10));
    if (mode == "sheets" && argc == 9)
        return write_sheets(number(2), number(3), number(4), number(5), std::atof(argv[6]),
                            std::strcmp(argv[7], "run") == 0, std::strtoull(argv[8], nullptr, 10));
    return usage();
}
