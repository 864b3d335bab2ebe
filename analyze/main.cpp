// quillmark-analyze: reliability, item and option analysis, possible key
// errors and sheets to look at, from a report that quillmark wrote.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "analyze/analysis.h"
#include "analyze/analysis_html.h"
#include "analyze/analysis_json.h"
#include "analyze/analysis_report.h"
#include "analyze/fix_options.h"
#include "analyze/report_reader.h"
#include "grading/program_info.h"
#include "platform/env.h"

namespace {

using namespace quillmark;

constexpr int FAILURE = -1;

const char DESCRIPTION[] =
    "Reads a report that quillmark wrote (standard input when REPORT is -) and\n"
    "writes comma-separated tables: for every test form with scored sheets the\n"
    "test statistics (mean, median, standard deviation, KR-20, SEM, skewness,\n"
    "kurtosis), one row per scored question (difficulty, point-biserial,\n"
    "upper-lower discrimination, flag: possible key error, no variance,\n"
    "negative discrimination, too easy, too hard) and one row per option of\n"
    "each question; then the sheets to look at by hand. A histogram of each\n"
    "form's per-cent scores and a count of each sheet check go to standard\n"
    "error. A file that is not such a report is refused with its line number.\n"
    "-h, --help and --version are answered when they are the only argument.";

struct Settings {
    std::string report;
    std::string output;
    std::string json;
    std::string html;
    std::string fix_options;
    bool similarity = false;
    std::string rooms;
    bool similarity_fdr = false;
};

void define_options(CLI::App& app, Settings& settings) {
    app.footer(DESCRIPTION);
    app.set_help_flag(); // answered by info_request, as the grader does
    // A report named /path/report.csv is a file on every system, never an
    // option in the Windows style.
    app.allow_windows_style_options(false);
    app.add_option("REPORT", settings.report, "the report to analyse; - for standard input")
        ->required()
        ->type_name("");
    app.add_option("-o,--output", settings.output, "the tables to FILE instead of standard output")
        ->option_text("FILE");
    app.add_option("--json", settings.json, "the whole analysis as JSON to FILE")
        ->option_text("FILE");
    app.add_option("--html", settings.html,
                   "the whole analysis as one self-contained page to FILE")
        ->option_text("FILE");
    app.add_option("--fix-options", settings.fix_options,
                   "an option file for quillmark that makes the suspected\n"
                   "letter of each possible key error the answer")
        ->option_text("FILE");
    CLI::Option* similarity =
        app.add_flag("--similarity", settings.similarity,
                     "pairs of sheets whose answers are too alike to be chance:\n"
                     "a table of pairs to look at, with the evidence");
    app.add_option("--rooms", settings.rooms,
                   "compare sheets within rooms: exam takes the Exam # cell\n"
                   "as the room (without it, each form is one group)")
        ->option_text("exam")
        ->needs(similarity);
    app.add_flag("--similarity-fdr", settings.similarity_fdr,
                 "with --similarity, also an exploratory list of pairs at a\n"
                 "5% false discovery rate");
}

// Writes `text` to a new file; yields false after reporting a failure.
bool write_file(const std::string& name, const std::string& text) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) {
        send_message("Can't open %s: %s\n", name.c_str(), system_error_text(errno));
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int write_error = errno;
    errno = 0;
    if (std::fclose(file) != 0 || !written) {
        const int error = write_error != 0 ? write_error : errno;
        send_message("Error writing %s: %s\n", name.c_str(), system_error_text(error != 0 ? error : EIO));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    begin_output();
    CLI::App app{"", "quillmark-analyze"};
    Settings settings;
    define_options(app, settings);
    if (const InfoRequest request = info_request(argc, argv); request != InfoRequest::none) {
        const std::string help = app.help();
        return answer_info_request(request, "quillmark-analyze", {help.c_str()});
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        send_message("%s\nRun quillmark-analyze --help for the options.\n", e.what());
        return FAILURE;
    }

    if (settings.similarity_fdr && !settings.similarity) {
        send_message("--similarity-fdr requires --similarity\nRun quillmark-analyze --help for the options.\n");
        return FAILURE;
    }
    RoomMode rooms = RoomMode::form;
    if (settings.rooms == "exam") {
        rooms = RoomMode::exam;
    } else if (!settings.rooms.empty()) {
        send_message("--rooms COLUMN needs --class-list: there is no class list to take a column "
                     "\"%s\" from (--rooms exam takes the Exam # cell)\n", settings.rooms.c_str());
        return FAILURE;
    }

    const char* name = settings.report.c_str();
    const bool from_input = settings.report == "-";
    std::FILE* input = from_input ? stdin : open_text_file(name);
    if (!input) {
        send_message("Can't open %s: %s\n", name, system_error_text(errno));
        return FAILURE;
    }
    ReportTables tables;
    ReportError error;
    const bool read = read_report(input, tables, error);
    if (!from_input) std::fclose(input);
    if (!read) {
        if (error.line < 0)
            send_message("Error reading %s: %s\n", name, error.message.c_str());
        else
            send_message("%s:%d: %s\n", name, error.line, error.message.c_str());
        return FAILURE;
    }
    if (tables.forms.empty()) {
        send_message("%s: no scored sheets to analyse\n", name);
        return 0;
    }
    // The screen reads the answer tables, which the analysis releases.
    std::optional<SimilarityScreen> screen;
    if (settings.similarity) {
        ScreenSettings screen_settings;
        screen_settings.exploratory = settings.similarity_fdr;
        screen = screen_similarity(tables, rooms, screen_settings);
    }
    Analysis analysis = analyse(tables);
    analysis.similarity = std::move(screen);

    std::FILE* out = stdout;
    if (!settings.output.empty()) {
        out = std::fopen(settings.output.c_str(), "wb");
        if (!out) {
            send_message("Can't open %s: %s\n", settings.output.c_str(), system_error_text(errno));
            return FAILURE;
        }
    }
    for (const FormAnalysis& form : analysis.forms) {
        print_form_tables(out, form);
        print_score_histogram(stderr, form);
        end_message();
    }
    print_checks_table(out, analysis.checks);
    print_check_counts(stderr, analysis.checks);
    end_message();
    if (analysis.similarity) {
        std::fputc('\n', out);
        print_similarity_table(out, *analysis.similarity);
        print_similarity_counts(stderr, *analysis.similarity);
        end_message();
    }
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out) || (out != stdout && std::fclose(out) != 0)) {
        send_message("Error writing the analysis: %s\n",
                     system_error_text(errno != 0 ? errno : EIO));
        return FAILURE;
    }
    if (!settings.json.empty() && !write_file(settings.json, analysis_json(analysis)))
        return FAILURE;
    if (!settings.html.empty() && !write_file(settings.html, analysis_html(analysis, settings.report)))
        return FAILURE;
    if (!settings.fix_options.empty() &&
        !write_file(settings.fix_options, fix_options(analysis)))
        return FAILURE;
    return 0;
}
