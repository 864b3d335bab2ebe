#include "analyze/csv_input.h"

#include <cerrno>
#include <cstdio>

#include "platform/env.h"

namespace quillmark {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The separator the first row uses: a semicolon when it has one and no
// comma outside quotes, else a comma.
char separator_of(const std::string& text, std::size_t from) {
    bool quoted = false;
    bool semicolon = false;
    for (std::size_t i = from; i < text.size() && (quoted || text[i] != '\n'); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (quoted) continue;
        if (text[i] == ',') return ',';
        semicolon = semicolon || text[i] == ';';
    }
    return semicolon ? ';' : ',';
}

} // namespace

bool read_input_file(const std::string& name, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        error = system_error_text(errno);
        return false;
    }
    text.clear();
    char block[65536];
    std::size_t got = 0;
    errno = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        if (text.size() + got > CSV_INPUT_LIMIT) {
            std::fclose(file);
            error = "larger than " + std::to_string(CSV_INPUT_LIMIT >> 20) + " MiB";
            return false;
        }
        text.append(block, got);
    }
    const int read_error = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (read_error != 0) {
        error = system_error_text(read_error);
        return false;
    }
    return true;
}

bool split_csv(const std::string& text, std::vector<CsvRow>& rows, FileError& error) {
    rows.clear();
    std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const char separator = separator_of(text, pos);
    std::int32_t line = 1;
    while (pos < text.size()) {
        CsvRow row;
        row.line = line;
        bool row_done = false;
        while (!row_done) {
            std::string cell;
            while (pos < text.size() && is_blank(text[pos])) ++pos;
            if (pos < text.size() && text[pos] == '"') {
                const std::int32_t opened = line;
                ++pos;
                for (;;) {
                    if (pos >= text.size()) {
                        error = {opened, "a quoted cell is not closed"};
                        return false;
                    }
                    if (text[pos] == '"') {
                        if (pos + 1 < text.size() && text[pos + 1] == '"') {
                            cell += '"';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    if (text[pos] == '\n') ++line;
                    cell += text[pos++];
                }
                while (pos < text.size() && is_blank(text[pos])) ++pos;
                const bool ends = pos >= text.size() || text[pos] == separator || text[pos] == '\n' ||
                                  (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n');
                if (!ends) {
                    error = {line, "a quoted cell has text after its closing quote"};
                    return false;
                }
            } else {
                while (pos < text.size() && text[pos] != separator && text[pos] != '\n') cell += text[pos++];
                if (!cell.empty() && cell.back() == '\r' && (pos >= text.size() || text[pos] == '\n'))
                    cell.pop_back();
                while (!cell.empty() && is_blank(cell.back())) cell.pop_back();
            }
            if (pos < text.size() && text[pos] == '\r') ++pos; // before the line feed, as checked
            row.cells.push_back(std::move(cell));
            if (pos >= text.size() || text[pos] == '\n') {
                row_done = true;
                if (pos < text.size()) ++line;
            }
            ++pos; // past the separator or the line feed
        }
        bool empty = true;
        for (const std::string& cell : row.cells) empty = empty && cell.empty();
        if (!empty) rows.push_back(std::move(row));
    }
    return true;
}

int heading_column(const CsvRow& heading, const char* name) {
    for (std::size_t c = 0; c < heading.cells.size(); ++c) {
        const std::string& cell = heading.cells[c];
        std::size_t i = 0;
        while (i < cell.size() && name[i] != '\0' && ascii_lower(cell[i]) == ascii_lower(name[i])) ++i;
        if (i == cell.size() && name[i] == '\0') return static_cast<int>(c);
    }
    return -1;
}

const std::string& cell_at(const CsvRow& row, int column) {
    static const std::string empty;
    return column >= 0 && static_cast<std::size_t>(column) < row.cells.size() ? row.cells[column] : empty;
}

bool parse_question_number(const std::string& cell, std::int32_t highest, std::int32_t& number) {
    if (cell.empty() || cell.size() > 9) return false;
    std::int32_t value = 0;
    for (char c : cell) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > highest) return false;
    number = value;
    return true;
}

std::string quoted_for_message(const std::string& cell) {
    constexpr std::size_t SHOWN = 40;
    if (cell.size() <= SHOWN) return "\"" + cell + "\"";
    return "\"" + cell.substr(0, SHOWN) + "...\"";
}

} // namespace quillmark
