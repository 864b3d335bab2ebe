// Fuzz target: quillmark-analyze from the report on. The input is a report,
// cut into lines at line feeds and read by the report reader; a report it
// takes is analysed and written as CSV, JSON, an option file and a page.
// Checked: every question's option rows count each sheet once, shares and
// correlations stay in their ranges, a key error names its letter, every
// finding names a sheet row that exists, and the page is written to its end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "analyze/analysis.h"
#include "analyze/analysis_html.h"
#include "analyze/analysis_json.h"
#include "analyze/analysis_report.h"
#include "analyze/fix_options.h"
#include "analyze/report_reader.h"
#include "fuzz_check.h"

using namespace quillmark;

namespace {

bool in_range(const std::optional<long double>& value, long double low, long double high) {
    return !value || (*value >= low - 1e-9L && *value <= high + 1e-9L);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    const char* text = reinterpret_cast<const char*>(data);
    ReportReader reader;
    std::size_t start = 0;
    bool taken = true;
    for (std::size_t i = 0; i <= size && taken; ++i)
        if (i == size || text[i] == '\n') {
            if (i == size && start == size) break; // no line after the last line feed
            taken = reader.add_line(text + start, i - start);
            start = i + 1;
        }
    ReportTables tables;
    ReportError error;
    if (!taken || !reader.finish(tables, error)) return 0;
    const std::int32_t rows = tables.sheet_rows;
    const Analysis analysis = analyse(tables);
    for (const FormAnalysis& form : analysis.forms) {
        FUZZ_CHECK(form.test.sheets > 0 && form.test.items > 0);
        for (const QuestionAnalysis& question : form.questions) {
            const ItemStatistics& item = question.statistics;
            FUZZ_CHECK(item.difficulty >= 0 && item.difficulty <= 1);
            FUZZ_CHECK(in_range(item.point_biserial, -1, 1));
            // A suspected letter exactly when the flag is a possible key error.
            FUZZ_CHECK((item.flag == ItemFlag::key_error) == (item.key_error != 0));
            std::int64_t chosen = 0;
            for (const OptionStatistics& option : item.options) {
                chosen += option.count;
                FUZZ_CHECK(in_range(option.point_biserial, -1, 1));
                FUZZ_CHECK(in_range(option.upper, 0, 1) && in_range(option.lower, 0, 1));
            }
            FUZZ_CHECK(chosen == form.test.sheets);
        }
        print_form_tables(sink, form);
        print_score_histogram(sink, form);
    }
    for (const SheetCheck& check : analysis.checks) FUZZ_CHECK(check.order <= rows);
    print_checks_table(sink, analysis.checks);
    print_check_counts(sink, analysis.checks);
    const std::string json = analysis_json(analysis);
    const std::string options = fix_options(analysis);
    FUZZ_CHECK(!json.empty() && !options.empty());
    const std::string page = analysis_html(analysis, "report.csv");
    FUZZ_CHECK(page.find("</html>") != std::string::npos);
    return 0;
}
