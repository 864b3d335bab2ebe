#include "analyze/report_reader.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "keys/report_layout.h"

namespace quillmark {

namespace {

constexpr std::size_t MAX_KEY_QUESTIONS = MAX_QUESTIONS;

// What one result row or "no key" row says.
struct SheetRow {
    char form = 0;
    std::int32_t order = 0;
    bool no_key = false;
    std::int32_t raw_score = 0;
    bool has_percent = false;
    std::string percent_text; // as written, with its leading blanks
    std::string marks;        // "c", "X" or "-" per question, ungrouped
};

// A question of a form as the scoring strings show it.
enum class Mark { unseen, scored, dropped };

// What the report tells of one form while it is read.
struct FormState {
    std::int32_t key_length = -1; // questions of the latest key row; -1 without one
    std::array<bool, MAX_KEY_QUESTIONS> key_dropped{};
    std::array<Mark, MAX_KEY_QUESTIONS> marks{};
    std::array<std::int32_t, MAX_KEY_QUESTIONS> mark_line{}; // the row that first showed it
    std::vector<SheetRow> rows;
    std::vector<std::int32_t> row_lines;
};

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool fail(std::string& why, const char* message) {
    why = message;
    return false;
}

// A cell of blanks and digits such as "%3d" writes; the blanks only in front.
bool parse_count(const std::string& cell, std::int32_t& value) {
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == ' ') ++i;
    if (i == cell.size()) return false;
    std::int64_t number = 0;
    for (; i < cell.size(); ++i) {
        if (cell[i] < '0' || cell[i] > '9') return false;
        number = number * 10 + (cell[i] - '0');
        if (number > INT32_MAX) return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

// A cell such as "%7.3f" writes: blanks, digits, a point and three digits.
bool parse_percent(const std::string& cell, std::string& text) {
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == ' ') ++i;
    const std::size_t point = cell.find('.', i);
    if (point == std::string::npos || point == i || cell.size() != point + 4) return false;
    for (std::size_t j = i; j < cell.size(); ++j)
        if (j != point && (cell[j] < '0' || cell[j] > '9')) return false;
    text = cell;
    return true;
}

// The cell from `pos` to the next comma, which `pos` is moved past.
bool next_cell(const std::string& line, std::size_t& pos, std::string& cell) {
    const std::size_t comma = line.find(',', pos);
    if (comma == std::string::npos) return false;
    cell = line.substr(pos, comma - pos);
    pos = comma + 1;
    return true;
}

// A quoted identifier or exam number of at most `longest` characters and
// the comma after it. Neither can hold a comma (the sheet line is cut at
// commas), so the first comma ends the cell.
bool skip_quoted_cell(const std::string& line, std::size_t& pos, std::size_t longest) {
    if (pos >= line.size() || line[pos] != '"') return false;
    const std::size_t comma = line.find(',', pos + 1);
    if (comma == std::string::npos || comma < pos + 2 || line[comma - 1] != '"') return false;
    if (comma - pos - 2 > longest) return false;
    pos = comma + 1;
    return true;
}

// The form letter cell: any one character, then a comma.
bool read_form_cell(const std::string& line, std::size_t& pos, char& form) {
    if (pos + 1 >= line.size() || line[pos + 1] != ',') return false;
    form = line[pos];
    pos += 2;
    return true;
}

bool parse_identity(const std::string& line, bool exam_first, std::size_t& pos, char& form) {
    if (exam_first)
        return skip_quoted_cell(line, pos, MAX_EXAM) && skip_quoted_cell(line, pos, MAX_ID) &&
               read_form_cell(line, pos, form);
    return skip_quoted_cell(line, pos, MAX_ID) && read_form_cell(line, pos, form) &&
           skip_quoted_cell(line, pos, MAX_EXAM);
}

// The marks of a scoring string and the blank between its groups.
bool is_scoring_character(char c) { return c == 'c' || c == 'X' || c == '-' || c == ' '; }

// A result row or a "no key" row, in the column order of the headings.
bool parse_sheet_row(const std::string& line, bool exam_first, SheetRow& row, std::string& why) {
    std::size_t pos = 0;
    if (!parse_identity(line, exam_first, pos, row.form))
        return fail(why, "the identifier, form and exam number cells are broken");
    std::string cell;
    if (!next_cell(line, pos, cell) || !parse_count(cell, row.order))
        return fail(why, "the Order cell is not a number");

    const std::size_t no_key_length = std::strlen(NO_KEY_CELL);
    if (line.compare(pos, no_key_length, NO_KEY_CELL) == 0 &&
        line.compare(pos + no_key_length, 2, ",,") == 0) {
        row.no_key = true;
        const std::string responses = line.substr(pos + no_key_length + 2);
        if (responses.size() < 3 || responses[0] != '"' || responses[1] != ':' ||
            responses.back() != '"')
            return fail(why, "the Responses cell of a \"no key\" row is broken");
        return true;
    }

    if (!next_cell(line, pos, cell) || !parse_count(cell, row.raw_score))
        return fail(why, "the Raw Score cell is not a number");
    if (!next_cell(line, pos, cell)) return fail(why, "the % Score cell is missing");
    row.has_percent = !cell.empty();
    if (row.has_percent && !parse_percent(cell, row.percent_text))
        return fail(why, "the % Score cell is not a score");

    // The Scoring cell is the last one: a quoted ':' and marks, which hold
    // no ':', so the last ':' of the line starts it. The Responses cell,
    // which may hold any character, is everything before it.
    if (line.size() < pos + 2 || line.back() != '"') return fail(why, "the Scoring cell is missing or broken");
    std::size_t start = line.size() - 1;
    while (start > pos && is_scoring_character(line[start - 1])) --start;
    const std::size_t colon = start - 1;
    if (colon < pos + 6 || line[colon] != ':' || line[colon - 1] != '"' || line[colon - 2] != ',')
        return fail(why, "the Scoring cell is missing or broken");
    const std::string responses = line.substr(pos, colon - 2 - pos);
    if (responses.size() < 4 || responses[0] != '"' || responses[1] != row.form ||
        responses[2] != ':' || responses.back() != '"')
        return fail(why, "the Responses cell does not begin with the row's form letter");
    const std::string display = line.substr(colon, line.size() - 1 - colon);
    if (!ungroup_display(display, row.marks))
        return fail(why, "the Scoring cell is not a grouped scoring string");
    if (row.marks.size() > MAX_KEY_QUESTIONS)
        return fail(why, "the Scoring cell has more marks than a key has questions");
    std::int32_t right = 0;
    for (char mark : row.marks)
        if (mark == 'c') ++right;
    if (right != row.raw_score)
        return fail(why, "the Raw Score is not the number of \"c\" marks of the Scoring cell");
    if (form_index(row.form) < 0) return fail(why, "a scored row's form is not one of A to J");
    return true;
}

// A "Scanned key:" or "Override:" row: the form it stores a key for and the
// key text. Yields false for any other row.
// `broken` tells whether such a row does not have the layout of its kind.
bool parse_key_row(const std::string& line, char& form, std::string& key, bool& broken) {
    std::size_t pos = 0;
    broken = true;
    if (starts_with(line, SCANNED_KEY_LABEL) &&
        line.compare(std::strlen(SCANNED_KEY_LABEL), 1, ",") == 0) {
        pos = std::strlen(SCANNED_KEY_LABEL) + 1;
        if (pos >= line.size()) return true;
        form = line[pos];
        pos += 1;
    } else if (starts_with(line, OVERRIDE_KEY_LABEL)) {
        pos = std::strlen(OVERRIDE_KEY_LABEL);
        if (pos + 1 >= line.size() || line[pos + 1] != '"') return true;
        form = line[pos];
        pos += 2;
    } else {
        broken = false;
        return false;
    }
    if (line.compare(pos, 6, ",,,,,\"") != 0 || line.size() < pos + 8 || line.back() != '"')
        return true;
    const std::string display = line.substr(pos + 6, line.size() - pos - 7);
    broken = !ungroup_display(display, key) || key.size() > MAX_KEY_QUESTIONS;
    return true;
}

bool report_error(ReportError& error, std::int32_t line, std::string message) {
    error.line = line;
    error.message = std::move(message);
    return false;
}

// Notes which of a row's questions are scored and which dropped; a question
// shown scored on one row and dropped on another makes the report broken.
bool note_marks(FormState& state, const SheetRow& row, std::int32_t line, ReportError& error) {
    for (std::size_t q = 0; q < row.marks.size(); ++q) {
        Mark mark = row.marks[q] == '-' ? Mark::dropped : Mark::scored;
        if (state.marks[q] == Mark::unseen) {
            state.marks[q] = mark;
            state.mark_line[q] = line;
        } else if (state.marks[q] != mark) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "question %zu of form %c is %s here but %s on line %d", q + 1,
                          row.form, mark == Mark::dropped ? "dropped" : "scored",
                          mark == Mark::dropped ? "scored" : "dropped", state.mark_line[q]);
            return report_error(error, line, message);
        }
    }
    return true;
}

// Turns the rows of one form into its scored questions and its table of
// right and wrong answers, checking every row's % Score against them.
// Yields false with `error` set on a row whose score does not agree.
bool build_form(char form, const FormState& state, FormScores& scores, ReportError& error) {
    std::size_t questions = state.key_length > 0 ? static_cast<std::size_t>(state.key_length) : 0;
    for (const SheetRow& row : state.rows)
        if (row.marks.size() > questions) questions = row.marks.size();
    scores.form = form;
    scores.key_questions = static_cast<std::int32_t>(questions);
    // A question no row reaches is dropped when a key row drops it; a mark
    // on any row says more than the key rows, since options may amend them.
    for (std::size_t q = 0; q < questions; ++q) {
        bool dropped = state.marks[q] == Mark::dropped ||
                       (state.marks[q] == Mark::unseen && state.key_dropped[q]);
        if (!dropped) scores.question_numbers.push_back(static_cast<std::int32_t>(q + 1));
    }
    const auto scored = static_cast<std::int32_t>(scores.question_numbers.size());

    ScoreMatrix& matrix = scores.matrix;
    matrix.sheets = static_cast<std::int32_t>(state.rows.size());
    matrix.items = scored;
    matrix.correct.assign(state.rows.size() * scores.question_numbers.size(), 0);
    for (std::size_t s = 0; s < state.rows.size(); ++s) {
        const SheetRow& row = state.rows[s];
        char expected[PERCENT_CELL_SIZE] = "";
        long double percent = 0;
        if (scored > 0) {
            percent = percent_score(row.raw_score, scored);
            format_percent_cell(expected, static_cast<double>(percent));
        }
        if (row.has_percent != (scored > 0) || (scored > 0 && row.percent_text != expected)) {
            char message[200];
            std::snprintf(message, sizeof message,
                          "the %% Score does not agree with %d right of the %d questions "
                          "that the key of form %c scores",
                          row.raw_score, scored, form);
            return report_error(error, state.row_lines[s], message);
        }
        scores.percent_scores.push_back(percent);
        for (std::int32_t i = 0; i < scored; ++i) {
            const auto q = static_cast<std::size_t>(scores.question_numbers[i] - 1);
            if (q < row.marks.size() && row.marks[q] == 'c')
                matrix.correct[s * static_cast<std::size_t>(scored) + i] = 1;
        }
    }
    return true;
}

} // namespace

bool ungroup_display(const std::string& display, std::string& text) {
    text.resize(display.size());
    std::size_t length = 0;
    const bool grouped = ungroup_display(display.data(), display.size(), &text[0], length);
    text.resize(length);
    return grouped;
}

bool read_report(const std::vector<std::string>& lines, ReportTables& tables,
                 ReportError& error) {
    tables = ReportTables{};
    if (lines.empty() || !starts_with(lines[0], REPORT_HEADER_START))
        return report_error(error, 1,
                            "not a quillmark report: the \"Input file:\" header line is missing");

    std::vector<FormState> states(NUM_FORMS);
    const auto count = static_cast<std::int32_t>(lines.size());
    std::int32_t i = 1;
    bool exam_first = false;
    bool headings = false;
    std::string why;

    // The rows before the column headings: header, key and option rows. A
    // report without student sheets goes on to the statistics heading.
    for (; i < count; ++i) {
        const std::string& line = lines[i];
        if (line == column_headings(false) || line == column_headings(true)) {
            exam_first = line == column_headings(true);
            headings = true;
            ++i;
            break;
        }
        if (line == STATISTICS_HEADING) break;
        char form = 0;
        std::string key;
        bool broken = false;
        if (!parse_key_row(line, form, key, broken)) continue;
        if (broken) return report_error(error, i + 1, "a key row of the report is broken");
        if (form_index(form) < 0) continue; // a key the grader could not store
        FormState& state = states[form_index(form)];
        state.key_length = static_cast<std::int32_t>(key.size());
        for (std::size_t q = 0; q < key.size(); ++q)
            if (key[q] == '-') state.key_dropped[q] = true;
    }
    if (i >= count)
        return report_error(error, count,
                            headings ? "the report ends before its statistics heading"
                                     : "not a quillmark report: no column headings");

    // The sheet rows, up to the statistics heading.
    if (headings) {
        for (;; ++i) {
            if (i >= count)
                return report_error(error, count, "the report ends before its statistics heading");
            const std::string& line = lines[i];
            if (line == STATISTICS_HEADING) break;
            SheetRow row;
            if (!parse_sheet_row(line, exam_first, row, why))
                return report_error(error, i + 1, "not a sheet row of the report: " + why);
            if (row.order != tables.sheet_rows + 1) {
                char message[120];
                std::snprintf(message, sizeof message,
                              "the Order %d does not follow the row before (%d): rows are missing",
                              row.order, tables.sheet_rows);
                return report_error(error, i + 1, message);
            }
            ++tables.sheet_rows;
            if (row.no_key) {
                ++tables.no_key_rows;
                continue;
            }
            FormState& state = states[form_index(row.form)];
            if (static_cast<std::int32_t>(state.rows.size()) >= MAX_FORM_SHEETS)
                return report_error(error, i + 1, "a form has too many sheets to analyse");
            if (!note_marks(state, row, i + 1, error)) return false;
            state.rows.push_back(std::move(row));
            state.row_lines.push_back(i + 1);
        }
    }

    for (std::int32_t f = 0; f < NUM_FORMS; ++f) {
        if (states[f].rows.empty()) continue;
        FormScores scores;
        if (!build_form(form_letter_of(f), states[f], scores, error)) return false;
        if (scores.matrix.items == 0) {
            tables.unscored_rows += scores.matrix.sheets;
            continue;
        }
        tables.forms.push_back(std::move(scores));
    }
    return true;
}

} // namespace quillmark
