#include "analyze/versions.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "report/report_layout.h"

namespace quillmark {

namespace {

constexpr std::int32_t HIGHEST_NUMBER = MAX_QUESTIONS;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The letters of an Options cell, upper-cased, when they are an
// arrangement of the first letters of A to Y; else empty with `ok` false.
std::string arrangement(const std::string& cell, bool& ok) {
    std::string letters;
    std::uint32_t seen = 0;
    ok = cell.size() <= static_cast<std::size_t>(LETTER_OPTIONS);
    for (std::size_t i = 0; ok && i < cell.size(); ++i) {
        const char letter = upper(cell[i]);
        const int index = letter - 'A';
        ok = index >= 0 && index < static_cast<int>(cell.size()) && (seen >> index & 1u) == 0;
        seen |= ok ? 1u << index : 0u;
        letters += letter;
    }
    return ok ? letters : std::string();
}

// The master option code of a form's option code on a question whose
// Options cell is `options`: the master letter whose letter there it is.
unsigned char master_code(unsigned char code, const std::string& options) {
    for (std::size_t m = 0; m < options.size(); ++m)
        if (options[m] - 'A' == code) return static_cast<unsigned char>(m);
    return code;
}

// The rows of a map that belong to one form, by question number.
std::map<std::int32_t, const VersionRow*> rows_of_form(const VersionMap& map, char form) {
    std::map<std::int32_t, const VersionRow*> rows;
    for (const VersionRow& row : map.rows)
        if (row.form == form) rows[row.question] = &row;
    return rows;
}

// "form A", "forms A and B", "forms A, B and C".
std::string forms_text(const std::string& letters) {
    std::string text = letters.size() == 1 ? "form " : "forms ";
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (i > 0) text += i + 1 == letters.size() ? " and " : ", ";
        text += letters[i];
    }
    return text;
}

// Letters as a choice: "B", "B or D", "A, B or D".
std::string letters_text(const std::string& letters) {
    std::string text;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (i > 0) text += i + 1 == letters.size() ? " or " : ", ";
        text += letters[i];
    }
    return text;
}

// The letters of an accepted-letters mask, in letter order.
std::string mask_letters(std::uint32_t mask) {
    std::string letters;
    for (int k = 0; k < LETTER_OPTIONS; ++k)
        if (mask >> k & 1u) letters += static_cast<char>('A' + k);
    return letters;
}

// How one form keys a master question: dropped, or the master letters it
// accepts.
constexpr std::int64_t DROPPED = -1;

struct FormKey {
    std::size_t form = 0; // index into tables.forms
    const VersionRow* row = nullptr;
    const QuestionAnalysis* question = nullptr; // null when dropped
    std::int64_t key = DROPPED;
};

// The best point-biserial on one form of any master letter of `key`; 0
// where none has one.
long double best_correlation(const FormKey& form, std::int64_t key) {
    long double best = 0;
    bool any = false;
    for (const OptionStatistics& option : form.question->statistics.options) {
        if (option.option == 0 || !option.point_biserial) continue;
        const unsigned char m =
            master_code(static_cast<unsigned char>(option.option - 'A'), form.row->options);
        if ((key >> m & 1) == 0) continue;
        if (!any || *option.point_biserial > best) best = *option.point_biserial;
        any = true;
    }
    return best;
}

} // namespace

bool parse_version_map(const std::string& text, VersionMap& map, FileError& error) {
    map.rows.clear();
    // The line of the first row of each form and question, and of each form
    // and master question.
    std::vector<std::int32_t> question_line(NUM_FORMS * (HIGHEST_NUMBER + 1), 0);
    std::vector<std::int32_t> master_line(NUM_FORMS * (HIGHEST_NUMBER + 1), 0);
    auto each = [&](const CsvRow& row, const std::vector<int>& columns) {
        auto fault = [&](std::string message) {
            error = {row.line, std::move(message)};
            return false;
        };
        VersionRow entry;
        entry.line = row.line;
        const std::string& form = cell_at(row, columns[0]);
        if (form.size() != 1 || form_index(upper(form[0])) < 0)
            return fault(quoted_for_message(form) + " is not a form letter A to J");
        entry.form = upper(form[0]);
        if (!number_cell(row, columns[1], "question", HIGHEST_NUMBER, entry.question, error) ||
            !number_cell(row, columns[2], "master", HIGHEST_NUMBER, entry.master, error))
            return false;
        const std::string& options = cell_at(row, columns[3]);
        bool arranged = false;
        entry.options = arrangement(options, arranged);
        if (!arranged) {
            const std::size_t letters = std::min<std::size_t>(options.size(), LETTER_OPTIONS);
            return fault("the Options cell " + quoted_for_message(options) +
                         " is not an arrangement of the letters A to " +
                         std::string(1, static_cast<char>('A' + letters - 1)));
        }
        const std::size_t slot =
            static_cast<std::size_t>(form_index(entry.form)) * (HIGHEST_NUMBER + 1);
        std::int32_t& first_question =
            question_line[slot + static_cast<std::size_t>(entry.question)];
        if (first_question != 0)
            return fault("question " + std::to_string(entry.question) + " of form " + entry.form +
                         " is mapped twice (first on line " + std::to_string(first_question) + ")");
        first_question = row.line;
        std::int32_t& first_master = master_line[slot + static_cast<std::size_t>(entry.master)];
        if (first_master != 0)
            return fault("master question " + std::to_string(entry.master) +
                         " is reached twice from form " + entry.form + " (first on line " +
                         std::to_string(first_master) + ")");
        first_master = row.line;
        map.rows.push_back(std::move(entry));
        return true;
    };
    return read_headed_rows(text, {"Form", "Question", "Master", "Options"}, 3, each, error);
}

bool check_version_map(const VersionMap& map, const ReportTables& tables, FileError& error) {
    // Rows that name a question past the key of a form with scored sheets.
    for (const VersionRow& row : map.rows)
        for (const FormScores& form : tables.forms)
            if (form.form == row.form && row.question > form.key_questions) {
                error = {row.line, "form " + std::string(1, row.form) + " has " +
                                       std::to_string(form.key_questions) +
                                       " questions: there is no question " +
                                       std::to_string(row.question)};
                return false;
            }
    // Scored questions without a row.
    std::vector<std::map<std::int32_t, const VersionRow*>> form_rows;
    for (const FormScores& form : tables.forms) {
        form_rows.push_back(rows_of_form(map, form.form));
        for (std::int32_t question : form.question_numbers)
            if (form_rows.back().count(question) == 0) {
                error = {0, "question " + std::to_string(question) + " of form " +
                                std::string(1, form.form) +
                                " is scored in the report but the map has no row for it"};
                return false;
            }
    }
    // Master questions reached from some forms only.
    std::map<std::int32_t, std::vector<const VersionRow*>> reached; // by master, per form
    for (std::size_t f = 0; f < tables.forms.size(); ++f)
        for (const auto& entry : form_rows[f]) {
            std::vector<const VersionRow*>& by_form = reached[entry.second->master];
            by_form.resize(tables.forms.size(), nullptr);
            by_form[f] = entry.second;
        }
    for (const auto& entry : reached) {
        const VersionRow* some = nullptr;
        for (const VersionRow* row : entry.second) some = some ? some : row;
        for (std::size_t f = 0; f < tables.forms.size(); ++f)
            if (entry.second[f] == nullptr) {
                error = {some->line, "master question " + std::to_string(entry.first) +
                                         " is reached from form " + some->form +
                                         " here but from no question of form " +
                                         tables.forms[f].form};
                return false;
            }
    }
    return true;
}

std::vector<std::int32_t> exam_question_numbers(const VersionMap* map, const ReportTables& tables) {
    std::vector<bool> named(HIGHEST_NUMBER + 1, false);
    for (const FormScores& form : tables.forms) {
        if (!map)
            for (std::int32_t q = 1; q <= form.key_questions && q <= HIGHEST_NUMBER; ++q)
                named[q] = true;
        else
            for (const VersionRow& row : map->rows)
                named[row.master] = named[row.master] || row.form == form.form;
    }
    std::vector<std::int32_t> numbers;
    for (std::int32_t q = 1; q <= HIGHEST_NUMBER; ++q)
        if (named[q]) numbers.push_back(q);
    return numbers;
}

ExamLayout exam_layout(const VersionMap* map, const ReportTables& tables) {
    ExamLayout layout;
    const std::size_t forms = tables.forms.size();
    // Per form and master question: the column of the form's table that
    // holds it (-1: none) and the row that maps it (null without a map).
    std::vector<std::vector<std::int32_t>> column(forms,
                                                  std::vector<std::int32_t>(HIGHEST_NUMBER + 1,
                                                                            -1));
    std::vector<std::vector<const VersionRow*>> row_of(forms);
    std::vector<std::int32_t> reached(HIGHEST_NUMBER + 1, 0);
    for (std::size_t f = 0; f < forms; ++f) {
        const FormScores& form = tables.forms[f];
        const std::map<std::int32_t, const VersionRow*> rows =
            map ? rows_of_form(*map, form.form) : std::map<std::int32_t, const VersionRow*>();
        row_of[f].assign(HIGHEST_NUMBER + 1, nullptr);
        for (std::size_t i = 0; i < form.question_numbers.size(); ++i) {
            const std::int32_t question = form.question_numbers[i];
            const VersionRow* row = nullptr;
            if (map) {
                const auto found = rows.find(question);
                if (found == rows.end()) continue; // refused by check_version_map
                row = found->second;
            }
            const std::int32_t master = row ? row->master : question;
            column[f][master] = static_cast<std::int32_t>(i);
            row_of[f][master] = row;
            ++reached[master];
        }
    }
    for (std::int32_t m = 1; m <= HIGHEST_NUMBER; ++m)
        if (forms > 0 && reached[m] == static_cast<std::int32_t>(forms))
            layout.masters.push_back(m);

    static const std::string same_letters;
    layout.forms.resize(forms);
    layout.places.resize(map ? layout.masters.size() : 0);
    for (std::size_t f = 0; f < forms; ++f) {
        ExamLayout::Form& form = layout.forms[f];
        for (std::size_t j = 0; j < layout.masters.size(); ++j) {
            const std::int32_t master = layout.masters[j];
            form.source.push_back(column[f][master]);
            const VersionRow* row = row_of[f][master];
            const std::string& options = row ? row->options : same_letters;
            std::array<unsigned char, 32> code{};
            for (unsigned char c = 0; c < code.size(); ++c) code[c] = master_code(c, options);
            form.code.push_back(code);
            if (map)
                layout.places[j].push_back({tables.forms[f].form,
                                            tables.forms[f].question_numbers[column[f][master]],
                                            options});
        }
    }
    return layout;
}

ExamSheets exam_sheets(const ReportTables& tables) {
    ExamSheets sheets;
    int position_of[NUM_FORMS];
    std::fill(position_of, position_of + NUM_FORMS, -1);
    sheets.position.resize(tables.forms.size());
    for (std::size_t f = 0; f < tables.forms.size(); ++f) {
        position_of[form_index(tables.forms[f].form)] = static_cast<int>(f);
        sheets.position[f].reserve(static_cast<std::size_t>(tables.forms[f].matrix.sheets));
    }
    for (std::size_t r = 0; r < tables.identities.size(); ++r) {
        const SheetIdentity& row = tables.identities[r];
        if (row.scored == 0 || form_index(row.form) < 0) continue;
        const int f = position_of[form_index(row.form)];
        if (f < 0) continue; // a form whose key scores no question
        sheets.position[static_cast<std::size_t>(f)].push_back(
            static_cast<std::int32_t>(sheets.orders.size()));
        sheets.orders.push_back(static_cast<std::int32_t>(r) + 1);
    }
    return sheets;
}

ExamFigures exam_figures(const ReportTables& tables, const ExamLayout& layout,
                         const ExamSheets& sheets, const std::vector<QuestionTallies>& form_sums) {
    const std::size_t items = layout.masters.size();
    const std::size_t forms = tables.forms.size();
    const std::size_t n = sheets.orders.size();

    // Each sheet's total on the exam's questions, in report order.
    std::vector<std::int32_t> totals(n, 0);
    for (std::size_t f = 0; f < forms; ++f) {
        const ResponseMatrix& matrix = tables.forms[f].matrix;
        const auto k = static_cast<std::size_t>(matrix.items);
        const std::vector<std::int32_t>& source = layout.forms[f].source;
        const std::vector<std::int32_t>& position = sheets.position[f];
        if (items == k) { // every question of the form is on the exam
            const std::vector<std::int32_t>& own = form_sums[f].totals;
            for (std::size_t s = 0; s < own.size(); ++s) totals[position[s]] = own[s];
            continue;
        }
        const unsigned char* row = matrix.cells.data();
        for (std::size_t s = 0; s < position.size(); ++s, row += k) {
            std::int32_t total = 0;
            for (std::int32_t column : source) total += row[column] >> 7;
            totals[position[s]] = total;
        }
    }
    std::vector<std::int32_t> score_counts(items + 1, 0);
    std::int64_t sum_totals = 0;
    std::int64_t sum_total_squares = 0;
    for (std::int32_t t : totals) {
        ++score_counts[t];
        sum_totals += t;
        sum_total_squares += static_cast<std::int64_t>(t) * t;
    }
    const std::int32_t size = group_size(static_cast<std::int32_t>(n));
    const std::vector<unsigned char> groups = extreme_groups(totals, size);

    // Each form's answers tallied against the exam's totals and groups, its
    // option slots then moved to the master letters'.
    std::vector<OptionTally> tallies(items * OPTION_SLOTS);
    std::vector<RightTally> rights(items);
    std::vector<std::uint32_t> accepted(items, 0);
    for (std::size_t f = 0; f < forms; ++f) {
        const ResponseMatrix& matrix = tables.forms[f].matrix;
        const auto k = static_cast<std::size_t>(matrix.items);
        const std::vector<std::int32_t>& position = sheets.position[f];
        std::vector<std::int32_t> form_totals(position.size());
        std::vector<unsigned char> form_groups(position.size());
        for (std::size_t s = 0; s < position.size(); ++s) {
            form_totals[s] = totals[position[s]];
            form_groups[s] = groups[position[s]];
        }
        // With every question of the form on the exam, a sheet's total on
        // the exam is its own: the form's sums stand but for the groups.
        const bool same_totals = items == k;
        std::vector<OptionTally> own =
            same_totals ? form_sums[f].options : std::vector<OptionTally>(k * OPTION_SLOTS);
        std::vector<RightTally> own_rights =
            same_totals ? form_sums[f].rights : std::vector<RightTally>(k);
        for (OptionTally& tally : own) tally.upper = tally.lower = 0;
        for (RightTally& right : own_rights) right.upper = right.lower = 0;
        tally_answers(matrix, form_totals.data(), form_groups.data(), own.data(), own_rights.data(),
                      same_totals);
        const ExamLayout::Form& form = layout.forms[f];
        for (std::size_t j = 0; j < items; ++j) {
            const auto column = static_cast<std::size_t>(form.source[j]);
            for (int slot = 0; slot < OPTION_SLOTS; ++slot) {
                const OptionTally& from =
                    own[column * OPTION_SLOTS + static_cast<std::size_t>(slot)];
                const int master =
                    slot < LETTER_OPTIONS ? form.code[j][static_cast<std::size_t>(slot)] : slot;
                OptionTally& to = tallies[j * OPTION_SLOTS + static_cast<std::size_t>(master)];
                to.sum_total += from.sum_total;
                to.count += from.count;
                to.right += from.right;
                to.upper += from.upper;
                to.lower += from.lower;
            }
            const RightTally& from = own_rights[column];
            rights[j].count += from.count;
            rights[j].totals += from.totals;
            rights[j].upper += from.upper;
            rights[j].lower += from.lower;
            const std::uint32_t letters = matrix.accepted[column];
            for (unsigned char c = 0; c < LETTER_OPTIONS; ++c)
                if (letters >> c & 1u) accepted[j] |= 1u << form.code[j][c];
        }
    }

    ExamFigures figures;
    std::vector<std::int64_t> right(items);
    for (std::size_t j = 0; j < items; ++j) right[j] = rights[j].count;
    figures.test = totals_statistics(std::move(score_counts), right);
    for (std::size_t j = 0; j < items; ++j)
        figures.items.push_back(item_from_tallies(&tallies[j * OPTION_SLOTS], rights[j],
                                                  accepted[j], static_cast<std::int64_t>(n), size,
                                                  sum_totals, sum_total_squares));
    return figures;
}

std::vector<std::uint16_t> exam_right_sums(const ReportTables& tables, const ExamLayout& layout,
                                           const ExamSheets& sheets,
                                           const std::vector<std::vector<std::size_t>>& sets) {
    const std::size_t count = sets.size();
    std::vector<std::uint16_t> sums(sheets.orders.size() * count, 0);
    // Eight answers at a time: a row's bytes as 64-bit words, and for each
    // set a mask with RIGHT_BIT in the bytes of the set's columns. The right
    // marks of a word that a mask keeps, moved to the low bit of each byte,
    // add up byte by byte; a byte counts at most one mark in eight columns,
    // 125 of a row of 1000, so no byte overflows.
    constexpr std::uint64_t EVEN_BYTES = 0x00ff00ff00ff00ffull;
    for (std::size_t f = 0; f < tables.forms.size() && count > 0; ++f) {
        const ResponseMatrix& matrix = tables.forms[f].matrix;
        const auto k = static_cast<std::size_t>(matrix.items);
        const std::size_t words = (k + 7) / 8;
        std::vector<unsigned char> mask_bytes(count * words * 8, 0);
        for (std::size_t t = 0; t < count; ++t)
            for (std::size_t j : sets[t])
                mask_bytes[t * words * 8 + static_cast<std::size_t>(layout.forms[f].source[j])] =
                    RIGHT_BIT;
        std::vector<std::uint64_t> masks(count * words);
        std::memcpy(masks.data(), mask_bytes.data(), mask_bytes.size());
        std::vector<std::uint64_t> row(words, 0);
        const unsigned char* cells = matrix.cells.data();
        for (std::int32_t position : sheets.position[f]) {
            std::memcpy(row.data(), cells, k);
            cells += k;
            std::uint16_t* sum = &sums[static_cast<std::size_t>(position) * count];
            const std::uint64_t* mask = masks.data();
            for (std::size_t t = 0; t < count; ++t, mask += words) {
                std::uint64_t marks = 0;
                for (std::size_t w = 0; w < words; ++w) marks += (row[w] & mask[w]) >> 7;
                // The eight byte counts added: pairs into 16-bit lanes, then the lanes.
                const std::uint64_t pairs = (marks & EVEN_BYTES) + (marks >> 8 & EVEN_BYTES);
                sum[t] = static_cast<std::uint16_t>((pairs * 0x0001000100010001ull) >> 48);
            }
        }
    }
    return sums;
}

RaschCounts exam_rasch_counts(const ReportTables& tables, const ExamLayout& layout,
                              const std::vector<RaschCounts>& form_counts) {
    const std::size_t items = layout.masters.size();
    RaschCounts exam;
    exam.items = static_cast<std::int32_t>(items);
    exam.sheets.assign(items + 1, 0);
    exam.right.assign((items + 1) * items, 0);
    for (std::size_t f = 0; f < tables.forms.size(); ++f) {
        const ResponseMatrix& matrix = tables.forms[f].matrix;
        const auto k = static_cast<std::size_t>(matrix.items);
        const std::vector<std::int32_t>& source = layout.forms[f].source;
        if (items == k && f < form_counts.size()) {
            const RaschCounts& own = form_counts[f];
            for (std::size_t r = 0; r <= k; ++r) {
                exam.sheets[r] += own.sheets[r];
                for (std::size_t j = 0; j < items; ++j)
                    exam.right[r * items + j] +=
                        own.right[r * k + static_cast<std::size_t>(source[j])];
            }
            continue;
        }
        const unsigned char* row = matrix.cells.data();
        for (std::int32_t s = 0; s < matrix.sheets; ++s, row += k) {
            std::size_t total = 0;
            for (std::int32_t column : source) total += row[column] >> 7;
            ++exam.sheets[total];
            std::int32_t* right = &exam.right[total * items];
            for (std::size_t j = 0; j < items; ++j) right[j] += row[source[j]] >> 7;
        }
    }
    return exam;
}

std::vector<std::int64_t> exam_right_counts(const ExamLayout& layout,
                                            const std::vector<FormAnalysis>& forms) {
    std::vector<std::int64_t> right(layout.masters.size(), 0);
    for (std::size_t f = 0; f < forms.size(); ++f)
        for (std::size_t j = 0; j < right.size(); ++j)
            right[j] += forms[f]
                            .questions[static_cast<std::size_t>(layout.forms[f].source[j])]
                            .statistics.correct;
    return right;
}

std::vector<KeyAmendment> disagreeing_keys(const VersionMap& map, const ReportTables& tables,
                                           const std::vector<FormAnalysis>& forms) {
    // Each form's key of each master question it reaches.
    std::map<std::int32_t, std::vector<FormKey>> keys;
    for (std::size_t f = 0; f < tables.forms.size(); ++f) {
        std::map<std::int32_t, const QuestionAnalysis*> scored;
        for (const QuestionAnalysis& question : forms[f].questions)
            scored[question.question] = &question;
        for (const auto& entry : rows_of_form(map, tables.forms[f].form)) {
            FormKey key;
            key.form = f;
            key.row = entry.second;
            const auto found = scored.find(entry.first);
            if (found != scored.end()) {
                key.question = found->second;
                key.key = 0;
                for (const OptionStatistics& option : key.question->statistics.options)
                    if (option.key)
                        key.key |= std::int64_t{1}
                                   << master_code(static_cast<unsigned char>(option.option - 'A'),
                                                  key.row->options);
            }
            keys[entry.second->master].push_back(key);
        }
    }

    std::vector<KeyAmendment> amendments;
    for (const auto& entry : keys) {
        const std::int32_t master = entry.first;
        const std::vector<FormKey>& by_form = entry.second;
        // The keys, in the order of the first form that has each, and the
        // forms that have it.
        std::vector<std::int64_t> distinct;
        std::vector<std::string> holders;
        for (const FormKey& key : by_form) {
            const auto at = std::find(distinct.begin(), distinct.end(), key.key) - distinct.begin();
            if (static_cast<std::size_t>(at) == distinct.size()) {
                distinct.push_back(key.key);
                holders.emplace_back();
            }
            holders[static_cast<std::size_t>(at)] += tables.forms[key.form].form;
        }
        if (distinct.size() < 2) continue;

        std::size_t most = 0;
        for (const std::string& forms_with : holders) most = std::max(most, forms_with.size());
        std::size_t tied = 0;
        for (const std::string& forms_with : holders) tied += forms_with.size() == most;
        std::size_t winner = 0;
        std::string decision;
        if (tied == 1) {
            while (holders[winner].size() != most) ++winner;
            decision = "the key of " + std::to_string(most) + " of the " +
                       std::to_string(by_form.size()) + " forms";
        } else {
            // The students' evidence: for each key with the most forms, the
            // best point-biserial of its letters on each form that scores
            // the question, weighted by the form's sheets.
            long double best = 0;
            bool chosen = false;
            for (std::size_t k = 0; k < distinct.size(); ++k) {
                if (holders[k].size() != most) continue;
                long double weighted = 0;
                long double weight = 0;
                for (const FormKey& key : by_form) {
                    if (key.question == nullptr) continue;
                    const auto sheets = static_cast<long double>(forms[key.form].test.sheets);
                    weight += sheets;
                    if (distinct[k] != DROPPED)
                        weighted += sheets * best_correlation(key, distinct[k]);
                }
                const long double evidence = weight > 0 ? weighted / weight : 0;
                if (!chosen || evidence > best) {
                    best = evidence;
                    winner = k;
                    chosen = true;
                }
            }
            decision = "no key is on more forms than the others, and the students' answers favour ";
            decision +=
                distinct[winner] == DROPPED
                    ? std::string("dropping it")
                    : "master " +
                          letters_text(mask_letters(static_cast<std::uint32_t>(distinct[winner])));
        }

        for (const FormKey& key : by_form) {
            if (key.key == distinct[winner]) continue;
            const char form = tables.forms[key.form].form;
            KeyAmendment amendment;
            amendment.form = form;
            amendment.question = key.row->question;
            amendment.master = master;
            if (distinct[winner] != DROPPED) {
                for (char m : mask_letters(static_cast<std::uint32_t>(distinct[winner])))
                    amendment.accept += version_letter(m, key.row->options);
                std::sort(amendment.accept.begin(), amendment.accept.end());
            }
            std::string& detail = amendment.detail;
            detail = "question " + std::to_string(key.row->question) + " is master question " +
                     std::to_string(master) + " and ";
            if (key.key == DROPPED) {
                detail += "is dropped";
            } else {
                // Its own letters in their order, each with its master letter.
                std::string own;
                std::string as_master;
                for (const OptionStatistics& option : key.question->statistics.options)
                    if (option.key) {
                        own += option.option;
                        as_master += static_cast<char>(
                            'A' + master_code(static_cast<unsigned char>(option.option - 'A'),
                                              key.row->options));
                    }
                detail +=
                    "accepts " + letters_text(own) + " (master " + letters_text(as_master) + ")";
            }
            for (std::size_t k = 0; k < distinct.size(); ++k) {
                std::string others = holders[k];
                others.erase(std::remove(others.begin(), others.end(), form), others.end());
                if (others.empty()) continue;
                const bool one = others.size() == 1;
                detail +=
                    "; " + forms_text(others) +
                    (distinct[k] == DROPPED
                         ? (one ? " drops it" : " drop it")
                         : (one ? " accepts master " : " accept master ") +
                               letters_text(mask_letters(static_cast<std::uint32_t>(distinct[k]))));
            }
            detail += ": " + decision;
            for (char letter : amendment.accept)
                if (letter > LAST_KEY_LETTER)
                    detail += std::string("; ") + letter + " comes after P: no key accepts it";
            amendments.push_back(std::move(amendment));
        }
    }
    return amendments;
}

} // namespace quillmark
