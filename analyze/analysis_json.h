// Writes the whole analysis as one JSON document: the forms with their test
// statistics, questions and options, and the sheet checks.
#pragma once

#include <cstdio>
#include <string>

#include "analyze/analysis.h"

namespace quillmark {

// The analysis as JSON text: {"forms": [...], "checks": [...]}. Figures are
// numbers at full double precision, an undefined figure is null, a question
// without a flag has a null flag. Bytes of a cell that are not UTF-8 are
// replaced by U+FFFD. A form with a Rasch measurement has it as "rasch".
// With a version map, "all" holds the whole exam as a form is held, each
// question with "versions": where it stands on each form; with tags, "tags"
// holds {"orders": [...], "tags": [...]}, each tag's figures with "scores",
// the score of each sheet of "orders" on it.
std::string analysis_json(const Analysis& analysis);

} // namespace quillmark
