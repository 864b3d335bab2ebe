// The Rasch measurement of a form as the writers show it: comma-separated
// tables, a JSON object, and the notes for the person at the console.
#pragma once

#include <cstdio>

#include <nlohmann/json.hpp>

#include "analyze/analysis.h"

namespace quillmark {

// The form's three Rasch tables, each followed by an empty line: the
// questions (Form,Question,Measure,SE,Infit,Outfit,"Infit Z","Outfit Z"),
// the raw scores 0 to the number of questions (Form,"Raw score",Measure,SE,
// Sheets) and the summary (Form,Persons,Items,"Person reliability","Item
// reliability"). Figures have three decimals, Z two; absent figures are
// empty cells.
void print_rasch_tables(std::FILE* out, const FormAnalysis& form, const RaschAnalysis& rasch);

// The same as one JSON object, figures at full double precision, absent
// ones null: {"persons", "items", "person_reliability", "item_reliability",
// "iterations", "message", "questions": [...], "scores": [...]}.
nlohmann::json rasch_json(const FormAnalysis& form, const RaschAnalysis& rasch);

// The questions left out of the calibration, a line per note, e.g.
// "Form A: not calibrated, every sheet right: questions 3, 7", and a line
// for a form without measures, to `err`.
void print_rasch_notes(std::FILE* err, const FormAnalysis& form, const RaschAnalysis& rasch);

} // namespace quillmark
