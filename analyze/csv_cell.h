// The text cells of every comma-separated table that quillmark-analyze
// writes, made safe to open in a spreadsheet.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillmark {

// True for a text that a spreadsheet would take for a formula rather than
// text: one that begins with '=', '+', '-', '@', a tab or a carriage return.
bool reads_as_formula(std::string_view text);

// Appends `text` to `out` as a quoted cell: each double quote doubled, and a
// text that reads as a formula preceded by ' inside the quotes, which a
// spreadsheet takes as the mark of a text cell and does not show.
void append_text_cell(std::string& out, std::string_view text);

// Writes `text` to `out` as the quoted cell that append_text_cell makes.
void print_text_cell(std::FILE* out, std::string_view text);

} // namespace quillmark
