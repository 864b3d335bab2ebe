#include "analyze/csv_input.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/env.h"

namespace quillmark {

namespace {

constexpr char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

bool CsvReader::refuse(std::int32_t line, std::string message) {
    failed_ = true;
    error_ = {line, std::move(message)};
    return false;
}

bool CsvReader::add(const char* data, std::size_t size) {
    if (failed_) return false;
    std::size_t i = 0;
    // The first row is kept until its line end, then read with the
    // separator it shows; blank lines before it are passed over.
    for (; i < size && !separator_known_; ++i) {
        const char c = data[i];
        heading_text_ += c;
        if (heading_text_.size() > MAX_CSV_ROW)
            return refuse(1, "the heading row is longer than " + std::to_string(MAX_CSV_ROW) +
                                 " bytes");
        if (c == '"') {
            heading_in_quotes_ = !heading_in_quotes_;
        } else if (!heading_in_quotes_) {
            commas_ += c == ',';
            semicolons_ += c == ';';
            if ((c == '\n' || c == '\r') &&
                heading_text_.find_first_not_of(std::string(BYTE_ORDER_MARK) + "\r\n") !=
                    std::string::npos &&
                !start_rows())
                return false;
        }
    }
    for (; i < size; ++i)
        if (!put(static_cast<unsigned char>(data[i]))) return false;
    return true;
}

bool CsvReader::start_rows() {
    separator_known_ = true;
    separator_ = semicolons_ > commas_ ? ';' : ',';
    const std::string text = std::move(heading_text_);
    heading_text_.clear();
    const std::size_t start = text.compare(0, 3, BYTE_ORDER_MARK) == 0 ? 3 : 0;
    for (std::size_t j = start; j < text.size(); ++j)
        if (!put(static_cast<unsigned char>(text[j]))) return false;
    return true;
}

bool CsvReader::put(unsigned char byte) {
    const char c = static_cast<char>(byte);
    // The line feed of a CR LF pair belongs to the line end the CR began:
    // text inside quotes, else already the end of the row.
    const bool second_of_pair = after_cr_ && c == '\n';
    after_cr_ = c == '\r';
    if (second_of_pair) {
        if (state_ == Cell::quoted) cell_ += c;
        return true;
    }
    if (++row_bytes_ > MAX_CSV_ROW)
        return refuse(row_line_, "a row longer than " + std::to_string(MAX_CSV_ROW) + " bytes");
    const bool line_end = c == '\n' || c == '\r';
    bool row_ended = false;
    if (state_ != Cell::quoted && (c == separator_ || line_end)) {
        if (line_end) {
            row_ended = true;
        } else {
            row_.push_back(std::move(cell_));
            cell_.clear();
            state_ = Cell::start;
        }
    } else {
        switch (state_) {
        case Cell::start:
            state_ = c == '"' ? Cell::quoted : Cell::plain;
            if (c == '"')
                quote_line_ = line_;
            else
                cell_ += c;
            break;
        case Cell::plain: cell_ += c; break; // a quote inside an unquoted cell is text
        case Cell::quoted:
            if (c == '"')
                state_ = Cell::quote_in_quoted;
            else
                cell_ += c;
            break;
        case Cell::quote_in_quoted:
            if (c != '"') return refuse(line_, "text after the closing quote of a cell");
            cell_ += c; // a doubled quote
            state_ = Cell::quoted;
            break;
        }
    }
    if (line_end) ++line_;
    return !row_ended || end_row();
}

bool CsvReader::end_row() {
    row_.push_back(std::move(cell_));
    cell_.clear();
    state_ = Cell::start;
    row_bytes_ = 0;
    std::vector<std::string> cells = std::move(row_);
    row_.clear();
    const std::int32_t line = row_line_;
    row_line_ = line_;
    if (std::all_of(cells.begin(), cells.end(),
                    [](const std::string& cell) { return cell.empty(); }))
        return true;
    if (each_(cells, line, error_)) return true;
    failed_ = true;
    return false;
}

bool CsvReader::finish(FileError& error) {
    if (!failed_ && !separator_known_ && !heading_text_.empty()) start_rows();
    if (!failed_ && state_ == Cell::quoted) refuse(quote_line_, "a quoted cell is not closed");
    if (!failed_ && (state_ != Cell::start || !row_.empty())) end_row();
    if (!failed_) return true;
    error = error_;
    return false;
}

bool read_pieces(std::FILE* file, const std::function<bool(const char*, std::size_t)>& take,
                 FileError& error) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got > 0 && !take(buffer.data(), got)) return true;
        if (got < buffer.size()) {
            if (!std::ferror(file)) return true;
            error = {-1, system_error_text(failed_call_error(errno))};
            return false;
        }
    }
}

bool read_whole_file(std::FILE* file, std::string& text, FileError& error) {
    text.clear();
    bool too_large = false;
    const bool read = read_pieces(
        file,
        [&](const char* data, std::size_t size) {
            too_large = text.size() + size > CSV_INPUT_LIMIT;
            if (!too_large) text.append(data, size);
            return !too_large;
        },
        error);
    if (read && too_large)
        error = {0, "the file is larger than " + std::to_string(CSV_INPUT_LIMIT >> 20) + " MiB"};
    return read && !too_large;
}

bool read_headed_rows(
    std::string_view text, const std::vector<const char*>& names, std::size_t required,
    const std::function<bool(const CsvRow& row, const std::vector<int>& columns)>& each,
    FileError& error) {
    std::string shown;
    for (const char* name : names) shown += (shown.empty() ? "" : ",") + std::string(name);
    bool have_heading = false;
    std::size_t width = 0;
    std::vector<int> columns;
    CsvReader reader([&](std::vector<std::string>& cells, std::int32_t line, FileError& fault) {
        CsvRow row;
        row.line = line;
        row.cells = std::move(cells);
        bool blank = true;
        for (std::string& cell : row.cells) {
            const std::size_t first = cell.find_first_not_of(" \t");
            const std::size_t last = cell.find_last_not_of(" \t");
            cell =
                first == std::string::npos ? std::string() : cell.substr(first, last + 1 - first);
            blank = blank && cell.empty();
        }
        if (blank) return true;
        if (!have_heading) {
            have_heading = true;
            width = row.cells.size();
            for (std::size_t n = 0; n < names.size(); ++n) {
                columns.push_back(heading_column(row, names[n]));
                if (n < required && columns.back() < 0) {
                    fault = {line, "the first row is not the heading " + shown};
                    return false;
                }
            }
            return true;
        }
        for (std::size_t c = width; c < row.cells.size(); ++c)
            if (!row.cells[c].empty()) {
                fault = {line, "the row has more cells than the heading"};
                return false;
            }
        return each(row, columns) || (fault = error, false);
    });
    reader.add(text.data(), text.size());
    if (!reader.finish(error)) return false;
    if (!have_heading) {
        error = {0, "the file is empty: the heading " + shown + " is missing"};
        return false;
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
