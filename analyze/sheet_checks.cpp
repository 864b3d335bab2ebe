#include "analyze/sheet_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillmark {

namespace {

// A zero-padded cell as text: up to its first zero byte.
std::string cell_text(const char* cell, std::size_t room) {
    const void* end = std::memchr(cell, '\0', room);
    return std::string(cell, end ? static_cast<const char*>(end) - cell : room);
}

bool same_identity(const SheetIdentity& a, const SheetIdentity& b) {
    return std::memcmp(a.id, b.id, sizeof a.id) == 0 &&
           std::memcmp(a.exam, b.exam, sizeof a.exam) == 0;
}

// FNV-1a over the identifier and exam number.
std::uint64_t identity_hash(const SheetIdentity& row) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : row.id) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    for (char c : row.exam) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash ^ (hash >> 29);
}

// An open-addressing table of the identities of the report's rows: a slot
// holds -1 when empty, the row of an identity met once, or, for a repeated
// identity, -2 - its group's number.
class IdentityTable {
public:
    struct Group {
        std::int32_t first_row;
        std::int32_t rows;
    };

    explicit IdentityTable(const std::vector<SheetIdentity>& rows) : rows_(rows) {
        std::size_t slots = 16;
        while (slots < 2 * rows.size()) slots *= 2;
        slots_.assign(slots, -1);
    }

    // Adds a row: yields the number of its identity's group when an earlier
    // row had the identity (the group is made then), else -1.
    std::int32_t add(std::size_t row) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = static_cast<std::size_t>(identity_hash(rows_[row])) & mask;
        for (;; slot = (slot + 1) & mask) {
            std::int32_t& held = slots_[slot];
            if (held == -1) {
                held = static_cast<std::int32_t>(row);
                return -1;
            }
            const std::int32_t group = held >= 0 ? -1 : -2 - held;
            const std::int32_t first =
                group < 0 ? held : groups_[static_cast<std::size_t>(group)].first_row;
            if (!same_identity(rows_[static_cast<std::size_t>(first)], rows_[row])) continue;
            if (group >= 0) {
                ++groups_[static_cast<std::size_t>(group)].rows;
                return group;
            }
            groups_.push_back({first, 2});
            held = -1 - static_cast<std::int32_t>(groups_.size());
            return static_cast<std::int32_t>(groups_.size() - 1);
        }
    }

    const std::vector<Group>& groups() const { return groups_; }

private:
    const std::vector<SheetIdentity>& rows_;
    std::vector<std::int32_t> slots_;
    std::vector<Group> groups_;
};

// One finding per repeated identity, at its first row, with the number of
// its rows and their first Orders, in one pass: memory grows with the
// identities and the Orders shown, never with the repeats, so that a batch
// in which every ID is blank gives one row.
void add_duplicates(const ReportTables& tables, std::vector<SheetCheck>& checks) {
    const std::vector<SheetIdentity>& rows = tables.identities;
    IdentityTable table(rows);
    std::vector<std::pair<std::int32_t, std::int32_t>> shown; // group and Order of a repeat
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::int32_t group = table.add(i);
        if (group < 0) continue;
        if (table.groups()[static_cast<std::size_t>(group)].rows <= DUPLICATE_ORDERS_SHOWN)
            shown.emplace_back(group, static_cast<std::int32_t>(i) + 1);
    }
    const std::size_t first_check = checks.size();
    for (const IdentityTable::Group& group : table.groups()) {
        const SheetIdentity& row = rows[static_cast<std::size_t>(group.first_row)];
        SheetCheck check;
        check.kind = CheckKind::duplicate_student;
        check.form = row.form;
        check.order = group.first_row + 1;
        check.student_id = shown_id(row);
        check.detail = "same Student ID and Exam # on " + std::to_string(group.rows) +
                       " sheets: Orders " + std::to_string(check.order);
        checks.push_back(std::move(check));
    }
    for (const auto& [group, order] : shown)
        checks[first_check + static_cast<std::size_t>(group)].detail +=
            ", " + std::to_string(order);
    for (std::size_t g = 0; g < table.groups().size(); ++g)
        if (table.groups()[g].rows > DUPLICATE_ORDERS_SHOWN)
            checks[first_check + g].detail += ", ...";
}

void add_row_check(const ReportTables& tables, CheckKind kind, std::int32_t order,
                   std::string detail, std::vector<SheetCheck>& checks) {
    const SheetIdentity& row = tables.identities[static_cast<std::size_t>(order - 1)];
    SheetCheck check;
    check.kind = kind;
    check.form = row.form;
    check.order = order;
    check.student_id = shown_id(row);
    check.detail = std::move(detail);
    checks.push_back(std::move(check));
}

void add_few_responses(const ReportTables& tables, std::vector<SheetCheck>& checks) {
    for (const FormScores& form : tables.forms) {
        const ResponseMatrix& matrix = form.matrix;
        const auto k = static_cast<std::size_t>(matrix.items);
        // The form's sheets in report order are its scored rows in report order.
        std::size_t row = 0;
        for (std::int32_t s = 0; s < matrix.sheets; ++s, ++row) {
            while (tables.identities[row].scored == 0 || tables.identities[row].form != form.form)
                ++row;
            const unsigned char* cells = matrix.cells.data() + static_cast<std::size_t>(s) * k;
            std::size_t answered = 0;
            for (std::size_t i = 0; i < k; ++i) answered += (cells[i] & OPTION_BITS) != NO_MARK;
            if (2 * answered >= k) continue;
            const auto order = static_cast<std::int32_t>(row + 1);
            if (std::binary_search(tables.empty_rows.begin(), tables.empty_rows.end(), order))
                continue; // a "no responses" finding already
            add_row_check(tables, CheckKind::few_responses, order,
                          "responses on " + std::to_string(answered) + " of " + std::to_string(k) +
                              " scored questions",
                          checks);
        }
    }
}

} // namespace

const char* check_name(CheckKind kind) {
    switch (kind) {
    case CheckKind::duplicate_student: return "duplicate student";
    case CheckKind::no_responses: return "no responses";
    case CheckKind::few_responses: return "few responses";
    case CheckKind::no_key: return "no key";
    case CheckKind::few_sheets: return "few sheets";
    case CheckKind::not_on_class_list: return "not on the class list";
    case CheckKind::no_sheet: return "no sheet";
    case CheckKind::id_corrected: return "ID corrected";
    case CheckKind::class_list_repeats_id: return "class list repeats ID";
    case CheckKind::keys_disagree: return "keys disagree";
    }
    return "";
}

std::string shown_id(const SheetIdentity& sheet) { return cell_text(sheet.id, sizeof sheet.id); }

std::string check_form_text(const SheetCheck& check) {
    return check.form != 0 ? std::string(1, check.form) : std::string();
}

std::vector<SheetCheck> sheet_checks(const ReportTables& tables) {
    std::vector<SheetCheck> checks;
    add_duplicates(tables, checks);
    for (std::int32_t order : tables.empty_rows)
        add_row_check(tables, CheckKind::no_responses, order, "no response on the sheet", checks);
    add_few_responses(tables, checks);
    for (std::int32_t order : tables.no_key_orders) {
        const char form = tables.identities[static_cast<std::size_t>(order - 1)].form;
        add_row_check(tables, CheckKind::no_key, order, std::string("form ") + form + " has no key",
                      checks);
    }
    for (const FormScores& form : tables.forms) {
        if (form.matrix.sheets >= FEW_SHEETS) continue;
        SheetCheck check;
        check.kind = CheckKind::few_sheets;
        check.form = form.form;
        check.detail = "only " + std::to_string(form.matrix.sheets) + " scored sheet" +
                       (form.matrix.sheets == 1 ? "" : "s") +
                       ": reliability and correlations are not to be trusted";
        checks.push_back(std::move(check));
    }
    // Each kind but the duplicates (in the order of their first repeat) is
    // added in Order already.
    std::stable_sort(checks.begin(), checks.end(), [](const SheetCheck& a, const SheetCheck& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.order < b.order;
    });
    return checks;
}

} // namespace quillmark
