#include "keys/answer_keys.h"

#include <cctype>
#include <cstring>

namespace quillmark {

AnswerKey answer_keys[NUM_FORMS];

namespace {

// The rule of the answer bit: the character upper-cased, taken as a signed
// character, must be a letter 'A' to 'Z'; 'Q' to 'Z' then shift the bit out
// of the 16-bit word, so only 'A' to 'P' are ever accepted.
std::uint16_t answer_bit_of(unsigned char c) {
    auto upper = static_cast<signed char>(std::toupper(c));
    if (upper < 'A' || upper > 'Z') return 0;
    return static_cast<std::uint16_t>(1u << (upper - 'A'));
}

struct AnswerBitTable {
    std::uint16_t bits[256];
    AnswerBitTable() {
        for (int c = 0; c < 256; ++c) bits[c] = answer_bit_of(static_cast<unsigned char>(c));
    }
};
const AnswerBitTable answer_bit_table;

char grouped[GROUPED_ROOM];

} // namespace

const std::uint16_t* const answer_bits = answer_bit_table.bits;

int compile_key(AnswerKey& entry) {
    const std::size_t capacity = sizeof entry.key_text;
    while (replace_first(entry.key_text, capacity, " ", "")) {
    }
    for (char* p = entry.key_text; *p; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    while (replace_first(entry.key_text, capacity, "X", "-")) {
    }
    int questions = 0;
    for (const char* p = entry.key_text; *p; ++p) {
        ++questions;
        if (*p == '-')
            entry.masks[questions] = QUESTION_DROPPED;
        else
            entry.masks[questions] |= static_cast<std::int32_t>(answer_bit(*p));
    }
    return questions;
}

void store_key(char form_letter, const char* key_text) {
    const int index = form_index(form_letter);
    if (index < 0) return; // no entry outside A to J
    AnswerKey& entry = answer_keys[index];
    entry.form = form_letter;
    // Blanks go before the cut, so that a key written in groups keeps all of
    // its first 1000 answers.
    std::size_t kept = 0;
    for (const char* p = key_text; *p && kept < MAX_QUESTIONS; ++p)
        if (*p != ' ') entry.key_text[kept++] = *p;
    std::memset(entry.key_text + kept, 0, sizeof entry.key_text - kept);
    compile_key(entry);
}

int replace_first(char* buffer, std::size_t capacity, const char* pattern,
                  const char* replacement) {
    auto length = static_cast<std::ptrdiff_t>(std::strlen(buffer));
    auto pattern_length = static_cast<std::ptrdiff_t>(std::strlen(pattern));
    auto replacement_length = static_cast<std::ptrdiff_t>(std::strlen(replacement));
    if (length - pattern_length + replacement_length >= static_cast<std::ptrdiff_t>(capacity))
        return 0;
    char* found = std::strstr(buffer, pattern);
    if (!found) return 0;
    if (pattern_length != replacement_length) {
        char* rest = found + pattern_length;
        std::memmove(found + replacement_length, rest, std::strlen(rest) + 1);
    }
    std::memcpy(found, replacement, static_cast<std::size_t>(replacement_length));
    return 1;
}

const char* group_display(const char* text) {
    std::size_t length = std::strlen(text);
    *write_grouped(grouped, text, length < MAX_QUESTIONS ? length : MAX_QUESTIONS) = '\0';
    return grouped;
}

} // namespace quillmark
