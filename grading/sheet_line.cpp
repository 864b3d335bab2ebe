#include "grading/sheet_line.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "grading/run_grading.h"
#include "platform/env.h"

namespace quillmark {

namespace {

// The reader writes responses in groups of ten with one separator between
// groups: every eleventh character of the response field is skipped.
constexpr int GROUP_WIDTH = 10;

// The stored form of every character of the response field, made once at
// start-up: a blank becomes '-', everything else is upper-cased with the
// platform's character conversion.
struct ResponseChars {
    char of[256];
    ResponseChars() {
        for (int c = 0; c < 256; ++c)
            of[c] = c == ' ' ? '-' : static_cast<char>(std::toupper(c));
    }
};
const ResponseChars response_chars;

const char* skip_past_comma(const char* cursor) {
    while (*cursor && *cursor != ',') ++cursor;
    return *cursor == ',' ? cursor + 1 : cursor;
}

// Copies at most `limit` characters up to a comma or the end of the line,
// then drops trailing blanks. Yields the cursor after what was copied.
const char* copy_field(const char* cursor, char* field, int limit) {
    int length = 0;
    while (*cursor && *cursor != ',' && length < limit) field[length++] = *cursor++;
    while (length > 0 && field[length - 1] == ' ') --length;
    field[length] = '\0';
    return cursor;
}

} // namespace

ScannedSheet parse_sheet_line(const char* line) {
    ScannedSheet sheet;
    const char* cursor = copy_field(line, sheet.student_id, MAX_ID);

    char& first = sheet.student_id[0];
    if (first >= '1' && first <= '6') first = static_cast<char>(first + 16); // A to F
    if (first >= '7' && first <= '9') first = static_cast<char>(first + 30); // U to W

    cursor = skip_past_comma(cursor);
    sheet.form_letter = '?';
    if (*cursor) sheet.form_letter = *cursor++;
    cursor = skip_past_comma(cursor);
    cursor = copy_field(cursor, sheet.exam_no, MAX_EXAM);
    cursor = skip_past_comma(cursor);

    // Each response is stored as it will be read: a blank as '-', a letter
    // upper-cased. Upper-casing before the trailing '-' are dropped changes
    // nothing, since no character upper-cases to '-' or from it.
    // Group by group: ten responses, then the separator is skipped.
    static_assert(MAX_QUESTIONS % GROUP_WIDTH == 0, "the responses end with a whole group");
    int count = 0;
    const char* p = cursor;
    while (*p && count < MAX_QUESTIONS) {
        const int group_end = count + GROUP_WIDTH;
        while (*p && count < group_end)
            sheet.responses[count++] = response_chars.of[static_cast<unsigned char>(*p++)];
        if (*p) ++p;
    }
    while (count > 0 && sheet.responses[count - 1] == '-') --count;
    sheet.responses[count] = '\0';
    return sheet;
}

bool is_key_sheet(const ScannedSheet& sheet, const GradingRun& run) {
    return run.sheets_graded == 0 && (std::strcmp(sheet.student_id, "0000000000") == 0 ||
                                      std::strcmp(sheet.exam_no, "000") == 0);
}

void store_key_sheet(const ScannedSheet& sheet) {
    const int index = form_index(sheet.form_letter);
    if (index < 0) {
        send_message("Scanned key form %c is not one of A to J: ignored\n", sheet.form_letter);
        return;
    }
    store_key(sheet.form_letter, sheet.responses);
    const AnswerKey& entry = answer_keys[index];
    std::printf("%s,%c,,,,,\"%s\"\n", SCANNED_KEY_LABEL, entry.form,
                group_display(entry.key_text));
}

} // namespace quillmark
