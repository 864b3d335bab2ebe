#include "analyze/report_reader.h"

#include <array>
#include <cstring>

#include "platform/byte_scan.h"
#include "platform/env.h"
#include "report/report_layout.h"

namespace quillmark {

namespace {

constexpr std::size_t MAX_KEY_QUESTIONS = MAX_QUESTIONS;

// A piece of a line: where it starts and how long it is.
struct Text {
    const char* data = nullptr;
    std::size_t length = 0;

    bool starts_with(const char* prefix, std::size_t from = 0) const {
        const std::size_t n = std::strlen(prefix);
        return from <= length && length - from >= n && std::memcmp(data + from, prefix, n) == 0;
    }
    bool equals(const char* other) const {
        return length == std::strlen(other) && std::memcmp(data, other, length) == 0;
    }
};

// Counts the 'c' marks of a scoring string; false when it holds anything
// but 'c', 'X' and '-'.
bool count_right_marks(const std::string& marks, std::int32_t& right) {
    bool valid = false;
    right = static_cast<std::int32_t>(
        scan::count_byte(marks.data(), marks.size(), 'c', 'X', '-', valid));
    return valid;
}

// True when a responses string holds anything but '-' (no mark).
bool has_response(const std::string& responses) {
    return !scan::all_bytes_are(responses.data(), responses.size(), '-');
}

// The position of the last ':' in line[from, to), or `from` when there is
// none there.
std::size_t last_colon(const char* line, std::size_t from, std::size_t to) {
    const std::size_t found = scan::last_byte(line + from, to - from, ':');
    return found < to - from ? from + found : from;
}

// What one result row or "no key" row says. The texts point into the line.
struct SheetRow {
    char form = 0;
    std::int32_t order = 0;
    bool no_key = false;
    std::int32_t raw_score = 0;
    bool has_percent = false;
    Text percent;   // as written, with its leading blanks
    Text id;        // without quotes
    Text exam;
    Text responses; // the grouped display, from its ':'
    Text scoring;   // the grouped display, from its ':'
};

// A question of a form as the scoring strings show it.
enum class Mark : unsigned char { unseen, scored, dropped };

// The % Score cells seen for one raw score: all rows of a form score the
// same questions, so one raw score must always show the same cell.
struct PercentSeen {
    char text[PERCENT_CELL_SIZE] = "";
    std::int32_t first_line = 0;  // 0 until a row shows this raw score
    std::int32_t differing_line = 0; // the first row whose cell differs from it
};

// What the report tells of one form while it is read.
struct FormState {
    std::int32_t key_length = -1; // questions of the latest key row; -1 without one
    std::array<bool, MAX_KEY_QUESTIONS> key_dropped{};
    std::array<Mark, MAX_KEY_QUESTIONS> marks{};
    std::array<std::int32_t, MAX_KEY_QUESTIONS> mark_line{}; // the row that first showed it
    // The first `known_marks` questions have a mark, '-' (dropped) or 'c'
    // (scored) in `known`: rows are checked against them sixteen at a time.
    std::array<char, MAX_KEY_QUESTIONS> known{};
    std::size_t known_marks = 0;
    std::array<std::uint32_t, MAX_KEY_QUESTIONS> accepted{}; // letters the item analysis lists
    std::int32_t widest = 0;      // the most marks of a row
    std::size_t stride = 0;       // answer bytes kept per sheet
    std::int32_t sheets = 0;
    ByteArray cells;
    std::array<PercentSeen, MAX_KEY_QUESTIONS + 1> percent{};
    std::int32_t first_line_with_percent = 0;
    std::int32_t first_line_without_percent = 0;
    std::int32_t raw_with_percent = 0; // the raw scores of those two rows
    std::int32_t raw_without_percent = 0;
};

enum class Phase { header, before_headings, sheets, summary, done, failed };

bool parse_count(Text cell, std::int32_t& value) {
    std::size_t i = 0;
    while (i < cell.length && cell.data[i] == ' ') ++i;
    if (i == cell.length) return false;
    std::int64_t number = 0;
    for (; i < cell.length; ++i) {
        const char c = cell.data[i];
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
        if (number > INT32_MAX) return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

// A cell such as "%7.3f" writes: blanks, digits, a point and three digits.
bool is_percent_cell(Text cell) {
    std::size_t i = 0;
    while (i < cell.length && cell.data[i] == ' ') ++i;
    const void* found = std::memchr(cell.data + i, '.', cell.length - i);
    if (!found) return false;
    const auto point = static_cast<std::size_t>(static_cast<const char*>(found) - cell.data);
    if (point == i || cell.length != point + 4 || cell.length >= PERCENT_CELL_SIZE) return false;
    for (std::size_t j = i; j < cell.length; ++j)
        if (j != point && (cell.data[j] < '0' || cell.data[j] > '9')) return false;
    return true;
}

// The cell from `pos` to the next comma, which `pos` is moved past.
bool next_cell(Text line, std::size_t& pos, Text& cell) {
    if (pos > line.length) return false;
    const void* found = std::memchr(line.data + pos, ',', line.length - pos);
    if (!found) return false;
    const auto comma = static_cast<std::size_t>(static_cast<const char*>(found) - line.data);
    cell = {line.data + pos, comma - pos};
    pos = comma + 1;
    return true;
}

// A quoted identifier or exam number of at most `longest` characters and
// the comma after it. Neither can hold a comma (the sheet line is cut at
// commas), so the first comma ends the cell.
bool quoted_cell(Text line, std::size_t& pos, std::size_t longest, Text& content) {
    if (pos >= line.length || line.data[pos] != '"') return false;
    const void* found = std::memchr(line.data + pos + 1, ',', line.length - pos - 1);
    if (!found) return false;
    const auto comma = static_cast<std::size_t>(static_cast<const char*>(found) - line.data);
    if (comma < pos + 2 || line.data[comma - 1] != '"' || comma - pos - 2 > longest) return false;
    content = {line.data + pos + 1, comma - pos - 2};
    pos = comma + 1;
    return true;
}

// The form letter cell: any one character, then a comma.
bool form_cell(Text line, std::size_t& pos, char& form) {
    if (pos + 1 >= line.length || line.data[pos + 1] != ',') return false;
    form = line.data[pos];
    pos += 2;
    return true;
}

bool parse_identity(Text line, bool exam_first, std::size_t& pos, SheetRow& row) {
    if (exam_first)
        return quoted_cell(line, pos, MAX_EXAM, row.exam) &&
               quoted_cell(line, pos, MAX_ID, row.id) && form_cell(line, pos, row.form);
    return quoted_cell(line, pos, MAX_ID, row.id) && form_cell(line, pos, row.form) &&
           quoted_cell(line, pos, MAX_EXAM, row.exam);
}

// The text of a grouped display, into `text`; false when it is not one.
bool ungroup_text(Text display, std::string& text) {
    text.resize(display.length + UNGROUPED_SLACK);
    std::size_t length = 0;
    const bool grouped = ungroup_display(display.data, display.length, &text[0], length);
    text.resize(length);
    return grouped;
}

const char* fail(const char*& why, const char* message) {
    why = message;
    return nullptr;
}

// A result row or a "no key" row, in the column order of the headings.
// Yields false with `why` set when the row is broken.
bool parse_sheet_row(Text line, bool exam_first, SheetRow& row, const char*& why) {
    std::size_t pos = 0;
    if (!parse_identity(line, exam_first, pos, row))
        return fail(why, "the identifier, form and exam number cells are broken");
    Text cell;
    if (!next_cell(line, pos, cell) || !parse_count(cell, row.order))
        return fail(why, "the Order cell is not a number");

    const std::size_t no_key_length = std::strlen(NO_KEY_CELL);
    if (line.starts_with(NO_KEY_CELL, pos) && line.starts_with(",,", pos + no_key_length)) {
        row.no_key = true;
        const std::size_t start = pos + no_key_length + 2;
        const Text responses{line.data + start, line.length - start};
        if (responses.length < 3 || responses.data[0] != '"' || responses.data[1] != ':' ||
            responses.data[responses.length - 1] != '"')
            return fail(why, "the Responses cell of a \"no key\" row is broken");
        row.responses = {responses.data + 1, responses.length - 2};
        return true;
    }

    if (!next_cell(line, pos, cell) || !parse_count(cell, row.raw_score))
        return fail(why, "the Raw Score cell is not a number");
    if (!next_cell(line, pos, cell)) return fail(why, "the % Score cell is missing");
    row.has_percent = cell.length != 0;
    if (row.has_percent && !is_percent_cell(cell))
        return fail(why, "the % Score cell is not a score");
    row.percent = cell;

    // The Scoring cell is the last one: a quoted ':' and marks, which hold
    // no ':', so the last ':' of the line starts it (its marks are checked
    // as they are read). The Responses cell, which may hold any character,
    // is everything before it.
    if (line.length < pos + 2 || line.data[line.length - 1] != '"')
        return fail(why, "the Scoring cell is missing or broken");
    const std::size_t colon = last_colon(line.data, pos, line.length);
    if (colon < pos + 6 || line.data[colon - 1] != '"' || line.data[colon - 2] != ',')
        return fail(why, "the Scoring cell is missing or broken");
    const Text responses{line.data + pos, colon - 2 - pos};
    if (responses.length < 4 || responses.data[0] != '"' || responses.data[1] != row.form ||
        responses.data[2] != ':' || responses.data[responses.length - 1] != '"')
        return fail(why, "the Responses cell does not begin with the row's form letter");
    row.responses = {responses.data + 2, responses.length - 3};
    row.scoring = {line.data + colon, line.length - 1 - colon};
    return true;
}

// A "Scanned key:" or "Override:" row: the form it stores a key for and the
// key text. Yields false for any other row.
// `broken` tells whether such a row does not have the layout of its kind.
bool parse_key_row(Text line, char& form, std::string& key, bool& broken) {
    std::size_t pos = 0;
    broken = true;
    if (line.starts_with(SCANNED_KEY_LABEL) && line.starts_with(",", std::strlen(SCANNED_KEY_LABEL))) {
        pos = std::strlen(SCANNED_KEY_LABEL) + 1;
        if (pos >= line.length) return true;
        form = line.data[pos];
        pos += 1;
    } else if (line.starts_with(OVERRIDE_KEY_LABEL)) {
        pos = std::strlen(OVERRIDE_KEY_LABEL);
        if (pos + 1 >= line.length || line.data[pos + 1] != '"') return true;
        form = line.data[pos];
        pos += 2;
    } else {
        broken = false;
        return false;
    }
    if (!line.starts_with(",,,,,\"", pos) || line.length < pos + 8 ||
        line.data[line.length - 1] != '"')
        return true;
    broken = !ungroup_text(Text{line.data + pos + 6, line.length - pos - 7}, key) ||
             key.size() > MAX_KEY_QUESTIONS;
    return true;
}

// A question row of the grader's item analysis: ",Q", its number, blanks,
// ':' and the letters it accepts, then a comma. Yields false for any other.
bool parse_item_row(Text line, std::int32_t& question, std::uint32_t& accepted) {
    if (!line.starts_with(",Q")) return false;
    std::size_t pos = 2;
    std::int32_t number = 0;
    while (pos < line.length && line.data[pos] >= '0' && line.data[pos] <= '9' && number <= 1000)
        number = number * 10 + (line.data[pos++] - '0');
    while (pos < line.length && line.data[pos] == ' ') ++pos;
    if (number < 1 || number > static_cast<std::int32_t>(MAX_KEY_QUESTIONS) || pos >= line.length ||
        line.data[pos] != ':')
        return false;
    accepted = 0;
    for (++pos; pos < line.length && line.data[pos] != ','; ++pos) {
        const auto letter = static_cast<unsigned char>(line.data[pos]);
        if (letter < 'A' || letter >= 'A' + LETTER_OPTIONS) return false;
        accepted |= 1u << (letter - 'A');
    }
    question = number;
    return pos < line.length;
}

} // namespace

struct ReportReader::State {
    Phase phase = Phase::header;
    std::int32_t line = 0;
    bool exam_first = false;
    bool headings = false;
    int summary_form = -1; // the form of the item analysis table being read
    std::array<FormState, NUM_FORMS> forms{};
    ReportTables tables;
    ReportError error;
    std::string key;
    std::string marks;     // the ungrouped scoring string of the row at hand
    std::string responses; // its ungrouped responses

    bool refuse(std::int32_t at, std::string message) {
        error.line = at;
        error.message = std::move(message);
        phase = Phase::failed;
        return false;
    }
    bool add(Text line);
    bool before_headings(Text line);
    bool sheet_row(Text line);
    bool note_marks(FormState& state, char form);
    void keep_answers(FormState& state);
    bool build_form(char form, FormState& state, FormScores& scores);
};

ReportReader::ReportReader() : state_(std::make_unique<State>()) {}
ReportReader::~ReportReader() = default;

const ReportError& ReportReader::error() const { return state_->error; }

bool ReportReader::add_line(const char* text, std::size_t length) {
    return state_->add(Text{text, length});
}

bool ReportReader::State::add(Text line) {
    if (phase == Phase::failed) return false;
    ++this->line;
    switch (phase) {
    case Phase::header:
        if (!line.starts_with(REPORT_HEADER_START))
            return refuse(1, "not a quillmark report: the \"Input file:\" header line is missing");
        phase = Phase::before_headings;
        return true;
    case Phase::before_headings: return before_headings(line);
    case Phase::sheets: return sheet_row(line);
    case Phase::summary: {
        // The grader's item analysis: a form's heading row, then a row per
        // question with the letters it accepts.
        if (line.starts_with(",\"Form ") && line.length > 8 && line.starts_with(" Q:A\"", 8)) {
            summary_form = form_index(line.data[7]);
            return true;
        }
        std::int32_t question = 0;
        std::uint32_t accepted = 0;
        if (summary_form >= 0 && parse_item_row(line, question, accepted))
            forms[summary_form].accepted[question - 1] |= accepted;
        return true;
    }
    case Phase::done:
    case Phase::failed: break;
    }
    return true;
}

bool ReportReader::State::before_headings(Text line) {
    if (line.equals(column_headings(false)) || line.equals(column_headings(true))) {
        exam_first = line.equals(column_headings(true));
        headings = true;
        phase = Phase::sheets;
        return true;
    }
    // A report without student sheets goes on to the statistics heading.
    if (line.equals(STATISTICS_HEADING)) {
        phase = Phase::summary;
        return true;
    }
    char form = 0;
    bool broken = false;
    if (!parse_key_row(line, form, key, broken)) return true;
    if (broken) return refuse(this->line, "a key row of the report is broken");
    if (form_index(form) < 0) return true; // a key the grader could not store
    FormState& state = forms[form_index(form)];
    state.key_length = static_cast<std::int32_t>(key.size());
    for (std::size_t q = 0; q < key.size(); ++q)
        if (key[q] == '-') state.key_dropped[q] = true;
    return true;
}

bool ReportReader::State::sheet_row(Text line) {
    if (line.equals(STATISTICS_HEADING)) {
        phase = Phase::summary;
        return true;
    }
    SheetRow row;
    const char* why = nullptr;
    if (!parse_sheet_row(line, exam_first, row, why))
        return refuse(this->line, std::string("not a sheet row of the report: ") + why);
    if (!row.no_key) {
        if (!ungroup_text(row.scoring, marks))
            return refuse(this->line, "not a sheet row of the report: the Scoring cell is not a "
                                      "grouped scoring string");
        if (marks.size() > MAX_KEY_QUESTIONS)
            return refuse(this->line, "not a sheet row of the report: the Scoring cell has more "
                                      "marks than a key has questions");
        std::int32_t right = 0;
        if (!count_right_marks(marks, right))
            return refuse(this->line, "not a sheet row of the report: the Scoring cell is "
                                      "missing or broken");
        if (right != row.raw_score)
            return refuse(this->line, "not a sheet row of the report: the Raw Score is not the "
                                      "number of \"c\" marks of the Scoring cell");
        if (form_index(row.form) < 0)
            return refuse(this->line,
                          "not a sheet row of the report: a scored row's form is not one of A to J");
    }
    if (!ungroup_text(row.responses, responses))
        return refuse(this->line, "not a sheet row of the report: the Responses cell is not a "
                                  "grouped display");
    if (row.order != tables.sheet_rows + 1) {
        char message[120];
        std::snprintf(message, sizeof message,
                      "the Order %d does not follow the row before (%d): rows are missing",
                      row.order, tables.sheet_rows);
        return refuse(this->line, message);
    }

    ++tables.sheet_rows;
    SheetIdentity identity{};
    std::memcpy(identity.id, row.id.data, row.id.length);
    std::memcpy(identity.exam, row.exam.data, row.exam.length);
    identity.form = row.form;
    identity.scored = row.no_key ? 0 : 1;
    tables.identities.push_back(identity);
    if (!has_response(responses)) tables.empty_rows.push_back(row.order);
    if (row.no_key) {
        ++tables.no_key_rows;
        tables.no_key_orders.push_back(row.order);
        return true;
    }

    FormState& state = forms[form_index(row.form)];
    if (state.sheets >= MAX_FORM_SHEETS)
        return refuse(this->line, "a form has too many sheets to analyse");
    if (!note_marks(state, row.form)) return false;

    // The % Score cell: the same for every row of the form with this raw
    // score; whether it is right is known once the scored questions are.
    if (row.has_percent) {
        if (state.first_line_with_percent == 0) {
            state.first_line_with_percent = this->line;
            state.raw_with_percent = row.raw_score;
        }
        PercentSeen& seen = state.percent[row.raw_score];
        if (seen.first_line == 0) {
            std::memcpy(seen.text, row.percent.data, row.percent.length);
            seen.text[row.percent.length] = '\0';
            seen.first_line = this->line;
        } else if (seen.differing_line == 0 &&
                   (std::strlen(seen.text) != row.percent.length ||
                    std::memcmp(seen.text, row.percent.data, row.percent.length) != 0)) {
            seen.differing_line = this->line;
        }
    } else if (state.first_line_without_percent == 0) {
        state.first_line_without_percent = this->line;
        state.raw_without_percent = row.raw_score;
    }
    keep_answers(state);
    return true;
}

// Notes which of a row's questions are scored and which dropped; a question
// shown scored on one row and dropped on another makes the report broken.
bool ReportReader::State::note_marks(FormState& state, char form) {
    // The questions already known: a row agrees when it drops exactly the
    // questions dropped before.
    const std::size_t known = marks.size() < state.known_marks ? marks.size() : state.known_marks;
    std::size_t q = scan::first_class_difference(marks.data(), state.known.data(), known, '-');
    for (; q < marks.size(); ++q) {
        const Mark mark = marks[q] == '-' ? Mark::dropped : Mark::scored;
        if (state.marks[q] == Mark::unseen) {
            state.marks[q] = mark;
            state.mark_line[q] = line;
            if (q == state.known_marks) {
                state.known[q] = mark == Mark::dropped ? '-' : 'c';
                ++state.known_marks;
            }
        } else if (state.marks[q] != mark) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "question %zu of form %c is %s here but %s on line %d", q + 1, form,
                          mark == Mark::dropped ? "dropped" : "scored",
                          mark == Mark::dropped ? "scored" : "dropped", state.mark_line[q]);
            return refuse(line, message);
        }
    }
    return true;
}

// Keeps the row's answer to every question of the form's key in one byte
// each. A row with more marks than the key (only a report without a key row
// has one) widens the form's rows first.
void ReportReader::State::keep_answers(FormState& state) {
    const auto width = static_cast<std::int32_t>(marks.size());
    if (width > state.widest) state.widest = width;
    if (state.stride == 0 && state.sheets == 0 && state.key_length > 0)
        state.stride = static_cast<std::size_t>(state.key_length);
    if (marks.size() > state.stride) {
        std::size_t stride = state.stride * 2;
        if (stride < marks.size()) stride = marks.size();
        if (stride > MAX_KEY_QUESTIONS) stride = MAX_KEY_QUESTIONS;
        const std::size_t old = state.stride;
        state.cells.resize(static_cast<std::size_t>(state.sheets) * stride);
        unsigned char* cells = state.cells.data();
        // From the last sheet back, so that no row is overwritten before it
        // has moved; the new places are sheets without a response.
        for (std::size_t s = static_cast<std::size_t>(state.sheets); s-- > 0;) {
            std::memmove(cells + s * stride, cells + s * old, old);
            std::memset(cells + s * stride + old, NO_MARK, stride - old);
        }
        state.stride = stride;
    }
    const std::size_t base = static_cast<std::size_t>(state.sheets) * state.stride;
    state.cells.resize(base + state.stride);
    unsigned char* cell = state.cells.data() + base;
    const std::size_t shown = marks.size();
    const std::size_t answered = responses.size() < state.stride ? responses.size() : state.stride;
    // Right and wrong come in no order a processor could predict: no
    // branch on them. (A letter scored right is an accepted one: the
    // analysis finds those from the right answers it counts.)
    std::size_t q = 0;
#if QUILLMARK_SSE2
    // Sixteen at a time where both strings reach: a letter A to Y is its
    // index, '-' NO_MARK, anything else OTHER_MARK, and RIGHT_BIT on a 'c'.
    const std::size_t both = answered < shown ? answered : shown;
    for (; q + 16 <= both; q += 16) {
        const __m128i r = sse2::load(responses.data() + q);
        const __m128i index = _mm_sub_epi8(r, _mm_set1_epi8('A'));
        const __m128i letter = sse2::in_range(r, 'A', LETTER_OPTIONS);
        const __m128i none = sse2::equal(r, '-');
        const __m128i other = _mm_or_si128(_mm_and_si128(none, _mm_set1_epi8(NO_MARK)),
                                           _mm_andnot_si128(none, _mm_set1_epi8(OTHER_MARK)));
        const __m128i code = _mm_or_si128(_mm_and_si128(letter, index), _mm_andnot_si128(letter, other));
        const __m128i right = _mm_and_si128(sse2::equal(sse2::load(marks.data() + q), 'c'),
                                            _mm_set1_epi8(static_cast<char>(RIGHT_BIT)));
        sse2::store(cell + q, _mm_or_si128(code, right));
    }
#endif
    for (; q < answered; ++q) {
        const unsigned char code = option_code(static_cast<unsigned char>(responses[q]));
        const unsigned right = q < shown && marks[q] == 'c';
        cell[q] = static_cast<unsigned char>(code | right << 7);
    }
    for (std::size_t q = answered; q < state.stride; ++q)
        cell[q] = static_cast<unsigned char>(NO_MARK | (q < shown && marks[q] == 'c') << 7);
    ++state.sheets;
}

// Turns the rows of one form into its scored questions and its table of
// answers on them, checking every row's % Score against them. Yields false
// with `error` set on the first row whose score does not agree.
bool ReportReader::State::build_form(char form, FormState& state, FormScores& scores) {
    std::int32_t questions = state.key_length > 0 ? state.key_length : 0;
    if (state.widest > questions) questions = state.widest;
    scores.form = form;
    scores.key_questions = questions;
    // A question no row reaches is dropped when a key row drops it; a mark
    // on any row says more than the key rows, since options may amend them.
    std::vector<std::size_t> columns;
    for (std::int32_t q = 0; q < questions; ++q) {
        const bool dropped = state.marks[q] == Mark::dropped ||
                             (state.marks[q] == Mark::unseen && state.key_dropped[q]);
        if (!dropped) {
            scores.question_numbers.push_back(q + 1);
            columns.push_back(static_cast<std::size_t>(q));
        }
    }
    const auto scored = static_cast<std::int32_t>(columns.size());

    std::int32_t wrong_line = 0;
    std::int32_t wrong_raw = 0;
    if (scored == 0) {
        wrong_line = state.first_line_with_percent;
        wrong_raw = state.raw_with_percent;
    } else {
        wrong_line = state.first_line_without_percent;
        wrong_raw = state.raw_without_percent;
        for (std::int32_t raw = 0; raw <= scored; ++raw) {
            const PercentSeen& seen = state.percent[raw];
            if (seen.first_line == 0) continue;
            char expected[PERCENT_CELL_SIZE] = "";
            format_percent_cell(expected, percent_score(raw, scored));
            const std::int32_t line_wrong =
                std::strcmp(expected, seen.text) != 0 ? seen.first_line : seen.differing_line;
            if (line_wrong != 0 && (wrong_line == 0 || line_wrong < wrong_line)) {
                wrong_line = line_wrong;
                wrong_raw = raw;
            }
        }
    }
    if (wrong_line != 0) {
        char message[200];
        std::snprintf(message, sizeof message,
                      "the %% Score does not agree with %d right of the %d questions "
                      "that the key of form %c scores",
                      wrong_raw, scored, form);
        return refuse(wrong_line, message);
    }

    // The scored columns, moved to the front of each row in place: every
    // byte moves to an earlier or the same place, never past one still
    // to be read.
    const std::size_t n = static_cast<std::size_t>(state.sheets);
    const std::size_t k = columns.size();
    unsigned char* cells = state.cells.data();
    const bool in_place = k == state.stride; // every question scored: nothing moves
    for (std::size_t s = 0; s < n && !in_place; ++s) {
        const unsigned char* from = cells + s * state.stride;
        unsigned char* to = cells + s * k;
        for (std::size_t j = 0; j < k; ++j) to[j] = from[columns[j]];
    }
    state.cells.resize(n * k);
    ResponseMatrix& matrix = scores.matrix;
    matrix.sheets = state.sheets;
    matrix.items = scored;
    matrix.cells = std::move(state.cells);
    for (std::size_t column : columns) matrix.accepted.push_back(state.accepted[column]);
    return true;
}

bool ReportReader::finish(ReportTables& tables, ReportError& error) {
    State& s = *state_;
    if (s.phase == Phase::failed) {
        error = s.error;
        return false;
    }
    if (s.phase == Phase::header) {
        error = {1, "not a quillmark report: the \"Input file:\" header line is missing"};
        return false;
    }
    if (s.phase == Phase::before_headings || s.phase == Phase::sheets) {
        s.refuse(s.line, s.headings ? "the report ends before its statistics heading"
                                    : "not a quillmark report: no column headings");
        error = s.error;
        return false;
    }
    for (std::int32_t f = 0; f < NUM_FORMS; ++f) {
        FormState& state = s.forms[f];
        if (state.sheets == 0) continue;
        FormScores scores;
        if (!s.build_form(form_letter_of(f), state, scores)) {
            error = s.error;
            return false;
        }
        if (scores.matrix.items == 0) {
            s.tables.unscored_rows += scores.matrix.sheets;
            continue;
        }
        s.tables.forms.push_back(std::move(scores));
    }
    s.phase = Phase::done;
    tables = std::move(s.tables);
    return true;
}

bool read_report(std::FILE* file, ReportTables& tables, ReportError& error) {
    ReportReader reader;
    // Static, like the grader's: it lives, and grows, until the process ends.
    static LineBuffer buffer;
    while (read_text_line(file, buffer))
        if (!reader.add_line(buffer.data, buffer.length)) {
            error = reader.error();
            return false;
        }
    if (buffer.error != 0) {
        error = {-1, system_error_text(buffer.error)};
        return false;
    }
    return reader.finish(tables, error);
}

bool read_report(const std::vector<std::string>& lines, ReportTables& tables,
                 ReportError& error) {
    ReportReader reader;
    for (const std::string& line : lines)
        if (!reader.add_line(line.data(), line.size())) {
            error = reader.error();
            return false;
        }
    return reader.finish(tables, error);
}

} // namespace quillmark
