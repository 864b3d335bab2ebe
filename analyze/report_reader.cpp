#include "analyze/report_reader.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/byte_scan.h"
#include "platform/env.h"
#include "report/report_layout.h"
#include "report/report_rows.h"

namespace quillmark {

namespace {

// The file is read in blocks of this size; every line that the reader
// takes lies whole in one.
constexpr std::size_t REPORT_READ_BLOCK = std::size_t{1} << 16;

// A question of a form as the scoring strings show it.
enum class Mark : unsigned char { unseen, scored, dropped };

// The % Score cells seen for one raw score: all rows of a form score the
// same questions, so one raw score must always show the same cell.
struct PercentSeen {
    char text[PERCENT_CELL_SIZE] = "";
    std::int64_t first_line = 0;     // 0 until a row shows this raw score
    std::int64_t differing_line = 0; // the first row whose cell differs from it
};

// What the report tells of one form while it is read.
struct FormState {
    std::int32_t key_length = -1; // questions of the latest key row; -1 without one
    std::array<bool, MAX_QUESTIONS> key_dropped{};
    std::array<Mark, MAX_QUESTIONS> marks{};
    std::array<std::int64_t, MAX_QUESTIONS> mark_line{}; // the row that first showed it
    // The first `known_marks` questions have a mark, '-' (dropped) or 'c'
    // (scored) in `known`: rows are checked against them sixteen at a time.
    std::array<char, MAX_QUESTIONS> known{};
    std::size_t known_marks = 0;
    std::array<std::uint32_t, MAX_QUESTIONS> accepted{}; // letters the item analysis lists
    std::int32_t widest = 0;                             // the most marks of a row
    std::size_t stride = 0;                              // answer bytes kept per sheet
    std::int32_t sheets = 0; // at most the sheet rows, which Orders number
    ByteArray cells;
    std::array<PercentSeen, MAX_QUESTIONS + 1> percent{};
    std::int64_t first_line_with_percent = 0;
    std::int64_t first_line_without_percent = 0;
    std::int32_t raw_with_percent = 0; // the raw scores of those two rows
    std::int32_t raw_without_percent = 0;
};

enum class Phase { header, before_headings, sheets, summary, done, failed };

const char HEADER_MISSING[] = "not a quillmark report: the \"Input file:\" header line is missing";

} // namespace

struct ReportReader::State {
    Phase phase = Phase::header;
    std::int64_t line = 0; // more than the Orders: echo rows are not counted by them
    bool exam_first = false;
    bool headings = false;
    int summary_form = -1; // the form of the item analysis table being read
    std::array<FormState, NUM_FORMS> forms{};
    ReportTables tables;
    ReportError error;
    std::string key;
    std::string marks;     // the ungrouped scoring string of the row at hand
    std::string responses; // its ungrouped responses

    bool refuse(std::int64_t at, std::string message) {
        error.line = at;
        error.message = std::move(message);
        phase = Phase::failed;
        return false;
    }
    bool check_start(std::string_view start);
    bool add(std::string_view line);
    bool before_headings(std::string_view line);
    bool sheet_row(std::string_view line);
    bool note_marks(FormState& state, char form);
    void keep_answers(FormState& state);
    bool build_form(char form, FormState& state, FormScores& scores);
};

ReportReader::ReportReader() : state_(std::make_unique<State>()) {}
ReportReader::~ReportReader() = default;

const ReportError& ReportReader::error() const { return state_->error; }

bool ReportReader::add_line(const char* text, std::size_t length) {
    return state_->add(std::string_view(text, length));
}

bool ReportReader::check_line_start(const char* text, std::size_t length) {
    return state_->check_start(std::string_view(text, length));
}

bool ReportReader::State::check_start(std::string_view start) {
    if (phase == Phase::failed) return false;
    if (phase == Phase::header && !may_begin_header(start)) return refuse(1, HEADER_MISSING);
    if (start.size() > REPORT_LINE_MAX) {
        char message[160];
        std::snprintf(message, sizeof message,
                      "not a quillmark report: the line is longer than %zu characters, "
                      "more than any line quillmark writes",
                      REPORT_LINE_MAX);
        return refuse(line + 1, message);
    }
    return true;
}

bool ReportReader::State::add(std::string_view line) {
    if (!check_start(line)) return false;
    ++this->line;
    switch (phase) {
    case Phase::header:
        if (!is_first_header_line(line)) return refuse(1, HEADER_MISSING);
        phase = Phase::before_headings;
        return true;
    case Phase::before_headings: return before_headings(line);
    case Phase::sheets: return sheet_row(line);
    case Phase::summary: {
        // The grader's item analysis: a form's heading row, then a row per
        // question with the letters it accepts.
        char form = 0;
        if (parse_item_heading(line, form)) {
            summary_form = form_index(form);
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

bool ReportReader::State::before_headings(std::string_view line) {
    bool order = false;
    if (parse_column_headings(line, order)) {
        exam_first = order;
        headings = true;
        phase = Phase::sheets;
        return true;
    }
    // A report without student sheets goes on to the statistics heading.
    if (is_statistics_heading(line)) {
        phase = Phase::summary;
        return true;
    }
    char form = 0;
    switch (parse_key_row(line, form, key)) {
    case KeyRowKind::other: return true;
    case KeyRowKind::broken: return refuse(this->line, "a key row of the report is broken");
    case KeyRowKind::key: break;
    }
    if (form_index(form) < 0) return true; // a key the grader could not store
    FormState& state = forms[form_index(form)];
    state.key_length = static_cast<std::int32_t>(key.size());
    for (std::size_t q = 0; q < key.size(); ++q)
        if (key[q] == '-') state.key_dropped[q] = true;
    return true;
}

bool ReportReader::State::sheet_row(std::string_view line) {
    if (is_statistics_heading(line)) {
        phase = Phase::summary;
        return true;
    }
    SheetRow row;
    if (const char* why = parse_sheet_row(line, exam_first, row, responses, marks))
        return refuse(this->line, std::string("not a sheet row of the report: ") + why);
    // In 64 bits: the last Order a 32-bit count reaches has no successor.
    if (row.order != static_cast<std::int64_t>(tables.sheet_rows) + 1) {
        char message[120];
        std::snprintf(message, sizeof message,
                      "the Order %d does not follow the row before (%d): rows are missing",
                      row.order, tables.sheet_rows);
        return refuse(this->line, message);
    }

    ++tables.sheet_rows;
    SheetIdentity identity{};
    std::memcpy(identity.id, row.student_id.data(), row.student_id.size());
    std::memcpy(identity.exam, row.exam_no.data(), row.exam_no.size());
    identity.form = row.form;
    identity.scored = row.no_key ? 0 : 1;
    tables.identities.push_back(identity);
    if (scan::all_bytes_are(responses.data(), responses.size(), '-'))
        tables.empty_rows.push_back(row.order);
    if (row.no_key) {
        ++tables.no_key_rows;
        tables.no_key_orders.push_back(row.order);
        return true;
    }

    FormState& state = forms[form_index(row.form)];
    if (!note_marks(state, row.form)) return false;

    // The % Score cell: the same for every row of the form with this raw
    // score; whether it is right is known once the scored questions are.
    if (!row.percent.empty()) {
        if (state.first_line_with_percent == 0) {
            state.first_line_with_percent = this->line;
            state.raw_with_percent = row.raw_score;
        }
        PercentSeen& seen = state.percent[row.raw_score];
        if (seen.first_line == 0) {
            std::memcpy(seen.text, row.percent.data(), row.percent.size());
            seen.text[row.percent.size()] = '\0';
            seen.first_line = this->line;
        } else if (seen.differing_line == 0 && row.percent != seen.text) {
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
                          "question %zu of form %c is %s here but %s on line %lld", q + 1, form,
                          mark == Mark::dropped ? "dropped" : "scored",
                          mark == Mark::dropped ? "scored" : "dropped",
                          static_cast<long long>(state.mark_line[q]));
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
        if (stride > MAX_QUESTIONS) stride = MAX_QUESTIONS;
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
        const __m128i code =
            _mm_or_si128(_mm_and_si128(letter, index), _mm_andnot_si128(letter, other));
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

    std::int64_t wrong_line = 0;
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
            const std::int64_t line_wrong =
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
        error = {1, HEADER_MISSING};
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
    // The file is read a block at a time and each line taken where it lies
    // in the block; the part of a line left at the block's end moves to the
    // front before the next read. A line that fills more than
    // REPORT_LINE_MAX characters of the block without its line feed is
    // refused there, so that a longer line is never read whole.
    static_assert(REPORT_READ_BLOCK > REPORT_LINE_MAX + 1, "a line the reader takes fits a block");
    std::vector<char> block(REPORT_READ_BLOCK);
    const bool drop_return = text_reads_keep_carriage_returns();
    std::size_t begin = 0; // the characters not yet taken: block[begin] to block[end - 1]
    std::size_t end = 0;
    bool at_end = false;
    for (;;) {
        const char* from = block.data() + begin;
        const std::size_t count = end - begin;
        const void* feed = std::memchr(from, '\n', count);
        if (feed || (at_end && count > 0)) {
            // A whole line; the last one of the file may have no line feed.
            std::size_t length =
                feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - from) : count;
            begin += feed ? length + 1 : count;
            if (feed && drop_return && length > 0 && from[length - 1] == '\r') --length;
            if (!reader.check_line_start(from, length)) break;
            if (const void* zero = std::memchr(from, '\0', length))
                length = static_cast<std::size_t>(static_cast<const char*>(zero) - from);
            if (!reader.add_line(from, length)) break;
            continue;
        }
        if (at_end) return reader.finish(tables, error);
        if (!reader.check_line_start(from, count)) break;
        std::memmove(block.data(), from, count);
        begin = 0;
        end = count;
        errno = 0;
        const std::size_t got = std::fread(block.data() + end, 1, block.size() - end, file);
        end += got;
        if (got == 0) {
            if (std::ferror(file)) {
                error = {-1, system_error_text(failed_call_error(errno))};
                return false;
            }
            at_end = true;
        }
    }
    error = reader.error();
    return false;
}

bool read_report(const std::vector<std::string>& lines, ReportTables& tables, ReportError& error) {
    ReportReader reader;
    for (const std::string& line : lines)
        if (!reader.add_line(line.data(), line.size())) {
            error = reader.error();
            return false;
        }
    return reader.finish(tables, error);
}

} // namespace quillmark
