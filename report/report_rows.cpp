#include "report/report_rows.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_scan.h"
#include "report/report_format.h"
#include "report/report_layout.h"

namespace quillmark {

namespace {

// The fixed texts of the rows, each written and read from here.
constexpr std::string_view HEADER_START = "\"Input file:\",,,,quillmark,";
constexpr std::string_view GRADED_ON = ",,,,\"graded on\",";
constexpr std::string_view HEADINGS_ID_FIRST =
    "\"Student ID\",Tform,Exam#,Order,\"Raw Score\",\"% Score\",Responses,Scoring";
constexpr std::string_view HEADINGS_EXAM_FIRST =
    "Exam#,\"Student ID\",Tform,Order,\"Raw Score\",\"% Score\",Responses,Scoring";
constexpr std::string_view SCANNED_KEY_LABEL = "\"Scanned key:\",";     // then the form letter
constexpr std::string_view OVERRIDE_KEY_LABEL = "\"Override:\",\"key "; // then the letter and '"'
constexpr std::string_view KEY_CELLS = ",,,,,\"";          // from the form cell to the key
constexpr std::string_view AMENDMENT_CELLS = "\",,,,,,\""; // from the option to the marker
constexpr std::string_view NO_KEY_CELLS = "\"no key\",,";  // Raw Score and an empty % Score
constexpr std::string_view STATISTICS_HEADING = ",,n,avg,dev,min,max";
constexpr std::string_view ITEM_HEADING_START = ",\"Form "; // then the form letter
constexpr std::string_view ITEM_HEADING_MARK = " Q:A\"";
constexpr std::string_view ITEM_HEADING_REST = ", Correct,\"No resp\"";
constexpr std::string_view ITEM_ROW_START = ",Q";
constexpr char ROW_END = '\n';

char* write_view(char* out, std::string_view text) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size()); // an empty view may be null
    return out + text.size();
}

// The grouped display of a text, cut to MAX_QUESTIONS characters: out has
// room for GROUPED_ROOM characters.
char* write_display(char* out, std::string_view text) {
    const std::size_t longest = MAX_QUESTIONS;
    const char* data = text.empty() ? "" : text.data(); // an empty view may be null
    return write_grouped(out, data, text.size() < longest ? text.size() : longest);
}

// True when `text` stands in the line at `from`.
bool has_at(std::string_view line, std::size_t from, std::string_view text) {
    return from <= line.size() && line.size() - from >= text.size() &&
           std::memcmp(line.data() + from, text.data(), text.size()) == 0;
}

// The `length` characters of the line from `from` on, which the caller
// knows to be in it.
std::string_view piece(std::string_view line, std::size_t from, std::size_t length) {
    return std::string_view(line.data() + from, length);
}

// The position of the first c in the line from `from` on; npos for none.
std::size_t find_byte(std::string_view line, std::size_t from, char c) {
    if (from >= line.size()) return std::string_view::npos;
    const void* found = std::memchr(line.data() + from, c, line.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - line.data())
                 : std::string_view::npos;
}

// The text of a grouped display, into `text`; false when it is not one.
bool ungroup_into(std::string_view display, std::string& text) {
    text.resize(display.size() + UNGROUPED_SLACK);
    std::size_t length = 0;
    const bool grouped = ungroup_display(display.data(), display.size(), &text[0], length);
    text.resize(length);
    return grouped;
}

} // namespace

void write_header_lines(const ReportHeader& header) {
    report_write(HEADER_START);
    report_write("\"v. ");
    report_write(header.version);
    report_write("\",\"");
    report_write(header.build_date);
    report_write("\",\"");
    report_write(header.build_time);
    report_write("\"\n");
    report_write(header.input_name);
    report_write(GRADED_ON);
    report_write(header.weekday);
    report_write(",\"");
    report_write(header.date);
    report_write("\",\"");
    report_write(header.time_of_day);
    report_write("\"\n");
}

bool is_first_header_line(std::string_view line) { return has_at(line, 0, HEADER_START); }

bool may_begin_header(std::string_view start) {
    const std::size_t shared =
        start.size() < HEADER_START.size() ? start.size() : HEADER_START.size();
    return shared == 0 || std::memcmp(start.data(), HEADER_START.data(), shared) == 0;
}

void write_column_headings(bool exam_first) {
    report_write(exam_first ? HEADINGS_EXAM_FIRST : HEADINGS_ID_FIRST);
    report_write("\n");
}

bool parse_column_headings(std::string_view line, bool& exam_first) {
    exam_first = line == HEADINGS_EXAM_FIRST;
    return exam_first || line == HEADINGS_ID_FIRST;
}

void write_key_row(KeySource source, char form, std::string_view key_text) {
    char* out = report_space(OVERRIDE_KEY_LABEL.size() + 2 + KEY_CELLS.size() + GROUPED_ROOM + 2);
    if (source == KeySource::scanned) {
        out = write_view(out, SCANNED_KEY_LABEL);
        *out++ = form;
    } else {
        out = write_view(out, OVERRIDE_KEY_LABEL);
        *out++ = form;
        *out++ = '"';
    }
    out = write_view(out, KEY_CELLS);
    out = write_display(out, key_text);
    *out++ = '"';
    *out++ = ROW_END;
    report_advance(out);
}

KeyRowKind parse_key_row(std::string_view line, char& form, std::string& key_text) {
    std::size_t pos = 0;
    if (has_at(line, 0, SCANNED_KEY_LABEL)) {
        pos = SCANNED_KEY_LABEL.size();
        if (pos >= line.size()) return KeyRowKind::broken;
        form = line[pos];
        pos += 1;
    } else if (has_at(line, 0, OVERRIDE_KEY_LABEL)) {
        pos = OVERRIDE_KEY_LABEL.size();
        if (pos + 1 >= line.size() || line[pos + 1] != '"') return KeyRowKind::broken;
        form = line[pos];
        pos += 2;
    } else {
        return KeyRowKind::other;
    }
    // The key's display, in quotes, ends the row.
    if (!has_at(line, pos, KEY_CELLS) || line.size() < pos + KEY_CELLS.size() + 2 ||
        line.back() != '"')
        return KeyRowKind::broken;
    const std::size_t start = pos + KEY_CELLS.size();
    if (!ungroup_into(piece(line, start, line.size() - 1 - start), key_text) ||
        key_text.size() > static_cast<std::size_t>(MAX_QUESTIONS))
        return KeyRowKind::broken;
    return KeyRowKind::key;
}

void write_amendment_row(std::string_view option, std::string_view marker) {
    report_write("\"");
    report_write(option);
    char* out = report_space(AMENDMENT_CELLS.size() + GROUPED_ROOM + 2);
    out = write_view(out, AMENDMENT_CELLS);
    out = write_display(out, marker);
    *out++ = '"';
    *out++ = ROW_END;
    report_advance(out);
}

namespace {

// The longest sheet row: the identity cells with their quotes and commas,
// Order and Raw Score (at most eleven places each), % Score, and the two
// grouped cells with the form letter and their quotes.
constexpr std::size_t SHEET_ROW_ROOM =
    MAX_ID + MAX_EXAM + 8 + 2 * 12 + PERCENT_CELL_SIZE + 2 * (GROUPED_ROOM + 4) + 8;
static_assert(SHEET_ROW_ROOM <= REPORT_ROOM_MAX, "a row fits in one request for report space");
static_assert(SHEET_ROW_MAX + 1 <= SHEET_ROW_ROOM, "the widest row and its line feed fit");

char* write_identity_cells(char* out, const SheetRow& row, bool exam_first) {
    *out++ = '"';
    if (exam_first) {
        out = write_view(out, row.exam_no);
        out = write_literal(out, "\",\"");
        out = write_view(out, row.student_id);
        out = write_literal(out, "\",");
        *out++ = row.form;
    } else {
        out = write_view(out, row.student_id);
        out = write_literal(out, "\",");
        *out++ = row.form;
        out = write_literal(out, ",\"");
        out = write_view(out, row.exam_no);
        *out++ = '"';
    }
    return out;
}

} // namespace

void write_sheet_row(const SheetRow& row, bool exam_first) {
    char* out = write_identity_cells(report_space(SHEET_ROW_ROOM), row, exam_first);
    *out++ = ',';
    out = write_int(out, row.order, 3);
    *out++ = ',';
    if (row.no_key) {
        out = write_view(out, NO_KEY_CELLS);
        *out++ = '"';
        out = write_display(out, row.responses);
    } else {
        out = write_int(out, row.raw_score, 2);
        *out++ = ',';
        out = write_view(out, row.percent);
        out = write_literal(out, ",\"");
        *out++ = row.form;
        out = write_display(out, row.responses);
        out = write_literal(out, "\",\"");
        out = write_display(out, row.scoring);
    }
    *out++ = '"';
    *out++ = ROW_END;
    report_advance(out);
}

namespace {

// A count as "%d" or "%3d" writes it: blanks, then digits.
bool parse_count(std::string_view cell, std::int32_t& value) {
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == ' ') ++i;
    if (i == cell.size()) return false;
    std::int64_t number = 0;
    for (; i < cell.size(); ++i) {
        const char c = cell[i];
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
        if (number > INT32_MAX) return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

// A cell such as "%7.3f" writes: blanks, digits, a point and three digits.
bool is_percent_cell(std::string_view cell) {
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == ' ') ++i;
    const std::size_t point = find_byte(cell, i, '.');
    if (point == std::string_view::npos) return false;
    if (point == i || cell.size() != point + 4 || cell.size() >= PERCENT_CELL_SIZE) return false;
    for (std::size_t j = i; j < cell.size(); ++j)
        if (j != point && (cell[j] < '0' || cell[j] > '9')) return false;
    return true;
}

// The cell from `pos` to the next comma, which `pos` is moved past.
bool next_cell(std::string_view line, std::size_t& pos, std::string_view& cell) {
    if (pos > line.size()) return false;
    const std::size_t comma = find_byte(line, pos, ',');
    if (comma == std::string_view::npos) return false;
    cell = piece(line, pos, comma - pos);
    pos = comma + 1;
    return true;
}

// A quoted identifier or exam number of at most `longest` characters and
// the comma after it. Neither can hold a comma (the sheet line is cut at
// commas), so the first comma ends the cell.
bool quoted_cell(std::string_view line, std::size_t& pos, std::size_t longest,
                 std::string_view& content) {
    if (pos >= line.size() || line[pos] != '"') return false;
    const std::size_t comma = find_byte(line, pos + 1, ',');
    if (comma == std::string_view::npos) return false;
    if (comma < pos + 2 || line[comma - 1] != '"' || comma - pos - 2 > longest) return false;
    content = piece(line, pos + 1, comma - pos - 2);
    pos = comma + 1;
    return true;
}

// The form letter cell: any one character, then a comma.
bool form_cell(std::string_view line, std::size_t& pos, char& form) {
    if (pos + 1 >= line.size() || line[pos + 1] != ',') return false;
    form = line[pos];
    pos += 2;
    return true;
}

bool parse_identity(std::string_view line, bool exam_first, std::size_t& pos, SheetRow& row) {
    if (exam_first)
        return quoted_cell(line, pos, MAX_EXAM, row.exam_no) &&
               quoted_cell(line, pos, MAX_ID, row.student_id) && form_cell(line, pos, row.form);
    return quoted_cell(line, pos, MAX_ID, row.student_id) && form_cell(line, pos, row.form) &&
           quoted_cell(line, pos, MAX_EXAM, row.exam_no);
}

} // namespace

const char* parse_sheet_row(std::string_view line, bool exam_first, SheetRow& row,
                            std::string& responses, std::string& scoring) {
    row = SheetRow{};
    std::size_t pos = 0;
    if (!parse_identity(line, exam_first, pos, row))
        return "the identifier, form and exam number cells are broken";
    std::string_view cell;
    if (!next_cell(line, pos, cell) || !parse_count(cell, row.order))
        return "the Order cell is not a number";

    std::string_view responses_display;
    if (has_at(line, pos, NO_KEY_CELLS)) {
        row.no_key = true;
        const std::size_t start = pos + NO_KEY_CELLS.size();
        const std::string_view rest = piece(line, start, line.size() - start);
        if (rest.size() < 3 || rest[0] != '"' || rest[1] != ':' || rest.back() != '"')
            return "the Responses cell of a \"no key\" row is broken";
        responses_display = piece(rest, 1, rest.size() - 2);
    } else {
        if (!next_cell(line, pos, cell) || !parse_count(cell, row.raw_score))
            return "the Raw Score cell is not a number";
        if (!next_cell(line, pos, cell)) return "the % Score cell is missing";
        if (!cell.empty() && !is_percent_cell(cell)) return "the % Score cell is not a score";
        row.percent = cell;

        // The Scoring cell is the last one: a quoted ':' and marks, which
        // hold no ':', so the last ':' of the line starts it (its marks are
        // checked below). The Responses cell, which may hold any character,
        // is everything before it.
        if (line.size() < pos + 2 || line.back() != '"')
            return "the Scoring cell is missing or broken";
        const std::size_t colon = pos + scan::last_byte(line.data() + pos, line.size() - pos, ':');
        if (colon >= line.size() || colon < pos + 6 || line[colon - 1] != '"' ||
            line[colon - 2] != ',')
            return "the Scoring cell is missing or broken";
        const std::string_view cells = piece(line, pos, colon - 2 - pos);
        if (cells.size() < 4 || cells[0] != '"' || cells[1] != row.form || cells[2] != ':' ||
            cells.back() != '"')
            return "the Responses cell does not begin with the row's form letter";
        responses_display = piece(cells, 2, cells.size() - 3);

        if (!ungroup_into(piece(line, colon, line.size() - 1 - colon), scoring))
            return "the Scoring cell is not a grouped scoring string";
        if (scoring.size() > static_cast<std::size_t>(MAX_QUESTIONS))
            return "the Scoring cell has more marks than a key has questions";
        bool only_marks = false;
        const std::size_t right =
            scan::count_byte(scoring.data(), scoring.size(), 'c', 'X', '-', only_marks);
        if (!only_marks) return "the Scoring cell is missing or broken";
        if (right != static_cast<std::size_t>(row.raw_score))
            return "the Raw Score is not the number of \"c\" marks of the Scoring cell";
        if (form_index(row.form) < 0) return "a scored row's form is not one of A to J";
        row.scoring = scoring;
    }
    if (!ungroup_into(responses_display, responses))
        return "the Responses cell is not a grouped display";
    row.responses = responses;
    return nullptr;
}

void write_statistics_heading() {
    report_write(STATISTICS_HEADING);
    report_write("\n");
}

bool is_statistics_heading(std::string_view line) { return line == STATISTICS_HEADING; }

void write_statistics_row(char form, std::int32_t count, long double mean, long double std_dev,
                          long double min, long double max) {
    if (form != 0)
        report_printf(",\"Form %c\",", form);
    else
        report_write(",Aggregate,");
    report_printf("%d,%.1Lf,%.1Lf,%.1Lf,%.1Lf\n", count, mean, std_dev, min, max);
}

void write_item_heading(char form, int letters) {
    char* out = report_space(64 + 2 * TALLY_LETTERS);
    *out++ = ROW_END; // an empty line before each table
    out = write_view(out, ITEM_HEADING_START);
    *out++ = form;
    out = write_view(out, ITEM_HEADING_MARK);
    out = write_view(out, ITEM_HEADING_REST);
    for (int m = 0; m < letters; ++m) {
        *out++ = ',';
        *out++ = static_cast<char>('A' + m);
    }
    *out++ = ROW_END;
    report_advance(out);
}

bool parse_item_heading(std::string_view line, char& form) {
    if (!has_at(line, 0, ITEM_HEADING_START) ||
        !has_at(line, ITEM_HEADING_START.size() + 1, ITEM_HEADING_MARK))
        return false;
    form = line[ITEM_HEADING_START.size()];
    return true;
}

void write_item_row(const ItemRow& row) {
    // ",Q%-2d:", the accepted letters, ", %3d:%5.1f%%, %3d", then ", %3d"
    // for each letter.
    char* out = report_space(128 + TALLY_LETTERS * 14);
    out = write_view(out, ITEM_ROW_START);
    out = write_int(out, row.question, 0);
    if (row.question >= 0 && row.question < 10) *out++ = ' ';
    *out++ = ':';
    for (int m = 0; m < row.letters; ++m)
        if (row.accepted >> m & 1u) *out++ = static_cast<char>('A' + m);
    out = write_literal(out, ", ");
    out = write_int(out, row.correct, 3);
    // The per cent of a count of sheets has at most fifteen places.
    const int percent = std::snprintf(out, 24, ":%5.1f%%", row.percent_correct);
    out += percent < 24 ? percent : 23;
    out = write_literal(out, ", ");
    out = write_int(out, row.no_response, 3);
    for (int m = 0; m < row.letters; ++m) {
        out = write_literal(out, ", ");
        out = write_int(out, row.letter_counts[m], 3);
    }
    *out++ = ROW_END;
    report_advance(out);
}

bool parse_item_row(std::string_view line, std::int32_t& question, std::uint32_t& accepted) {
    if (!has_at(line, 0, ITEM_ROW_START)) return false;
    std::size_t pos = ITEM_ROW_START.size();
    std::int32_t number = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && number <= MAX_QUESTIONS)
        number = number * 10 + (line[pos++] - '0');
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (number < 1 || number > MAX_QUESTIONS || pos >= line.size() || line[pos] != ':')
        return false;
    accepted = 0;
    for (++pos; pos < line.size() && line[pos] != ','; ++pos) {
        const auto letter = static_cast<unsigned char>(line[pos]);
        if (!byte_in_range(letter, 'A', TALLY_LETTERS)) return false;
        accepted |= 1u << (letter - 'A');
    }
    question = number;
    return pos < line.size();
}

void write_mismatch_line(std::int32_t mismatches) {
    report_printf("\"%d form mismatches\"\n", mismatches);
}

} // namespace quillmark
