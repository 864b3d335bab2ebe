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
    return std::memcmp(a.id, b.id, sizeof a.id) == 0 && std::memcmp(a.exam, b.exam, sizeof a.exam) == 0;
}

// FNV-1a over the identifier and exam number.
std::uint64_t identity_hash(const SheetIdentity& row) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : row.id) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    for (char c : row.exam) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash ^ (hash >> 29);
}

// One pass with an open-addressing table of the first row of every
// identity: a row whose identity is in the table already repeats that row.
void add_duplicates(const ReportTables& tables, std::vector<SheetCheck>& checks) {
    const std::vector<SheetIdentity>& rows = tables.identities;
    std::size_t slots = 16;
    while (slots < 2 * rows.size()) slots *= 2;
    std::vector<std::int32_t> first(slots, -1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::size_t slot = static_cast<std::size_t>(identity_hash(rows[i])) & (slots - 1);
        while (first[slot] >= 0 && !same_identity(rows[first[slot]], rows[i]))
            slot = (slot + 1) & (slots - 1);
        if (first[slot] < 0) {
            first[slot] = static_cast<std::int32_t>(i);
            continue;
        }
        SheetCheck check;
        check.kind = CheckKind::duplicate_student;
        check.form = rows[i].form;
        check.order = static_cast<std::int32_t>(i) + 1;
        check.student_id = cell_text(rows[i].id, sizeof rows[i].id);
        check.detail = "same Student ID and Exam # as Order " + std::to_string(first[slot] + 1);
        checks.push_back(std::move(check));
    }
}

void add_row_check(const ReportTables& tables, CheckKind kind, std::int32_t order,
                   std::string detail, std::vector<SheetCheck>& checks) {
    const SheetIdentity& row = tables.identities[static_cast<std::size_t>(order - 1)];
    SheetCheck check;
    check.kind = kind;
    check.form = row.form;
    check.order = order;
    check.student_id = cell_text(row.id, sizeof row.id);
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
                          "responses on " + std::to_string(answered) + " of " +
                              std::to_string(k) + " scored questions",
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
    case CheckKind::keys_disagree: return "keys disagree";
    }
    return "";
}

std::vector<SheetCheck> sheet_checks(const ReportTables& tables) {
    std::vector<SheetCheck> checks;
    add_duplicates(tables, checks);
    for (std::int32_t order : tables.empty_rows)
        add_row_check(tables, CheckKind::no_responses, order, "no response on the sheet", checks);
    add_few_responses(tables, checks);
    for (std::int32_t order : tables.no_key_orders) {
        const char form = tables.identities[static_cast<std::size_t>(order - 1)].form;
        add_row_check(tables, CheckKind::no_key, order,
                      std::string("form ") + form + " has no key", checks);
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
    // Each kind is added in Order already.
    std::stable_sort(checks.begin(), checks.end(), [](const SheetCheck& a, const SheetCheck& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.order < b.order;
    });
    return checks;
}

} // namespace quillmark
