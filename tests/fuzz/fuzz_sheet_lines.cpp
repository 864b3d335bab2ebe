// Fuzz target: sheet lines as the run driver meets them. The input is a
// sheet file in memory; each line (up to its line feed, a carriage return
// before the line feed dropped, cut at a zero byte) is skipped as a comment,
// cut into a sheet, stored as a key sheet or graded, and the closing report
// is written. The cut fields and the grouped display are checked against
// their limits and their layout. The same input is also read through the
// block reader of the sheet file, and every line through the reducer that
// cuts long lines as they stream in: both must give the same sheets as the
// whole lines.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "grading/scoring.h"
#include "grading/sheet_line.h"
#include "grading/sheet_reader.h"
#include "grading/summary.h"
#include "keys/answer_keys.h"
#include "keys/options.h"
#include "report/report_format.h"

using namespace quillmark;

namespace {

GradingRun run;
unsigned long inputs = 0;
LineReducer reducer;

bool same_sheet(const ScannedSheet& a, const ScannedSheet& b) {
    return std::strcmp(a.student_id, b.student_id) == 0 && a.form_letter == b.form_letter &&
           std::strcmp(a.exam_no, b.exam_no) == 0 && std::strcmp(a.responses, b.responses) == 0;
}

// The line fed to the reducer in pieces whose sizes come from the line.
ScannedSheet reduced_sheet(const std::vector<char>& line, std::size_t length) {
    reducer_start(reducer);
    std::size_t at = 0;
    while (at < length) {
        std::size_t piece = 1 + static_cast<unsigned char>(line[at]) % 64;
        if (piece > length - at) piece = length - at;
        reducer_feed(reducer, line.data() + at, piece);
        at += piece;
    }
    return parse_sheet_line(reducer_text(reducer));
}

// The sheets of every line of the input, read through the block reader.
std::vector<ScannedSheet> streamed_sheets(const std::uint8_t* data, std::size_t size) {
    std::vector<ScannedSheet> sheets;
    if (size == 0) return sheets;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    FUZZ_CHECK(file != nullptr);
    sheet_lines_open(file);
    std::size_t length = 0;
    while (const char* line = sheet_lines_next(length)) {
        FUZZ_CHECK(line[length] == '\0');
        sheets.push_back(parse_sheet_text(line, length, length + 1 + LINE_READ_AHEAD));
    }
    FUZZ_CHECK(sheet_lines_error() == 0);
    std::fclose(file);
    return sheets;
}

// The grouped display is ':' and the text in groups of five with one blank
// between groups.
void check_grouped(const char* text) {
    const char* shown = group_display(text);
    std::size_t length = std::strlen(text);
    FUZZ_CHECK(length <= static_cast<std::size_t>(MAX_QUESTIONS));
    FUZZ_CHECK(shown[0] == ':');
    std::size_t at = 1;
    for (std::size_t j = 0; j < length; ++j) {
        if (j > 0 && j % 5 == 0) FUZZ_CHECK(shown[at++] == ' ');
        FUZZ_CHECK(shown[at++] == text[j]);
    }
    FUZZ_CHECK(shown[at] == '\0');
}

void check_sheet(const ScannedSheet& sheet) {
    std::size_t id = strnlen(sheet.student_id, sizeof sheet.student_id);
    std::size_t exam = strnlen(sheet.exam_no, sizeof sheet.exam_no);
    std::size_t answers = strnlen(sheet.responses, sizeof sheet.responses);
    FUZZ_CHECK(id <= static_cast<std::size_t>(MAX_ID));
    FUZZ_CHECK(exam <= static_cast<std::size_t>(MAX_EXAM));
    FUZZ_CHECK(answers <= static_cast<std::size_t>(MAX_QUESTIONS));
    FUZZ_CHECK(id == 0 || sheet.student_id[id - 1] != ' ');
    FUZZ_CHECK(exam == 0 || sheet.exam_no[exam - 1] != ' ');
    FUZZ_CHECK(answers == 0 || sheet.responses[answers - 1] != '-');
    for (std::size_t i = 0; i < answers; ++i) {
        FUZZ_CHECK(sheet.responses[i] != ' ');
        FUZZ_CHECK(!(sheet.responses[i] >= 'a' && sheet.responses[i] <= 'z'));
    }
    check_grouped(sheet.student_id);
    check_grouped(sheet.responses);
}

void reset_run() {
    std::memset(answer_keys, 0, sizeof answer_keys);
    exam_first = 0;
    run.sheets_graded = 0;
    run.form_mismatches = 0;
    run.highest_form = -1;
    run.highest_letter = -1;
    std::memset(run.form_stats, 0, sizeof run.form_stats);
    std::memset(&run.aggregate_stats, 0, sizeof run.aggregate_stats);
    // The counters only grow by one per line; clearing them now and then
    // keeps them far from overflowing without paying for it on every input.
    if (inputs++ % 1024 == 0) std::memset(run.item_counts, 0, sizeof run.item_counts);
    std::memset(run.pending_tallies, 0, sizeof run.pending_tallies);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reset_run();
    exam_first = size > 0 && (data[0] & 1); // both column orders
    std::vector<char> line;
    const std::vector<ScannedSheet> streamed = streamed_sheets(data, size);
    std::size_t line_number = 0;
    std::size_t start = 0;
    while (start < size) {
        const void* feed = std::memchr(data + start, '\n', size - start);
        std::size_t end =
            feed ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(feed) - data) : size;
        std::size_t length = end - start;
        if (feed && length > 0 && data[end - 1] == '\r') --length;
        line.assign(data + start, data + start + length);
        line.push_back('\0'); // a zero byte inside ends the line's text
        start = end + 1;

        ScannedSheet sheet = parse_sheet_line(line.data());
        FUZZ_CHECK(line_number < streamed.size() && same_sheet(streamed[line_number], sheet));
        ++line_number;
        FUZZ_CHECK(same_sheet(reduced_sheet(line, length), sheet));
        if (line[0] == '#') continue;
        check_sheet(sheet);
        if (is_key_sheet(sheet, run.sheets_graded)) {
            store_key_sheet(sheet);
            continue;
        }
        ++run.sheets_graded;
        grade_sheet(sheet, run);
        FUZZ_CHECK(run.highest_form <= NUM_FORMS - 1);
        FUZZ_CHECK(run.highest_letter <= TALLY_LETTERS - 1);
    }
    FUZZ_CHECK(line_number == streamed.size());
    for (const AnswerKey& entry : answer_keys)
        FUZZ_CHECK(strnlen(entry.key_text, sizeof entry.key_text) <= MAX_QUESTIONS);
    report_flush();
    print_summary(run);
    print_item_analysis(run);
    return 0;
}
