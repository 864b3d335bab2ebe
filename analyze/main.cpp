// quillmark-analyze: reliability, item and option analysis, possible key
// errors and sheets to look at, from a report that quillmark wrote.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <CLI/CLI.hpp>

#include "analyze/analysis.h"
#include "analyze/analysis_html.h"
#include "analyze/analysis_json.h"
#include "analyze/analysis_report.h"
#include "analyze/fix_options.h"
#include "analyze/gradebook.h"
#include "analyze/output_files.h"
#include "analyze/rasch_output.h"
#include "analyze/report_reader.h"
#include "analyze/tags.h"
#include "analyze/versions.h"
#include "platform/env.h"
#include "platform/program_info.h"

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
    "With a class list, sheets are matched to its students: a mis-bubbled\n"
    "identifier is corrected when only one student can be meant, else listed;\n"
    "students without a sheet are listed. The gradebook gives every student's\n"
    "form, raw and per-cent score and grade.\n"
    "With a version map, the whole exam's rows (Form \"all\", by master question\n"
    "and letter) come first and the keys of the versions are checked against\n"
    "each other; with tags, every sheet's score on each tag and a row per tag.\n"
    "Each FILE is written whole or left as it was, and may be neither the\n"
    "report nor another output; a FILE of - is standard output.\n"
    "-h, --help and --version are answered when they are the only argument.";

constexpr std::size_t NO_OUTPUT = static_cast<std::size_t>(-1);

// The command line, and the number each named output has in OutputFiles.
struct Settings {
    std::string report;
    std::string output;
    std::string json;
    std::string html;
    std::string fix_options;
    std::string class_list;
    std::string grades;
    std::string gradebook;
    std::string versions;
    std::string tags;
    std::size_t json_output = NO_OUTPUT;
    std::size_t html_output = NO_OUTPUT;
    std::size_t fix_output = NO_OUTPUT;
    std::size_t gradebook_output = NO_OUTPUT;
    bool rasch = false;
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
    app.add_option("--html", settings.html, "the whole analysis as one self-contained page to FILE")
        ->option_text("FILE");
    app.add_option("--fix-options", settings.fix_options,
                   "an option file for quillmark that makes the suspected\n"
                   "letter of each possible key error the answer")
        ->option_text("FILE");
    app.add_option("--class-list", settings.class_list,
                   "the students, a CSV file with a heading row: sheets are\n"
                   "matched to them by Student ID, slips checked")
        ->option_text("FILE");
    app.add_option("--grades", settings.grades,
                   "grades by per-cent score, highest first, as\n"
                   "\"A:90,B:80,C:70,D:60,F:0\"")
        ->option_text("SCALE");
    app.add_option("--gradebook", settings.gradebook,
                   "every student's form, scores, grade and a note as CSV\n"
                   "to FILE")
        ->option_text("FILE");
    app.add_flag("--rasch", settings.rasch,
                 "the Rasch measures of each form's questions, with their\n"
                 "fit, and of every raw score, then the reliabilities");
    app.add_option("--versions", settings.versions,
                   "the map of an exam's shuffled versions: the whole exam\n"
                   "by master question, keys checked across versions")
        ->option_text("FILE");
    app.add_option("--tags", settings.tags, "the topics (tags) of the questions: scores by tag")
        ->option_text("FILE");
    CLI::Option* similarity =
        app.add_flag("--similarity", settings.similarity,
                     "pairs of sheets whose answers are too alike to be chance:\n"
                     "a table of pairs to look at, with the evidence");
    app.add_option("--rooms", settings.rooms,
                   "compare sheets within rooms: exam takes the Exam # cell,\n"
                   "COLUMN a column of the class list (without it, each\n"
                   "form is one group)")
        ->option_text("exam|COLUMN")
        ->needs(similarity);
    app.add_flag("--similarity-fdr", settings.similarity_fdr,
                 "with --similarity, also an exploratory list of pairs at a\n"
                 "5% false discovery rate");
}

// The class list's column that --rooms names (see find_column); yields
// false after saying which columns there are.
bool find_room_column(const Settings& settings, const ClassList& list, std::size_t& column) {
    column = find_column(list, settings.rooms);
    if (column < list.headings.size()) return true;
    std::string names;
    for (const std::string& heading : list.headings) names += (names.empty() ? "" : ", ") + heading;
    send_message("--rooms %s: the class list %s has no such column (its columns: %s)\n",
                 settings.rooms.c_str(), settings.class_list.c_str(), names.c_str());
    return false;
}

// Reports why an input file beside the report (class list, version map, tag
// file) cannot be used: a read error, a fault of the whole file, or a fault
// at a line.
void report_file_error(const std::string& name, const FileError& error) {
    if (error.line < 0)
        send_message("Error reading %s: %s\n", name.c_str(), error.message.c_str());
    else if (error.line == 0)
        send_message("%s: %s\n", name.c_str(), error.message.c_str());
    else
        send_message("%s:%d: %s\n", name.c_str(), error.line, error.message.c_str());
}

// Reads such a file with `read`, which takes it opened in binary mode;
// false after reporting why it cannot be used.
template <typename Contents, typename Read>
bool read_input(const std::string& name, Contents& contents, Read read) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        send_message("Can't open %s: %s\n", name.c_str(), system_error_text(errno));
        return false;
    }
    FileError error;
    const bool done = read(file, contents, error);
    std::fclose(file);
    if (!done) report_file_error(name, error);
    return done;
}

// A version map or tag file, read whole and parsed by `parse`.
template <typename Contents>
auto whole_file(bool (*parse)(const std::string&, Contents&, FileError&)) {
    return [parse](std::FILE* file, Contents& contents, FileError& error) {
        std::string text;
        return read_whole_file(file, text, error) && parse(text, contents, error);
    };
}

// Reads and analyses the report and writes every output; false after a
// failure, which it has reported.
bool analyse_report(const Settings& settings, const AnalysisInputs& inputs, OutputFiles& files,
                    std::size_t tables_output) {
    const char* name = settings.report.c_str();
    const bool from_input = settings.report == "-";
    std::FILE* input = from_input ? stdin : open_text_file(name);
    if (!input) {
        send_message("Can't open %s: %s\n", name, system_error_text(errno));
        return false;
    }
    ReportTables tables;
    ReportError error;
    const bool read = read_report(input, tables, error);
    if (!from_input) std::fclose(input);
    if (!read) {
        if (error.line < 0)
            send_message("Error reading %s: %s\n", name, error.message.c_str());
        else
            send_message("%s:%lld: %s\n", name, static_cast<long long>(error.line),
                         error.message.c_str());
        return false;
    }
    // Without scored sheets every output is still written, so that none is
    // left from an earlier run: the checks say why nothing was scored.
    if (tables.forms.empty()) send_message("%s: no scored sheets to analyse\n", name);
    FileError file_error;
    if (inputs.versions && !check_version_map(*inputs.versions, tables, file_error)) {
        report_file_error(settings.versions, file_error);
        return false;
    }
    // Without scored sheets there is no exam to hold the tags against, and
    // no scores by tag.
    if (inputs.tags && !tables.forms.empty() &&
        !check_tags(*inputs.tags, exam_question_numbers(inputs.versions, tables), file_error)) {
        report_file_error(settings.tags, file_error);
        return false;
    }
    const Analysis analysis = analyse(tables, inputs);

    std::FILE* out = files.stream(tables_output);
    const auto print_form = [&](const FormAnalysis& form) {
        print_form_tables(out, form);
        files.check(tables_output);
        print_score_histogram(stderr, form);
        if (form.rasch) print_rasch_notes(stderr, form, *form.rasch);
        end_message();
    };
    if (analysis.exam) print_form(*analysis.exam);
    for (const FormAnalysis& form : analysis.forms) print_form(form);
    if (analysis.tags) {
        print_tag_table(out, *analysis.tags);
        files.check(tables_output);
    }
    print_checks_table(out, analysis.checks);
    files.check(tables_output);
    print_check_counts(stderr, analysis.checks, inputs.class_list != nullptr,
                       inputs.versions != nullptr);
    end_message();
    if (analysis.similarity) {
        std::fputc('\n', out);
        print_similarity_table(out, *analysis.similarity);
        files.check(tables_output);
        print_similarity_counts(stderr, *analysis.similarity);
        end_message();
    }
    if (settings.json_output != NO_OUTPUT)
        files.write(settings.json_output, analysis_json(analysis));
    if (settings.html_output != NO_OUTPUT)
        files.write(settings.html_output, analysis_html(analysis, settings.report));
    if (settings.fix_output != NO_OUTPUT) files.write(settings.fix_output, fix_options(analysis));
    if (settings.gradebook_output != NO_OUTPUT)
        files.write(settings.gradebook_output,
                    gradebook_csv(analysis, tables.identities, inputs.class_list,
                                  analysis.tags
                                      ? tag_score_columns(*analysis.tags, tables.identities.size())
                                      : std::vector<GradebookColumn>()));
    return files.finish();
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

    // The scale is checked first, then every file before the report is
    // read: a mistake in the scale, an output that would replace an input or
    // another output, or that cannot be made, ends the run before anything
    // is read or written.
    GradeScale scale;
    std::string scale_error;
    const bool graded = app.count("--grades") > 0;
    if (graded && !parse_grade_scale(settings.grades, scale, scale_error)) {
        send_message("--grades %s: %s\n", settings.grades.c_str(), scale_error.c_str());
        return FAILURE;
    }
    OutputFiles files;
    files.add_input("the report", settings.report);
    if (!settings.class_list.empty()) files.add_input("the class list", settings.class_list);
    if (!settings.versions.empty()) files.add_input("the version map", settings.versions);
    if (!settings.tags.empty()) files.add_input("the tag file", settings.tags);
    const std::size_t tables_output =
        files.add_output(settings.output.empty() ? "" : "-o",
                         settings.output.empty() ? "-" : settings.output);
    if (!settings.json.empty()) settings.json_output = files.add_output("--json", settings.json);
    if (!settings.html.empty()) settings.html_output = files.add_output("--html", settings.html);
    if (!settings.fix_options.empty())
        settings.fix_output = files.add_output("--fix-options", settings.fix_options);
    if (!settings.gradebook.empty())
        settings.gradebook_output = files.add_output("--gradebook", settings.gradebook);
    if (settings.similarity_fdr && !settings.similarity) {
        send_message(
            "--similarity-fdr requires --similarity\n"
            "Run quillmark-analyze --help for the options.\n");
        return FAILURE;
    }
    SimilarityRequest similarity;
    similarity.settings.exploratory = settings.similarity_fdr;
    if (settings.rooms == "exam") {
        similarity.rooms = RoomMode::exam;
    } else if (!settings.rooms.empty()) {
        if (settings.class_list.empty()) {
            send_message(
                "--rooms %s needs --class-list: the rooms are taken from the class "
                "list's column %s (--rooms exam takes the Exam # cell)\n",
                settings.rooms.c_str(), settings.rooms.c_str());
            return FAILURE;
        }
        similarity.rooms = RoomMode::class_list;
    }
    if (!files.prepare()) return FAILURE;
    try {
        ClassList class_list;
        VersionMap versions;
        TagList tags;
        const bool with_versions = !settings.versions.empty();
        const bool with_tags = !settings.tags.empty();
        if ((settings.class_list.empty() ||
             read_input(settings.class_list, class_list,
                        [](std::FILE* file, ClassList& list, FileError& error) {
                            return read_class_list(file, list, error);
                        })) &&
            (similarity.rooms != RoomMode::class_list ||
             find_room_column(settings, class_list, similarity.room_column)) &&
            (!with_versions ||
             read_input(settings.versions, versions, whole_file(parse_version_map))) &&
            (!with_tags || read_input(settings.tags, tags, whole_file(parse_tag_file)))) {
            AnalysisInputs inputs;
            inputs.versions = with_versions ? &versions : nullptr;
            inputs.tags = with_tags ? &tags : nullptr;
            inputs.class_list = settings.class_list.empty() ? nullptr : &class_list;
            inputs.grades = graded ? &scale : nullptr;
            inputs.sheet_scores = !settings.gradebook.empty();
            inputs.rasch = settings.rasch;
            inputs.similarity = settings.similarity ? &similarity : nullptr;
            if (analyse_report(settings, inputs, files, tables_output)) return 0;
        }
    } catch (const std::bad_alloc&) {
        send_message("not enough memory to analyse %s: %s\n", settings.report.c_str(),
                     system_error_text(ENOMEM));
    }
    files.abandon();
    return FAILURE;
}
