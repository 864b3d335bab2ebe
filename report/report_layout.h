// The rules of the report's cells, shared by the grader that writes reports
// and by quillmark-analyze that reads them back: the limits of the cells,
// the form letters, the grouped display of keys, responses and scoring
// strings, and the % Score cell. The rows themselves are in report_rows.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

// Limits of the report's cells.
constexpr int NUM_FORMS = 10;       // test forms A to J
constexpr int MAX_QUESTIONS = 1000; // questions per key, responses per sheet
constexpr int MAX_ID = 10;          // characters of a student identifier
constexpr int MAX_EXAM = 3;         // characters of an exam number
constexpr int TALLY_LETTERS = 25;   // response letters A to Y, counted by letter

// The index of a test form: its letter minus 'A' for 'A' to 'J', else -1
// (a form letter that no key can have: lower case, a digit, '?', a byte
// above 127).
inline int form_index(char letter) {
    return letter >= 'A' && letter < 'A' + NUM_FORMS ? letter - 'A' : -1;
}

// The letter of a form index 0 to NUM_FORMS - 1.
inline char form_letter_of(int index) { return static_cast<char>('A' + index); }

// The first character of a Student ID as the report shows it: a digit 1 to
// 6 becomes the letter A to F, 7 to 9 becomes U to W, any other character
// stays; so a spreadsheet keeps the identifier as text.
inline char shown_id_first(char bubbled) {
    if (bubbled >= '1' && bubbled <= '6') return static_cast<char>(bubbled + 16);
    if (bubbled >= '7' && bubbled <= '9') return static_cast<char>(bubbled + 30);
    return bubbled;
}

// The first character of a Student ID read back from the report: A to F as
// 1 to 6, U to W as 7 to 9, any other character as it stands. A letter A to
// F or U to W bubbled as such reads back as a digit too: the report cannot
// tell them apart.
inline char bubbled_id_first(char shown) {
    if (shown >= 'A' && shown <= 'F') return static_cast<char>(shown - 16);
    if (shown >= 'U' && shown <= 'W') return static_cast<char>(shown - 30);
    return shown;
}

// Grouped displays: a text shown as ':' and its characters in groups of
// five, separated by one blank.
constexpr std::size_t DISPLAY_GROUP = 5;

// Room that the grouped display of a text of at most 1000 characters takes:
// ':', the characters and the 199 blanks between their groups.
constexpr std::size_t GROUPED_MAX = 1 + MAX_QUESTIONS + (MAX_QUESTIONS - 1) / DISPLAY_GROUP;

// Room that write_grouped needs: it may store up to sixteen characters
// past the end of the display (later writes, or the terminator, cover them).
constexpr std::size_t GROUPED_ROOM = GROUPED_MAX + 16;

// Writes the grouped display of the first length characters of text
// (length at most 1000) to out, without a terminator, and yields the
// position after it; out has room for GROUPED_ROOM characters.
char* write_grouped(char* out, const char* text, std::size_t length);

// Room that ungroup_display needs beyond the display's length: it may
// store up to sixteen characters past the end of the text.
constexpr std::size_t UNGROUPED_SLACK = 16;

// Undoes a grouped display of `length` characters: the text without its
// ':' and separators goes to `text` (room for length + UNGROUPED_SLACK
// characters), its length to `text_length`. Yields false when the display is not a grouped
// display (no leading ':', a blank out of place, a separator at the end).
bool ungroup_display(const char* display, std::size_t length, char* text, std::size_t& text_length);

// The per-cent score of raw_score right answers out of scored_questions
// (above 0): the quotient times 100, worked out in extended precision and
// rounded to a double.
double percent_score(std::int32_t raw_score, std::int32_t scored_questions);

// Room for the % Score cell of a per-cent score from 0 to 100, terminator
// included.
constexpr std::size_t PERCENT_CELL_SIZE = 16;

// Writes the % Score cell of a per-cent score ("%7.3f"), with its
// terminator, and yields its length (a value too wide for the cell is cut).
int format_percent_cell(char* cell, double percent);

} // namespace quillmark
