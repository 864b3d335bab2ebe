#include "grading/sheet_reader.h"

#include <cerrno>
#include <cstring>

#include "platform/env.h"

namespace quillmark {

namespace {

// The parts of a line, in the order parse_sheet_line reads them.
enum Field { IDENTIFIER, FORM_LETTER, AFTER_FORM_LETTER, EXAM_NUMBER, RESPONSES, REST };

// The file is read in blocks of this size. A line that fits in one is cut
// where it lies; a longer one goes through the reducer.
constexpr std::size_t BLOCK_SIZE = std::size_t{1} << 18;

struct SheetLines {
    std::FILE* file;
    char block[BLOCK_SIZE + 1 + LINE_READ_AHEAD]; // a zero byte after a last line, and
                                                  // what may be read after it
    std::size_t begin;                            // the characters not handed out yet:
    std::size_t end;                              // block[begin] to block[end - 1]
    bool at_end;
    int error;
    bool drop_carriage_return;
    LineReducer reducer;
};
SheetLines lines;

// Moves the characters not handed out yet to the front of the block and
// reads more after them; at the end of the file or on a read error, sets
// at_end or error.
void refill() {
    const std::size_t kept = lines.end - lines.begin;
    std::memmove(lines.block, lines.block + lines.begin, kept);
    lines.begin = 0;
    lines.end = kept;
    errno = 0;
    const std::size_t got = std::fread(lines.block + kept, 1, BLOCK_SIZE - kept, lines.file);
    lines.end += got;
    if (got == 0) {
        if (std::ferror(lines.file))
            lines.error = failed_call_error(errno);
        else
            lines.at_end = true;
    }
}

// The first `count` characters at `from` without a last carriage return
// where the system's text reading leaves the one of a line end in place.
std::size_t without_return(const char* from, std::size_t count) {
    return lines.drop_carriage_return && count > 0 && from[count - 1] == '\r' ? count - 1 : count;
}

// The line that fills the block whole: it is fed to the reducer as it is
// read, up to its line feed or the end of the file. A carriage return at
// the end of what has been read is held back until the next character shows
// whether it ends the line.
const char* reduced_line(std::size_t& length) {
    LineReducer& reducer = lines.reducer;
    reducer_start(reducer);
    for (;;) {
        char* from = lines.block + lines.begin;
        const std::size_t count = lines.end - lines.begin;
        if (auto* line_feed = static_cast<char*>(std::memchr(from, '\n', count))) {
            const auto before_feed = static_cast<std::size_t>(line_feed - from);
            lines.begin += before_feed + 1;
            reducer_feed(reducer, from, without_return(from, before_feed));
            length = reducer.length;
            return reducer_text(reducer);
        }
        if (lines.at_end) {
            reducer_feed(reducer, from, count);
            lines.begin = lines.end;
            length = reducer.length;
            return reducer_text(reducer);
        }
        const std::size_t fed = without_return(from, count);
        reducer_feed(reducer, from, fed);
        lines.begin += fed;
        refill();
        if (lines.error != 0) return nullptr;
    }
}

} // namespace

void reducer_start(LineReducer& reducer) {
    reducer.length = 0;
    reducer.field = IDENTIFIER;
    reducer.in_field = 0;
}

void reducer_feed(LineReducer& reducer, const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && reducer.field != REST; ++i) {
        const char c = bytes[i];
        if (c == '\0') {
            reducer.field = REST; // a zero byte ends the line's text
            break;
        }
        bool keep = false;
        switch (reducer.field) {
        case IDENTIFIER:
        case EXAM_NUMBER: {
            // The first characters of the field, then nothing up to the comma.
            const std::size_t longest = reducer.field == IDENTIFIER ? MAX_ID : MAX_EXAM;
            if (c == ',') {
                keep = true;
                reducer.field = reducer.field == IDENTIFIER ? FORM_LETTER : RESPONSES;
                reducer.in_field = 0;
            } else if (reducer.in_field < longest) {
                keep = true;
                ++reducer.in_field;
            }
            break;
        }
        case FORM_LETTER: // whatever character comes, a comma too
            keep = true;
            reducer.field = AFTER_FORM_LETTER;
            break;
        case AFTER_FORM_LETTER: // nothing up to the comma
            if (c == ',') {
                keep = true;
                reducer.field = EXAM_NUMBER;
            }
            break;
        case RESPONSES: // commas are responses too
            keep = true;
            if (++reducer.in_field == RESPONSE_FIELD_READ) reducer.field = REST;
            break;
        default: break;
        }
        if (keep) reducer.text[reducer.length++] = c;
    }
}

const char* reducer_text(LineReducer& reducer) {
    reducer.text[reducer.length] = '\0';
    return reducer.text;
}

void sheet_lines_open(std::FILE* file) {
    lines.file = file;
    lines.begin = 0;
    lines.end = 0;
    lines.at_end = false;
    lines.error = 0;
    lines.drop_carriage_return = text_reads_keep_carriage_returns();
}

const char* sheet_lines_next(std::size_t& length) {
    for (;;) {
        char* from = lines.block + lines.begin;
        const std::size_t count = lines.end - lines.begin;
        if (auto* line_feed = static_cast<char*>(std::memchr(from, '\n', count))) {
            const auto before_feed = static_cast<std::size_t>(line_feed - from);
            lines.begin += before_feed + 1;
            length = without_return(from, before_feed);
            from[length] = '\0';
            return from;
        }
        if (lines.error != 0) return nullptr;
        if (lines.at_end) {
            if (count == 0) return nullptr;
            lines.block[lines.end] = '\0'; // the last line has no line feed
            lines.begin = lines.end;
            length = count;
            return from;
        }
        if (count == BLOCK_SIZE) return reduced_line(length);
        refill();
    }
}

int sheet_lines_error() { return lines.error; }

} // namespace quillmark
