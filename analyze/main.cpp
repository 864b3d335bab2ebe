// quillmark-analyze: reliability and item discrimination from a report that
// quillmark wrote.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "analyze/analysis_report.h"
#include "analyze/report_reader.h"
#include "grading/program_info.h"
#include "platform/env.h"

namespace {

constexpr int FAILURE = -1;

const char USAGE_TEXT[] = "Usage:   quillmark-analyze <report.csv>\n";

const char DESCRIPTION_TEXT[] =
    "\n"
    "Reads a report that quillmark wrote and writes, for every test form with\n"
    "scored sheets, two comma-separated tables to standard output: the test\n"
    "statistics (sheets, questions, mean, median, standard deviation, lowest\n"
    "and highest raw score, KR-20 reliability, standard error of measurement)\n"
    "and one row per scored question (difficulty, point-biserial, upper-lower\n"
    "discrimination and a flag: no variance, negative discrimination, too easy,\n"
    "too hard). A histogram of the form's per-cent scores goes to standard\n"
    "error. A file that is not such a report is refused with its line number.\n"
    "  -h, --help   this text, when it is the only argument\n"
    "  --version    the version, when it is the only argument\n";

} // namespace

int main(int argc, char** argv) {
    using namespace quillmark;
    begin_output();
    if (const InfoRequest request = info_request(argc, argv); request != InfoRequest::none)
        return answer_info_request(request, "quillmark-analyze", {USAGE_TEXT, DESCRIPTION_TEXT});
    if (argc != 2) {
        send_message("%s", USAGE_TEXT);
        return FAILURE;
    }
    const char* name = argv[1];
    std::FILE* input = open_text_file(name);
    if (!input) {
        send_message("Can't open %s: %s\n", name, system_error_text(errno));
        return FAILURE;
    }
    std::vector<std::string> lines;
    // Static, like the grader's: it lives, and grows, until the process ends.
    static LineBuffer buffer;
    while (read_text_line(input, buffer)) lines.emplace_back(buffer.data, buffer.length);
    std::fclose(input);
    if (buffer.error != 0) {
        send_message("Error reading %s: %s\n", name, system_error_text(buffer.error));
        return FAILURE;
    }

    ReportTables tables;
    ReportError error;
    if (!read_report(lines, tables, error)) {
        send_message("%s:%d: %s\n", name, error.line, error.message.c_str());
        return FAILURE;
    }
    if (tables.forms.empty()) {
        send_message("%s: no scored sheets to analyse\n", name);
        return 0;
    }
    for (const FormScores& form : tables.forms) {
        print_form_tables(stdout, form);
        print_score_histogram(stderr, form);
        end_message();
    }
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        send_message("Error writing the analysis: %s\n",
                     system_error_text(errno != 0 ? errno : EIO));
        return FAILURE;
    }
    return 0;
}
