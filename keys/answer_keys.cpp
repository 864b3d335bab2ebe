#include "keys/answer_keys.h"

#include <cctype>
#include <cstring>

namespace quillmark {

AnswerKey answer_keys[NUM_FORMS];

namespace {
// ':' + 1000 characters + the 199 blanks between their groups + terminator.
char grouped[1 + MAX_QUESTIONS + (MAX_QUESTIONS - 1) / 5 + 1];
} // namespace

std::uint16_t answer_bit(char c) {
    auto upper = static_cast<signed char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper < 'A' || upper > 'Z') return 0;
    // 'Q' to 'Z' shift the bit out of the 16-bit word: they are never accepted.
    return static_cast<std::uint16_t>(1u << (upper - 'A'));
}

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
    int index = static_cast<unsigned char>(form_letter) - 'A';
    if (index < 0 || index >= NUM_FORMS) return; // no entry outside A to J
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
    char* out = grouped;
    *out++ = ':';
    for (int j = 0; text[j] && j < MAX_QUESTIONS; ++j) {
        if (j > 0 && j % 5 == 0) *out++ = ' ';
        *out++ = text[j];
    }
    *out = '\0';
    return grouped;
}

} // namespace quillmark
