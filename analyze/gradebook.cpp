#include "analyze/gradebook.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "analyze/csv_cell.h"
#include "report/report_layout.h"

namespace quillmark {

namespace {

// The most other Orders a note names; beyond them it counts the rest.
constexpr std::size_t NAMED_ORDERS = 3;

// One cell: quoted when it holds a separator, a quote or a line end, or
// when a spreadsheet would take it for a formula; otherwise as it stands.
void add_cell(std::string& out, std::string_view text, bool first = false) {
    if (!first) out += ',';
    if (!reads_as_formula(text) &&
        text.find_first_of(std::string_view(",;\" \t\r\n")) == std::string_view::npos)
        out += text;
    else
        append_text_cell(out, text);
}

// The per-cent score as the report's % Score cell shows it, without the
// blanks that right-align it there.
std::string percent_text(std::int32_t raw, std::int32_t scored) {
    char cell[PERCENT_CELL_SIZE];
    const int length = format_percent_cell(cell, percent_score(raw, scored));
    std::string_view text(cell, static_cast<std::size_t>(length));
    return std::string(text.substr(std::min(text.find_first_not_of(' '), text.size())));
}

class GradebookWriter {
public:
    GradebookWriter(const Analysis& analysis, const std::vector<SheetIdentity>& identities,
                    const ClassList* list, const std::vector<GradebookColumn>& extra)
        : analysis_(analysis), identities_(identities), list_(list), extra_(extra) {
        group_sheets();
    }

    std::string text() {
        if (list_) {
            for (std::size_t c = 0; c < list_->headings.size(); ++c)
                add_cell(out_, list_->headings[c], c == 0);
        } else {
            add_cell(out_, "Student ID", true);
        }
        for (const char* heading : {"Form", "Raw score", "Score %", "Grade", "Note"})
            add_cell(out_, heading);
        for (const GradebookColumn& column : extra_) add_cell(out_, column.heading);
        out_ += '\n';
        if (list_)
            class_list_rows();
        else
            for (std::size_t i = 0; i < identities_.size(); ++i) {
                add_cell(out_, bubbled_id(identities_[i]), true);
                sheet_cells(i, {});
            }
        return std::move(out_);
    }

private:
    void class_list_rows() {
        const ClassListMatch& match = *analysis_.class_list;
        std::vector<std::vector<std::size_t>> sheets_of(list_->rows.size());
        for (std::size_t i = 0; i < identities_.size(); ++i)
            if (match.student_of_sheet[i] != NO_STUDENT)
                sheets_of[static_cast<std::size_t>(match.student_of_sheet[i])].push_back(i);
        for (std::size_t r = 0; r < list_->rows.size(); ++r) {
            for (std::size_t i : sheets_of[r]) {
                student_cells(list_->rows[r]);
                sheet_cells(i, match.corrected[i]
                                   ? "ID corrected from " + bubbled_id(identities_[i])
                                   : std::string());
            }
            if (!sheets_of[r].empty()) continue;
            student_cells(list_->rows[r]);
            for (int c = 0; c < 4; ++c) add_cell(out_, "");
            add_cell(out_, match.repeated[r] ? "class list repeats ID" : "no sheet");
            for (std::size_t c = 0; c < extra_.size(); ++c) add_cell(out_, "");
            out_ += '\n';
        }
        for (std::size_t i = 0; i < identities_.size(); ++i) {
            if (match.student_of_sheet[i] != NO_STUDENT) continue;
            for (std::size_t c = 0; c < list_->headings.size(); ++c)
                add_cell(out_, c == list_->id_column ? bubbled_id(identities_[i]) : std::string(),
                         c == 0);
            sheet_cells(i, "not on the class list");
        }
    }

    void student_cells(const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) add_cell(out_, cells[c], c == 0);
    }

    // The cells from Form on, and the line end.
    void sheet_cells(std::size_t i, std::string note) {
        const SheetScore& score = analysis_.sheets[i];
        add_cell(out_, std::string(1, identities_[i].form));
        add_cell(out_, score.key ? std::to_string(score.raw) : std::string());
        add_cell(out_, score.scored > 0 ? percent_text(score.raw, score.scored) : std::string());
        add_cell(out_, score.grade != NO_GRADE
                           ? analysis_.grades[static_cast<std::size_t>(score.grade)].grade
                           : std::string());
        const auto add_note = [&](const std::string& part) {
            if (!note.empty()) note += "; ";
            note += part;
        };
        if (!others_[i].empty()) add_note(others_[i]);
        if (!score.key)
            add_note("no key");
        else if (score.scored == 0)
            add_note("no scored question");
        add_cell(out_, note);
        for (const GradebookColumn& column : extra_) {
            const std::int32_t value = column.value_of_sheet[i];
            add_cell(out_, value != NO_VALUE ? std::to_string(value) : std::string());
        }
        out_ += '\n';
    }

    // The sheets of one student: matched to the same class-list row or,
    // matched to nobody, with the same identifier bubbled; each sheet's note
    // names the others' Orders.
    void group_sheets() {
        const std::size_t n = identities_.size();
        const std::int64_t students = list_ ? static_cast<std::int64_t>(list_->rows.size()) : 0;
        std::unordered_map<std::string, std::int64_t> group_of_key;
        std::vector<std::pair<std::int64_t, std::size_t>> grouped; // (group, sheet)
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t student =
                list_ ? analysis_.class_list->student_of_sheet[i] : NO_STUDENT;
            if (student != NO_STUDENT) {
                grouped.emplace_back(student, i);
                continue;
            }
            const std::string key = id_key(bubbled_id(identities_[i]));
            if (key.empty()) continue;
            const auto it =
                group_of_key.emplace(key, students + static_cast<std::int64_t>(group_of_key.size()))
                    .first;
            grouped.emplace_back(it->second, i);
        }
        std::sort(grouped.begin(), grouped.end());
        others_.assign(n, std::string());
        for (std::size_t start = 0, end = 0; start < grouped.size(); start = end) {
            while (end < grouped.size() && grouped[end].first == grouped[start].first) ++end;
            if (end - start < 2) continue;
            for (std::size_t k = start; k < end; ++k) {
                std::vector<std::string> orders;
                for (std::size_t j = start; j < end && orders.size() < NAMED_ORDERS; ++j)
                    if (j != k) orders.push_back(std::to_string(grouped[j].second + 1));
                const std::size_t rest = end - start - 1 - orders.size();
                std::string& text = others_[grouped[k].second];
                text = orders.size() == 1 ? "also Order " : "also Orders ";
                for (std::size_t o = 0; o < orders.size(); ++o) {
                    if (o > 0) text += o + 1 == orders.size() && rest == 0 ? " and " : ", ";
                    text += orders[o];
                }
                if (rest > 0) text += " and " + std::to_string(rest) + " more";
            }
        }
    }

    const Analysis& analysis_;
    const std::vector<SheetIdentity>& identities_;
    const ClassList* list_;
    const std::vector<GradebookColumn>& extra_;
    std::vector<std::string> others_; // per sheet: the note naming its student's other sheets
    std::string out_;
};

} // namespace

std::vector<GradebookColumn> tag_score_columns(const TagScores& tags, std::size_t sheet_rows) {
    std::vector<GradebookColumn> columns(tags.summaries().size());
    for (std::size_t t = 0; t < columns.size(); ++t) {
        columns[t].heading = tags.summaries()[t].tag;
        columns[t].value_of_sheet.assign(sheet_rows, NO_VALUE);
    }
    // The scored sheets' Orders are ascending and each is its row's place
    // from 1.
    for (std::size_t s = 0; s < tags.orders().size(); ++s) {
        const auto row = static_cast<std::size_t>(tags.orders()[s] - 1);
        if (row >= sheet_rows) continue;
        for (std::size_t t = 0; t < columns.size(); ++t)
            columns[t].value_of_sheet[row] = tags.score(s, t);
    }
    return columns;
}

std::string gradebook_csv(const Analysis& analysis, const std::vector<SheetIdentity>& identities,
                          const ClassList* list,
                          const std::vector<GradebookColumn>& extra_columns) {
    return GradebookWriter(analysis, identities, list, extra_columns).text();
}

} // namespace quillmark
