// Writes the whole analysis as one self-contained HTML5 page for a browser,
// a mail or a printer: the sheet checks, the class list's counts and
// findings and the grade chart (when the run has them) and the suggested
// fix options, then per form its summary, a histogram of the raw scores, an item map and the
// item table with each question's options. Styles are inline, charts are
// inline SVG; the page loads nothing and needs no script. It shows the
// model's figures and works out none of its own.
#pragma once

#include <string>

#include "analyze/analysis.h"

namespace quillmark {

// The page's text. `report_name` is the report's file name as the top of the
// page shows it ("-" stands for standard input). Every text from the report
// is escaped, its bytes that are not UTF-8 (and control characters) shown as
// U+FFFD, so that the page is valid whatever the report holds; the markup is
// also well-formed XML.
std::string analysis_html(const Analysis& analysis, const std::string& report_name);

} // namespace quillmark
