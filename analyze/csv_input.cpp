#include "analyze/csv_input.h"

#include <cerrno>
#include <cstdio>

#include "platform/env.h"

namespace quillmark {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The separator the first row that is not blank uses: a semicolon when it
// has one and no comma outside quotes, else a comma.
char separator_of(const std::string& text, std::size_t from) {
    bool quoted = false;
    bool semicolon = false;
    while (from < text.size() && (is_blank(text[from]) || text[from] == '\r' || text[from] == '\n'))
        ++from;
    for (std::size_t i = from; i < text.size() && (quoted || text[i] != '\n'); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (quoted) continue;
        if (text[i] == ',') return ',';
        semicolon = semicolon || text[i] == ';';
    }
    return semicolon ? ';' : ',';
}

// The column of a heading row whose cell is `name`, in any case; -1 when
// there is none.
int heading_column(const CsvRow& heading, const char* name) {
    for (std::size_t c = 0; c < heading.cells.size(); ++c) {
        const std::string& cell = heading.cells[c];
        std::size_t i = 0;
        while (i < cell.size() && name[i] != '\0' && ascii_lower(cell[i]) == ascii_lower(name[i]))
            ++i;
        if (i == cell.size() && name[i] == '\0') return static_cast<int>(c);
    }
    return -1;
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
                const bool ends =
                    pos >= text.size() || text[pos] == separator || text[pos] == '\n' ||
                    (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n');
                if (!ends) {
                    error = {line, "a quoted cell has text after its closing quote"};
                    return false;
                }
            } else {
                while (pos < text.size() && text[pos] != separator && text[pos] != '\n')
                    cell += text[pos++];
                if (!cell.empty() && cell.back() == '\r' &&
                    (pos >= text.size() || text[pos] == '\n'))
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

bool read_headed_rows(
    const std::string& text, const std::vector<const char*>& names, std::size_t required,
    const std::function<bool(const CsvRow& row, const std::vector<int>& columns)>& each,
    FileError& error) {
    std::vector<CsvRow> rows;
    if (!split_csv(text, rows, error)) return false;
    std::string shown;
    for (const char* name : names) shown += (shown.empty() ? "" : ",") + std::string(name);
    if (rows.empty()) {
        error = {0, "the file is empty: the heading " + shown + " is missing"};
        return false;
    }
    const CsvRow& heading = rows.front();
    std::vector<int> columns;
    for (std::size_t n = 0; n < names.size(); ++n) {
        columns.push_back(heading_column(heading, names[n]));
        if (n < required && columns.back() < 0) {
            error = {heading.line, "the first row is not the heading " + shown};
            return false;
        }
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        for (std::size_t c = heading.cells.size(); c < row.cells.size(); ++c)
            if (!row.cells[c].empty()) {
                error = {row.line, "the row has more cells than the heading"};
                return false;
            }
        if (!each(row, columns)) return false;
    }
    return true;
}

const std::string& cell_at(const CsvRow& row, int column) {
    static const std::string empty;
    return column >= 0 && static_cast<std::size_t>(column) < row.cells.size() ? row.cells[column]
                                                                              : empty;
}

bool number_cell(const CsvRow& row, int column, const char* what, std::int32_t highest,
                 std::int32_t& number, FileError& error) {
    const std::string& cell = cell_at(row, column);
    std::int32_t value = 0;
    bool digits = !cell.empty() && cell.size() <= 9;
    for (std::size_t i = 0; digits && i < cell.size(); ++i) {
        digits = cell[i] >= '0' && cell[i] <= '9';
        value = value * 10 + (cell[i] - '0');
    }
    if (digits && value >= 1 && value <= highest) {
        number = value;
        return true;
    }
    error = {row.line, std::string("the ") + what + " number " + quoted_for_message(cell) +
                           " is not a number from 1 to " + std::to_string(highest)};
    return false;
}

std::string quoted_for_message(const std::string& cell) {
    constexpr std::size_t SHOWN = 40;
    if (cell.size() <= SHOWN) return "\"" + cell + "\"";
    return "\"" + cell.substr(0, SHOWN) + "...\"";
}

} // namespace quillmark
