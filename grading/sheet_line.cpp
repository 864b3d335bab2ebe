#include "grading/sheet_line.h"

#include <cctype>
#include <cstring>

#include "platform/byte_scan.h"
#include "platform/env.h"
#include "report/report_rows.h"

namespace quillmark {

namespace {

// The reader writes responses in groups of ten with one separator between
// groups: every eleventh character of the response field is skipped.
constexpr int GROUP_WIDTH = 10;

// The stored form of every character of the response field, made once at
// start-up: a blank becomes '-', everything else is upper-cased with the
// platform's character conversion.
// `ascii` tells whether the conversion is the plain one (only 'a' to 'z'
// upper-cased), which the group-at-a-time cutting below does itself.
struct ResponseChars {
    char of[256];
    bool ascii;
    ResponseChars() : ascii(true) {
        for (int c = 0; c < 256; ++c) {
            of[c] = c == ' ' ? '-' : static_cast<char>(std::toupper(c));
            const int plain = c == ' ' ? '-' : c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
            ascii = ascii && static_cast<unsigned char>(of[c]) == plain;
        }
    }
};
const ResponseChars response_chars;

#if QUILLMARK_SSE2
// Sixteen characters of the response field in their stored form, with the
// plain conversion: 'a' to 'z' upper-cased, a blank turned into '-'.
__m128i stored_form(__m128i chars) {
    const __m128i lower = sse2::in_range(chars, 'a', 26);
    chars = _mm_sub_epi8(chars, _mm_and_si128(lower, _mm_set1_epi8('a' - 'A')));
    const __m128i blank = sse2::equal(chars, ' ');
    return _mm_add_epi8(chars, _mm_and_si128(blank, _mm_set1_epi8('-' - ' ')));
}
#endif

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
    const std::size_t length = std::strlen(line);
    return parse_sheet_text(line, length, length + 1);
}

ScannedSheet parse_sheet_text(const char* line, std::size_t length, std::size_t readable) {
    ScannedSheet sheet;
    const char* cursor = copy_field(line, sheet.student_id, MAX_ID);

    sheet.student_id[0] = shown_id_first(sheet.student_id[0]);

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
#if QUILLMARK_SSE2
    // A whole group and its separator at a time, while sixteen characters
    // can be read and written before the end of the responses. A zero byte
    // among the group's ten characters or in the separator's place ends the
    // text there (the terminator is one).
    const char* const end = line + length;
    const char* const readable_end = line + readable;
    if (response_chars.ascii) {
        while (readable_end - p >= 16 && p <= end && count + 16 <= MAX_QUESTIONS + 1) {
            const __m128i chars = sse2::load(p);
            const unsigned zeros =
                sse2::lane_bits(sse2::equal(chars, '\0')) & ((1u << (GROUP_WIDTH + 1)) - 1);
            sse2::store(sheet.responses + count, stored_form(chars));
            if (zeros != 0) {
                const int kept = __builtin_ctz(zeros);
                count += kept < GROUP_WIDTH ? kept : GROUP_WIDTH;
                p = end;
                break;
            }
            count += GROUP_WIDTH;
            p += GROUP_WIDTH + 1;
        }
    }
#else
    (void)length;
    (void)readable;
#endif
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

bool is_key_sheet(const ScannedSheet& sheet, std::int32_t sheets_graded) {
    return sheets_graded == 0 && (std::strcmp(sheet.student_id, "0000000000") == 0 ||
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
    write_key_row(KeySource::scanned, entry.form, entry.key_text);
}

} // namespace quillmark
