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
std::string analysis_json(const Analysis& analysis);

} // namespace quillmark
