#include "grading/run_grading.h"

#include <cerrno>
#include <cstdio>

#include "grading/scoring.h"
#include "grading/sheet_line.h"
#include "grading/sheet_reader.h"
#include "grading/summary.h"
#include "keys/options.h"
#include "platform/env.h"
#include "platform/program_info.h"
#include "quillmark/version.h"
#include "report/report_format.h"
#include "report/report_rows.h"

namespace quillmark {

namespace {

constexpr const char* BUILD_DATE = __DATE__; // "Mmm dd yyyy"
constexpr const char* BUILD_TIME = __TIME__; // "hh:mm:ss"

// Zero-filled static storage (its tables take a megabyte); the two
// counters that start at -1 are set when the run starts.
GradingRun grading_run;

} // namespace

int run_grading(int argc, char** argv) {
    const std::time_t graded_on = clock_seconds();
    begin_output();
    // Help and version alone: no banner, nothing graded.
    if (const InfoRequest request = info_request(argc, argv); request != InfoRequest::none)
        return answer_info_request(request, "quillmark", {USAGE_TEXT, OPTIONS_HELP_TEXT});
    send_message("quillmark v. %s  %s %s\n", VERSION_TEXT, BUILD_DATE, BUILD_TIME);
    if (argc < 2) print_usage(-1);

    const char* input_name = argv[1];
    std::FILE* input = open_text_file(input_name);
    if (!input) {
        send_message("Can't open %s: %s\n", input_name, system_error_text(errno));
        print_usage(-1);
    }

    char weekday[11] = "";
    char date[64] = "";
    char time_of_day[64] = "";
    format_local_time(graded_on, weekday, sizeof weekday, date, sizeof date, time_of_day,
                      sizeof time_of_day);
    write_header_lines(
        {VERSION_TEXT, BUILD_DATE, BUILD_TIME, input_name, weekday, date, time_of_day});

    GradingRun& run = grading_run;
    run.highest_form = -1;
    run.highest_letter = -1;
    sheet_lines_open(input);
    std::size_t length = 0;
    while (const char* line = sheet_lines_next(length)) {
        if (line[0] == '#') continue;
        ScannedSheet sheet = parse_sheet_text(line, length, length + 1 + LINE_READ_AHEAD);
        if (is_key_sheet(sheet, run.sheets_graded)) {
            store_key_sheet(sheet);
            continue;
        }
        if (run.sheets_graded == 0) {
            apply_command_options(argc, argv);
            write_column_headings(exam_first != 0);
        }
        count_up(run.sheets_graded);
        grade_sheet(sheet, run);
    }
    const int read_error = sheet_lines_error();

    print_summary(run);
    print_item_analysis(run);
    report_flush();
    std::fclose(input);

    int status = 0;
    if (read_error != 0) {
        send_message("Error reading %s: %s\n", input_name, system_error_text(read_error));
        status = -1;
    }
    // A report that did not reach its file completely is not a success. A
    // runtime that writes every call through at once has met the failure
    // already, so its error number is kept for the message.
    const int earlier_error = errno;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        int error = failed_call_error(errno, earlier_error);
        send_message("Error writing the report: %s\n", system_error_text(error));
        status = -1;
    }
    return status;
}

} // namespace quillmark
