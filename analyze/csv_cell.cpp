#include "analyze/csv_cell.h"

namespace quillmark {

bool reads_as_formula(const std::string& text) {
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

void print_text_cell(std::FILE* out, const std::string& text) {
    std::fputc('"', out);
    if (reads_as_formula(text)) std::fputc('\'', out);
    for (char c : text) {
        if (c == '"') std::fputc('"', out);
        std::fputc(c, out);
    }
    std::fputc('"', out);
}

} // namespace quillmark
