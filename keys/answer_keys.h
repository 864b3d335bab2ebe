// The answer key table: per test form A to J the key text and, per question,
// the accepted answer letters or the mark that the question is dropped.
// Also the small text operations that every key, response and scoring
// string of the report shares.
#pragma once

#include <cstddef>
#include <cstdint>

#include "report/report_layout.h"

namespace quillmark {

constexpr std::int32_t QUESTION_DROPPED = -1; // mask of a dropped question

struct AnswerKey {
    char form;                             // the form letter; 0 until a key is stored
    char key_text[MAX_QUESTIONS + 1];      // the key as last stored, one character a question
    std::int32_t masks[MAX_QUESTIONS + 1]; // accepted-answer bits, by question number 1 to 1000
};

// The table, one entry per form, the entry of a letter at form_index(letter).
extern AnswerKey answer_keys[NUM_FORMS];

// The answer bits of all 256 character values, made once at start-up by
// the rule of answer_bit_of.
extern const std::uint16_t* const answer_bits;

// The answer bit of a letter: 'A'/'a' to 'P'/'p' give 1 << (letter - 'A');
// every other character, 'Q' to 'Z' included, gives 0.
inline std::uint16_t answer_bit(char c) { return answer_bits[static_cast<unsigned char>(c)]; }

// Normalises the entry's key text in place (blanks removed, upper-cased,
// 'X' turned into '-') and adds its answers to the masks: '-' drops a
// question, a letter ORs its bit in. Yields the number of questions.
int compile_key(AnswerKey& entry);

// Stores a key for a form 'A' to 'J': the form letter is set, the first 1000
// non-blank characters of the text become the key text, and the text is
// compiled into the masks, which are not cleared first (a second key for a
// form adds its answers; a dropped question stays dropped).
void store_key(char form_letter, const char* key_text);

// Replaces the first occurrence of pattern in the buffer by replacement.
// Yields 1 when it did; 0, the buffer unchanged, when the pattern is absent
// or the result would not fit in capacity characters (terminator included).
int replace_first(char* buffer, std::size_t capacity, const char* pattern, const char* replacement);

// The text as a grouped display (write_grouped, report_layout.h). The
// result lives in one shared buffer and is valid until the next call. Texts
// longer than 1000 characters are cut there.
const char* group_display(const char* text);

} // namespace quillmark
