#include "tools/cohort.h"

#include <algorithm>
#include <cmath>

namespace quillmark {

namespace {

struct Item {
    double discrimination, difficulty, guessing;
    std::vector<double> pull_slope, pull_base; // per option; the key's unused
};

} // namespace

Cohort simulate_cohort(const CohortSettings& settings) {
    Cohort cohort;
    cohort.sheets = settings.sheets;
    cohort.items = settings.items;
    cohort.random.seed(settings.seed);
    std::mt19937_64& random = cohort.random;
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const auto n = static_cast<std::size_t>(settings.sheets);
    const auto k = static_cast<std::size_t>(settings.items);
    const auto options = static_cast<std::size_t>(settings.options);

    std::vector<Item> items(k);
    cohort.key.resize(k);
    for (std::size_t i = 0; i < k; ++i) {
        Item& item = items[i];
        item.discrimination = std::exp(0.35 * normal(random));
        item.difficulty = normal(random);
        item.guessing = 0.05 + 0.2 * uniform(random);
        cohort.key[i] = static_cast<unsigned char>(random() % options);
        for (std::size_t o = 0; o < options; ++o) {
            item.pull_slope.push_back(-0.6 + 0.6 * normal(random));
            item.pull_base.push_back(0.8 * normal(random));
        }
    }
    cohort.answers.resize(n * k);
    cohort.room.resize(n);
    std::vector<double> pull(options);
    for (std::size_t s = 0; s < n; ++s) {
        cohort.room[s] =
            settings.room_size > 0 ? static_cast<std::int32_t>(s) / settings.room_size : 0;
        const double ability = settings.ability + normal(random);
        for (std::size_t i = 0; i < k; ++i) {
            const Item& item = items[i];
            unsigned char answer = NO_MARK;
            if (uniform(random) >= settings.blank) {
                const double logistic =
                    1 / (1 + std::exp(-1.7 * item.discrimination * (ability - item.difficulty)));
                if (uniform(random) < item.guessing + (1 - item.guessing) * logistic) {
                    answer = cohort.key[i];
                } else {
                    double total = 0;
                    for (std::size_t o = 0; o < options; ++o) {
                        pull[o] = o == cohort.key[i]
                                      ? 0
                                      : std::exp(item.pull_base[o] + item.pull_slope[o] * ability);
                        total += pull[o];
                    }
                    double u = uniform(random) * total;
                    std::size_t o = 0;
                    while (o + 1 < options && (o == cohort.key[i] || u >= pull[o])) {
                        u -= pull[o];
                        ++o;
                    }
                    if (o == cohort.key[i]) o = (o + 1) % options;
                    answer = static_cast<unsigned char>(o);
                }
            }
            cohort.answers[s * k + i] = answer;
        }
    }
    return cohort;
}

void plant_copiers(Cohort& cohort, std::int32_t count, double fraction, bool consecutive) {
    std::mt19937_64& random = cohort.random;
    const auto k = static_cast<std::size_t>(cohort.items);
    const auto copied = static_cast<std::size_t>(std::lround(fraction * static_cast<double>(k)));
    std::vector<bool> used(static_cast<std::size_t>(cohort.sheets), false);
    for (const Copying& c : cohort.copyings)
        used[static_cast<std::size_t>(c.copier)] = used[static_cast<std::size_t>(c.source)] = true;
    std::int32_t tries = 0;
    for (std::int32_t planted = 0; planted < count && tries < 100000; ++tries) {
        const auto copier =
            static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(cohort.sheets));
        const auto source =
            static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(cohort.sheets));
        if (copier == source || used[static_cast<std::size_t>(copier)] ||
            used[static_cast<std::size_t>(source)] ||
            cohort.room[static_cast<std::size_t>(copier)] !=
                cohort.room[static_cast<std::size_t>(source)])
            continue;
        used[static_cast<std::size_t>(copier)] = used[static_cast<std::size_t>(source)] = true;
        Copying c{copier, source, {}};
        if (consecutive) {
            const std::size_t start = random() % (k - copied + 1);
            for (std::size_t i = start; i < start + copied; ++i)
                c.items.push_back(static_cast<std::int32_t>(i));
        } else {
            std::vector<std::int32_t> all(k);
            for (std::size_t i = 0; i < k; ++i) all[i] = static_cast<std::int32_t>(i);
            std::shuffle(all.begin(), all.end(), random);
            c.items.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(copied));
            std::sort(c.items.begin(), c.items.end());
        }
        for (std::int32_t i : c.items)
            cohort.answers[static_cast<std::size_t>(copier) * k + static_cast<std::size_t>(i)] =
                cohort.answers[static_cast<std::size_t>(source) * k + static_cast<std::size_t>(i)];
        cohort.copyings.push_back(std::move(c));
        ++planted;
    }
}

ResponseMatrix cohort_matrix(const Cohort& cohort) {
    ResponseMatrix matrix;
    matrix.sheets = cohort.sheets;
    matrix.items = cohort.items;
    std::vector<unsigned char> cells(cohort.answers.size());
    const auto k = static_cast<std::size_t>(cohort.items);
    for (std::size_t j = 0; j < cells.size(); ++j) {
        const unsigned char a = cohort.answers[j];
        cells[j] = static_cast<unsigned char>(a | (a == cohort.key[j % k] ? RIGHT_BIT : 0));
    }
    matrix.cells = ByteArray(cells);
    for (std::size_t i = 0; i < k; ++i) matrix.accepted.push_back(1u << cohort.key[i]);
    return matrix;
}

} // namespace quillmark
