#include "keys/report_layout.h"

#include <cstdio>
#include <cstring>

namespace quillmark {

const char* const REPORT_HEADER_START = "\"Input file:\",,,,quillmark,";
const char* const STATISTICS_HEADING = ",,n,avg,dev,min,max";
const char* const SCANNED_KEY_LABEL = "\"Scanned key:\"";
const char* const OVERRIDE_KEY_LABEL = "\"Override:\",\"key ";
const char* const NO_KEY_CELL = "\"no key\"";

namespace {

// The two orders differ in the first three cells only.
const char* const HEADINGS_ID_FIRST =
    "\"Student ID\",Tform,Exam#,Order,\"Raw Score\",\"% Score\",Responses,Scoring";
const char* const HEADINGS_EXAM_FIRST =
    "Exam#,\"Student ID\",Tform,Order,\"Raw Score\",\"% Score\",Responses,Scoring";

} // namespace

const char* column_headings(bool exam_first) {
    return exam_first ? HEADINGS_EXAM_FIRST : HEADINGS_ID_FIRST;
}

char* write_grouped(char* out, const char* text, std::size_t length) {
    *out++ = ':';
    std::size_t j = 0;
    for (; j + DISPLAY_GROUP <= length; j += DISPLAY_GROUP) {
        if (j > 0) *out++ = ' ';
        std::memcpy(out, text + j, DISPLAY_GROUP);
        out += DISPLAY_GROUP;
    }
    if (j < length) {
        if (j > 0) *out++ = ' ';
        std::memcpy(out, text + j, length - j);
        out += length - j;
    }
    return out;
}

bool ungroup_display(const char* display, std::size_t length, char* text,
                     std::size_t& text_length) {
    text_length = 0;
    if (length == 0 || display[0] != ':') return false;
    // After the ':', groups of DISPLAY_GROUP characters (the last may be
    // shorter), each but the last followed by one blank; a group holds no
    // blank, and a blank is never the last character.
    std::size_t j = 1;
    while (j < length) {
        const std::size_t group = length - j < DISPLAY_GROUP ? length - j : DISPLAY_GROUP;
        for (std::size_t k = 0; k < group; ++k) {
            if (display[j + k] == ' ') return false;
            text[text_length++] = display[j + k];
        }
        j += group;
        if (j == length) return true;
        if (display[j] != ' ' || j + 1 == length) return false;
        ++j;
    }
    return true;
}

double percent_score(std::int32_t raw_score, std::int32_t scored_questions) {
    return static_cast<double>(static_cast<long double>(raw_score) / scored_questions * 100);
}

int format_percent_cell(char* cell, double percent) {
    const int length = std::snprintf(cell, PERCENT_CELL_SIZE, "%7.3f", percent);
    return length < static_cast<int>(PERCENT_CELL_SIZE) ? length
                                                        : static_cast<int>(PERCENT_CELL_SIZE) - 1;
}

} // namespace quillmark
