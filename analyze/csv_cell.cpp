#include "analyze/csv_cell.h"

namespace quillmark {

bool reads_as_formula(std::string_view text) {
    if (text.empty()) return false;
    switch (text[0]) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r': return true;
    default: return false;
    }
}

void append_text_cell(std::string& out, std::string_view text) {
    out += '"';
    if (reads_as_formula(text)) out += '\'';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void print_text_cell(std::FILE* out, std::string_view text) {
    std::string cell;
    append_text_cell(cell, text);
    std::fwrite(cell.data(), 1, cell.size(), out);
}

} // namespace quillmark
