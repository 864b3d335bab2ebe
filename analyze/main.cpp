// quillmark-analyze: reliability and item discrimination from a report that
// quillmark wrote.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "analyze/analysis_report.h"
#include "analyze/report_reader.h"
#include "platform/env.h"

namespace {

constexpr int FAILURE = -1;

} // namespace

int main(int argc, char** argv) {
    using namespace quillmark;
    begin_output();
    if (argc != 2) {
        send_message("Usage:   quillmark-analyze <report.csv>\n");
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
