#include "report/report_layout.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_scan.h"

namespace quillmark {

namespace {

// Copies the `count` characters of a group (at most five) of a text that
// has `readable` characters from `text` on; with eight of them readable, as
// one block of eight (the room after a display takes the three extra).
void copy_group(char* out, const char* text, std::size_t count, std::size_t readable) {
    if (readable >= 8)
        std::memcpy(out, text, 8);
    else
        std::memcpy(out, text, count);
}

} // namespace

char* write_grouped(char* out, const char* text, std::size_t length) {
    *out++ = ':';
    std::size_t j = length < DISPLAY_GROUP ? length : DISPLAY_GROUP;
    copy_group(out, text, j, length);
    out += j;
    // Every later group has a blank before it.
#if QUILLMARK_SSE2
    // Two groups at a time, while sixteen characters can be read: the ten
    // characters moved one and two places on, blanks in the two gaps.
    static_assert(DISPLAY_GROUP == 5, "two groups of five make ten characters");
    const __m128i first = _mm_setr_epi8(0, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i second = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, 0, 0, 0, 0);
    const __m128i blanks = _mm_setr_epi8(' ', 0, 0, 0, 0, 0, ' ', 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (; j + 16 <= length; j += 2 * DISPLAY_GROUP) {
        const __m128i chars = sse2::load(text + j);
        const __m128i shown =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_slli_si128(chars, 1), first),
                                      _mm_and_si128(_mm_slli_si128(chars, 2), second)),
                         blanks);
        sse2::store(out, shown);
        out += 2 * (DISPLAY_GROUP + 1);
    }
#endif
    for (; j < length; j += DISPLAY_GROUP) {
        const std::size_t count = length - j < DISPLAY_GROUP ? length - j : DISPLAY_GROUP;
        *out++ = ' ';
        copy_group(out, text + j, count, length - j);
        out += count;
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
#if QUILLMARK_SSE2
    // Two groups at a time while sixteen characters can be read, each pair
    // checked to be five characters, a blank, five characters and a blank
    // (so more follows), and moved together.
    const __m128i first = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    while (j + 16 <= length) {
        const __m128i shown = sse2::load(display + j);
        const unsigned blanks = sse2::lane_bits(sse2::equal(shown, ' ')) & 0xFFFu;
        if (blanks != (1u << DISPLAY_GROUP | 1u << (2 * DISPLAY_GROUP + 1))) break;
        const __m128i chars = _mm_or_si128(_mm_and_si128(shown, first),
                                           _mm_andnot_si128(first, _mm_srli_si128(shown, 1)));
        sse2::store(text + text_length, chars);
        text_length += 2 * DISPLAY_GROUP;
        j += 2 * (DISPLAY_GROUP + 1);
    }
#endif
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
