#include "analyze/class_list.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <unordered_map>
#include <utility>

#include "platform/env.h"
#include "report/report_layout.h"

namespace quillmark {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool all_digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

// A heading without the blanks around it, compared with a lower-case name
// whatever the case of its ASCII letters.
bool heading_is(std::string_view heading, std::string_view name) {
    while (!heading.empty() && is_blank(heading.front())) heading.remove_prefix(1);
    while (!heading.empty() && is_blank(heading.back())) heading.remove_suffix(1);
    if (heading.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = heading[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) != name[i])
            return false;
    }
    return true;
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

} // namespace

ClassListReader::ClassListReader()
    : csv_([this](std::vector<std::string>& cells, std::int32_t line, FileError& error) {
          return take_row(cells, line, error);
      }) {}

bool ClassListReader::take_row(std::vector<std::string>& cells, std::int32_t line,
                               FileError& error) {
    const auto refuse = [&](std::int32_t at, std::string message) {
        error = {at, std::move(message)};
        return false;
    };
    if (!have_headings_) {
        have_headings_ = true;
        list_.headings = std::move(cells);
        heading_line_ = line;
        const std::vector<std::string>& headings = list_.headings;
        auto named = [&](std::string_view name) {
            return static_cast<std::size_t>(
                std::find_if(headings.begin(), headings.end(),
                             [&](const std::string& h) { return heading_is(h, name); }) -
                headings.begin());
        };
        list_.id_column = named("student id");
        if (list_.id_column == headings.size()) list_.id_column = named("id");
        id_named_ = list_.id_column < headings.size();
        if (id_named_) return true;
        list_.id_column = 0;
        if (all_digits(id_key(headings[0])))
            return refuse(line, "the first row is not a heading row: its first cell " +
                                    headings[0] + " is an identifier");
        if (headings[0].find_first_not_of(" \t") == std::string::npos)
            return refuse(line,
                          "no column is headed Student ID or ID, and the first column "
                          "has no heading");
        return true;
    }
    const std::size_t width = list_.headings.size();
    if (cells.size() > width) {
        if (std::any_of(cells.begin() + static_cast<std::ptrdiff_t>(width), cells.end(),
                        [](const std::string& cell) { return !cell.empty(); }))
            return refuse(line, "the row has " + std::to_string(cells.size()) +
                                    " cells, the heading row only " + std::to_string(width));
    }
    cells.resize(width);
    list_.rows.push_back(std::move(cells));
    list_.lines.push_back(line);
    return true;
}

bool ClassListReader::finish(ClassList& list, ClassListError& error) {
    if (!csv_.finish(error)) return false;
    const auto refuse = [&](std::int32_t at, std::string message) {
        error = {at, std::move(message)};
        return false;
    };
    if (!have_headings_) return refuse(0, "the class list is empty");
    if (list_.rows.empty()) return refuse(heading_line_, "no student row after the heading row");
    const auto has_digit = [](const std::vector<std::string>& row) {
        return std::any_of(row[0].begin(), row[0].end(), is_digit);
    };
    if (!id_named_ && std::none_of(list_.rows.begin(), list_.rows.end(), has_digit))
        return refuse(heading_line_,
                      "no column is headed Student ID or ID, and the first column (" +
                          list_.headings[0] + ") holds no identifier");
    list = std::move(list_);
    return true;
}

bool read_class_list(std::FILE* file, ClassList& list, ClassListError& error) {
    ClassListReader reader;
    const auto take = [&](const char* data, std::size_t size) { return reader.add(data, size); };
    return read_pieces(file, take, error) && reader.finish(list, error);
}

bool read_class_list(std::string_view text, ClassList& list, ClassListError& error) {
    ClassListReader reader;
    reader.add(text.data(), text.size());
    return reader.finish(list, error);
}

std::size_t find_column(const ClassList& list, std::string_view name) {
    for (std::size_t c = 0; c < list.headings.size(); ++c)
        if (list.headings[c] == name) return c;
    while (!name.empty() && is_blank(name.front())) name.remove_prefix(1);
    while (!name.empty() && is_blank(name.back())) name.remove_suffix(1);
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    for (std::size_t c = 0; c < list.headings.size(); ++c)
        if (heading_is(list.headings[c], lower)) return c;
    return list.headings.size();
}

std::string bubbled_id(const SheetIdentity& sheet) {
    std::string id = shown_id(sheet);
    if (!id.empty()) id[0] = bubbled_id_first(id[0]);
    return id;
}

std::string id_key(std::string_view id) {
    std::string key;
    for (char c : id)
        if (!is_blank(c)) key += c;
    if (all_digits(key)) key.erase(0, std::min(key.find_first_not_of('0'), key.size() - 1));
    return key;
}

namespace {

// A key as slips are looked for: left-padded with zeros to MAX_ID
// characters. Yields false for a key that has no such form.
using SlipForm = std::array<char, MAX_ID>;
bool slip_form(std::string_view key, SlipForm& form) {
    if (key.empty() || key.size() > form.size()) return false;
    form.fill('0');
    std::copy(key.begin(), key.end(), form.end() - static_cast<std::ptrdiff_t>(key.size()));
    return true;
}

IdSlip form_slip(const SlipForm& a, const SlipForm& b) {
    std::size_t differing[3];
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size() && count < 3; ++i)
        if (a[i] != b[i]) differing[count++] = i;
    if (count == 1) return IdSlip::one_digit;
    if (count == 2 && differing[1] == differing[0] + 1 && a[differing[0]] == b[differing[1]] &&
        a[differing[1]] == b[differing[0]])
        return IdSlip::swapped;
    return IdSlip::none;
}

// A form with its owner: a student's row, or a sheet's place in a list.
struct FormEntry {
    SlipForm form;
    std::int32_t owner;
};

// A form packed into two numbers that order as its bytes do, for sorting.
struct Probe {
    std::uint64_t high;
    std::uint32_t low;
    std::int32_t owner;
    Probe(const SlipForm& form, std::int32_t owner_) : high(0), low(0), owner(owner_) {
        static_assert(MAX_ID == 10, "eight bytes in high, two in low");
        for (std::size_t i = 0; i < 8; ++i) high = high << 8 | static_cast<unsigned char>(form[i]);
        low = static_cast<std::uint32_t>(static_cast<unsigned char>(form[8]) << 8 |
                                         static_cast<unsigned char>(form[9]));
    }
    bool operator<(const Probe& other) const {
        return high != other.high ? high < other.high : low < other.low;
    }
};

// The students a slip away from each sheet, with the slip, in row order.
// Both sides are sorted on their forms with one position blanked out (equal
// then means at most that character differs) and, for swaps, the students'
// forms against the sheets' with two neighbours swapped; equal runs are
// joined and each pair found is compared in full. Sorting keeps this in
// n log n for a class list and a batch of any size.
using Slips = std::vector<std::pair<std::int32_t, IdSlip>>;
std::vector<Slips> find_slips(const std::vector<FormEntry>& students,
                              const std::vector<FormEntry>& sheets) {
    std::vector<Slips> found(sheets.size());
    // `a` and `b` hold probe forms owned by positions in students and sheets.
    const auto join = [&](std::vector<Probe>& a, std::vector<Probe>& b) {
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
            if (a[i] < b[j]) {
                ++i;
            } else if (b[j] < a[i]) {
                ++j;
            } else {
                std::size_t i_end = i;
                std::size_t j_end = j;
                while (i_end < a.size() && !(a[i] < a[i_end])) ++i_end;
                while (j_end < b.size() && !(b[j] < b[j_end])) ++j_end;
                for (std::size_t x = i; x < i_end; ++x)
                    for (std::size_t y = j; y < j_end; ++y) {
                        const FormEntry& student = students[static_cast<std::size_t>(a[x].owner)];
                        const std::size_t sheet = static_cast<std::size_t>(b[y].owner);
                        const IdSlip slip = form_slip(sheets[sheet].form, student.form);
                        if (slip != IdSlip::none) found[sheet].emplace_back(student.owner, slip);
                    }
                i = i_end;
                j = j_end;
            }
        }
    };
    std::vector<Probe> a;
    std::vector<Probe> b;
    const auto blanked = [](SlipForm form, std::size_t p) {
        form[p] = 0;
        return form;
    };
    for (std::size_t p = 0; p < MAX_ID; ++p) {
        a.clear();
        b.clear();
        for (std::size_t x = 0; x < students.size(); ++x)
            a.emplace_back(blanked(students[x].form, p), static_cast<std::int32_t>(x));
        for (std::size_t y = 0; y < sheets.size(); ++y)
            b.emplace_back(blanked(sheets[y].form, p), static_cast<std::int32_t>(y));
        join(a, b);
    }
    a.clear();
    b.clear();
    for (std::size_t x = 0; x < students.size(); ++x)
        a.emplace_back(students[x].form, static_cast<std::int32_t>(x));
    for (std::size_t y = 0; y < sheets.size(); ++y)
        for (std::size_t p = 0; p + 1 < MAX_ID; ++p) {
            SlipForm form = sheets[y].form;
            if (form[p] == form[p + 1]) continue;
            std::swap(form[p], form[p + 1]);
            b.emplace_back(form, static_cast<std::int32_t>(y));
        }
    join(a, b);
    for (Slips& slips : found) std::sort(slips.begin(), slips.end());
    return found;
}

} // namespace

IdSlip id_slip(std::string_view key_a, std::string_view key_b) {
    SlipForm a;
    SlipForm b;
    if (!slip_form(key_a, a) || !slip_form(key_b, b)) return IdSlip::none;
    return form_slip(a, b);
}

const char* slip_text(IdSlip slip) {
    switch (slip) {
    case IdSlip::one_digit: return "one digit off";
    case IdSlip::swapped: return "neighbouring digits swapped";
    case IdSlip::none: break;
    }
    return "";
}

ClassListMatch match_class_list(const ClassList& list, const std::vector<SheetIdentity>& sheets,
                                std::vector<SheetCheck>& checks) {
    const std::size_t students = list.rows.size();
    ClassListMatch match;
    match.student_of_sheet.assign(sheets.size(), NO_STUDENT);
    match.corrected.assign(sheets.size(), 0);
    match.repeated.assign(students, 0);
    const auto id_cell = [&](std::int32_t row) -> const std::string& {
        return list.rows[static_cast<std::size_t>(row)][list.id_column];
    };
    const auto line_text = [&](std::int32_t row) {
        return std::to_string(list.lines[static_cast<std::size_t>(row)]);
    };

    // The rows of every identifier, in class-list order.
    std::unordered_map<std::string, std::size_t> group_of_key;
    std::vector<std::vector<std::int32_t>> groups;
    std::vector<std::string> student_keys(students);
    for (std::size_t r = 0; r < students; ++r) {
        student_keys[r] = id_key(list.rows[r][list.id_column]);
        if (student_keys[r].empty()) continue;
        const auto [it, added] = group_of_key.emplace(student_keys[r], groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(static_cast<std::int32_t>(r));
    }
    for (const std::vector<std::int32_t>& rows : groups)
        if (rows.size() > 1)
            for (std::int32_t r : rows) match.repeated[static_cast<std::size_t>(r)] = 1;

    // Sheets matched by their own identifier; the rest are looked at for
    // slips when their identifier is on no row at all.
    std::vector<unsigned char> has_sheet(students, 0);
    std::vector<std::size_t> unlisted; // sheets whose key is on no row
    std::vector<unsigned char> key_repeated(sheets.size(), 0);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string key = id_key(bubbled_id(sheets[i]));
        const auto it = key.empty() ? group_of_key.end() : group_of_key.find(key);
        if (it == group_of_key.end()) {
            unlisted.push_back(i);
        } else if (groups[it->second].size() > 1) {
            key_repeated[i] = 1;
        } else {
            match.student_of_sheet[i] = groups[it->second].front();
            has_sheet[static_cast<std::size_t>(match.student_of_sheet[i])] = 1;
        }
    }

    std::vector<FormEntry> absent; // students without a sheet, by row
    for (std::size_t r = 0; r < students; ++r) {
        FormEntry entry{{}, static_cast<std::int32_t>(r)};
        if (!has_sheet[r] && !match.repeated[r] && slip_form(student_keys[r], entry.form))
            absent.push_back(entry);
    }
    std::vector<FormEntry> probed; // unlisted sheets with a slip form
    std::vector<std::size_t> probed_at;
    for (std::size_t u = 0; u < unlisted.size(); ++u) {
        FormEntry entry{{}, static_cast<std::int32_t>(u)};
        if (!slip_form(id_key(bubbled_id(sheets[unlisted[u]])), entry.form)) continue;
        probed.push_back(entry);
        probed_at.push_back(u);
    }
    std::vector<Slips> found = find_slips(absent, probed);
    std::vector<Slips> candidates(unlisted.size());
    std::vector<std::int32_t> named_by(students, 0); // sheets that have the student as a candidate
    for (std::size_t k = 0; k < probed.size(); ++k) {
        for (const auto& candidate : found[k])
            ++named_by[static_cast<std::size_t>(candidate.first)];
        candidates[probed_at[k]] = std::move(found[k]);
    }
    for (std::size_t u = 0; u < unlisted.size(); ++u) {
        if (candidates[u].size() != 1) continue;
        const std::int32_t student = candidates[u].front().first;
        if (named_by[static_cast<std::size_t>(student)] != 1) continue;
        match.student_of_sheet[unlisted[u]] = student;
        match.corrected[unlisted[u]] = 1;
        has_sheet[static_cast<std::size_t>(student)] = 1;
    }

    const auto sheet_check = [&](CheckKind kind, std::size_t i, std::string detail) {
        SheetCheck check;
        check.kind = kind;
        check.form = sheets[i].form;
        check.order = static_cast<std::int32_t>(i) + 1;
        check.student_id = shown_id(sheets[i]);
        check.detail = std::move(detail);
        checks.push_back(std::move(check));
    };
    const auto student_check = [&](CheckKind kind, std::int32_t row, std::string detail) {
        SheetCheck check;
        check.kind = kind;
        check.student_id = id_cell(row);
        check.detail = std::move(detail);
        checks.push_back(std::move(check));
    };
    std::size_t u = 0;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const bool is_unlisted = u < unlisted.size() && unlisted[u] == i;
        const std::size_t at = u;
        u += is_unlisted;
        if (match.student_of_sheet[i] != NO_STUDENT) continue;
        const std::string bubbled = bubbled_id(sheets[i]);
        std::string detail =
            id_key(bubbled).empty() ? "no identifier bubbled" : "bubbled " + bubbled;
        if (key_repeated[i]) detail += ", which the class list repeats";
        if (is_unlisted && !candidates[at].empty()) {
            std::vector<std::string> near;
            for (const auto& [row, slip] : candidates[at])
                near.push_back(id_cell(row) + " (line " + line_text(row) + ", " + slip_text(slip) +
                               ")");
            detail += "; close to " + listed(near);
        }
        sheet_check(CheckKind::not_on_class_list, i, std::move(detail));
        ++match.counts.not_on_list;
    }
    for (std::size_t r = 0; r < students; ++r) {
        if (has_sheet[r] || match.repeated[r]) continue;
        const auto row = static_cast<std::int32_t>(r);
        student_check(CheckKind::no_sheet, row,
                      "class list line " + line_text(row) +
                          (student_keys[r].empty() ? ", without an identifier" : ""));
        ++match.counts.no_sheet;
    }
    match.counts.on_list = static_cast<std::int64_t>(students);
    match.counts.sheets = static_cast<std::int64_t>(sheets.size());
    for (std::int32_t student : match.student_of_sheet)
        match.counts.matched += student != NO_STUDENT;
    u = 0;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (!match.corrected[i]) continue;
        ++match.counts.corrected;
        while (unlisted[u] != i) ++u;
        const auto [row, slip] = candidates[u].front();
        sheet_check(CheckKind::id_corrected, i,
                    "bubbled " + bubbled_id(sheets[i]) + ", matched to " + id_cell(row) +
                        " (class list line " + line_text(row) + "): " + slip_text(slip));
    }
    for (const std::vector<std::int32_t>& rows : groups) {
        if (rows.size() < 2) continue;
        std::vector<std::string> lines;
        for (std::int32_t row : rows) lines.push_back(line_text(row));
        student_check(CheckKind::class_list_repeats_id, rows.front(),
                      "class list lines " + listed(lines) + "; no sheet is matched to them");
    }
    return match;
}

} // namespace quillmark
