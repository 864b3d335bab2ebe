// Fuzz target: the key compiler. The input is a form letter, two bytes of
// capacity and five texts separated by zero bytes: two key texts stored one
// after the other for that form, then a pattern, a replacement and a buffer
// text for replace_first. Each result is checked against the same rules
// worked out here on their own: the kept key text, its masks (a re-stored
// key joins its answers, a dropped question stays dropped), the table left
// untouched for letters outside A to J, and the bounded replacement.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "keys/answer_keys.h"

using namespace quillmark;

namespace {

const AnswerKey empty_entry{};

// Splits off the next text, up to a zero byte or the end of the input.
std::string next_text(const std::uint8_t*& data, std::size_t& size) {
    std::size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    std::string text(reinterpret_cast<const char*>(data), length);
    std::size_t used = length < size ? length + 1 : length;
    data += used;
    size -= used;
    return text;
}

std::uint32_t letter_bit(char c) {
    int upper = std::toupper(static_cast<unsigned char>(c));
    return upper >= 'A' && upper <= 'P' ? 1u << (upper - 'A') : 0u;
}

// What storing a text leaves as key text: the first 1000 non-blank
// characters, upper-cased, with 'X' turned into '-'.
std::string kept_key(const std::string& text) {
    std::string kept;
    for (char c : text) {
        if (kept.size() == static_cast<std::size_t>(MAX_QUESTIONS)) break;
        if (c == ' ') continue;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        kept += c == 'X' ? '-' : c;
    }
    return kept;
}

void join_masks(std::int32_t* masks, const std::string& key) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        std::int32_t& mask = masks[i + 1];
        if (key[i] == '-')
            mask = QUESTION_DROPPED;
        else
            mask = static_cast<std::int32_t>(static_cast<std::uint32_t>(mask) | letter_bit(key[i]));
    }
}

void check_answer_bits(const std::string& text) {
    for (char c : text) FUZZ_CHECK(answer_bit(c) == letter_bit(c));
}

void check_store(char form, const std::string& first, const std::string& second) {
    std::memset(answer_keys, 0, sizeof answer_keys);
    store_key(form, first.c_str());
    store_key(form, second.c_str());
    int index = static_cast<unsigned char>(form) - 'A';
    for (int f = 0; f < NUM_FORMS; ++f) {
        if (f == index) continue;
        FUZZ_CHECK(std::memcmp(&answer_keys[f], &empty_entry, sizeof empty_entry) == 0);
    }
    if (index < 0 || index >= NUM_FORMS) return;

    const AnswerKey& entry = answer_keys[index];
    FUZZ_CHECK(entry.form == form);
    std::string key = kept_key(second);
    FUZZ_CHECK(key == entry.key_text);
    // Nothing of the first key text survives beyond the second one.
    for (std::size_t i = key.size(); i < sizeof entry.key_text; ++i)
        FUZZ_CHECK(entry.key_text[i] == '\0');
    std::int32_t masks[MAX_QUESTIONS + 1] = {};
    join_masks(masks, kept_key(first));
    join_masks(masks, key);
    FUZZ_CHECK(std::memcmp(masks, entry.masks, sizeof masks) == 0);

    // compile_key on a stored key changes nothing more and counts its questions.
    AnswerKey again = entry;
    FUZZ_CHECK(compile_key(again) == static_cast<int>(key.size()));
    FUZZ_CHECK(std::memcmp(&again, &entry, sizeof again) == 0);
}

void check_replace(std::size_t capacity, const std::string& pattern, const std::string& replacement,
                   std::string text) {
    static char buffer[4096];
    if (capacity == 0 || capacity > sizeof buffer) return;
    if (text.size() >= capacity) text.resize(capacity - 1); // the text fits its buffer
    std::memset(buffer, 0x5a, sizeof buffer);
    std::memcpy(buffer, text.c_str(), text.size() + 1);

    // The result would be length - pattern + replacement characters long,
    // counted with signs: a pattern longer than the text cannot be found.
    std::string expected = text;
    int answer = 0;
    std::size_t found = text.find(pattern);
    long long result_length = static_cast<long long>(text.size()) -
                              static_cast<long long>(pattern.size()) +
                              static_cast<long long>(replacement.size());
    if (result_length < static_cast<long long>(capacity) && found != std::string::npos) {
        expected.replace(found, pattern.size(), replacement);
        answer = 1;
    }
    FUZZ_CHECK(replace_first(buffer, capacity, pattern.c_str(), replacement.c_str()) == answer);
    FUZZ_CHECK(expected == buffer);
    FUZZ_CHECK(std::strlen(buffer) < capacity);
    // Nothing beyond the capacity is touched.
    for (std::size_t i = capacity; i < sizeof buffer; ++i) FUZZ_CHECK(buffer[i] == 0x5a);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    char form = static_cast<char>(data[0]);
    std::size_t capacity = static_cast<std::size_t>(data[1]) << 4 | (data[2] & 0x0f);
    data += 3;
    size -= 3;
    std::string first = next_text(data, size);
    std::string second = next_text(data, size);
    std::string pattern = next_text(data, size);
    std::string replacement = next_text(data, size);
    std::string text = next_text(data, size);

    check_answer_bits(first);
    check_store(form, first, second);
    check_replace(capacity, pattern, replacement, text);
    return 0;
}
