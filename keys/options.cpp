#include "keys/options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "keys/answer_keys.h"
#include "platform/env.h"
#include "report/report_rows.h"

namespace quillmark {

unsigned char exam_first = 0;
std::int32_t option_file_depth = 0;

namespace {

constexpr std::int32_t MAX_OPTION_FILE_DEPTH = 2;

// One line buffer per level of option file, so that a nested file never
// overwrites the line of the file that names it.
LineBuffer option_lines[MAX_OPTION_FILE_DEPTH + 1];

// The name after optf: as given, before lower-casing, for systems whose file
// names tell case apart; valid for the option being applied. Longer names
// cannot be opened anyway.
char name_as_given[4097];
bool name_as_given_kept = false;

// The marker of an amendment echo row: q - 1 blanks and the answer letter.
char marker[MAX_QUESTIONS + 1];

bool is_white(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

[[noreturn]] void unknown_option(const char* text) {
    send_message("Unknown option:%s\n", text);
    print_usage(-1);
}

int apply_key(const char* text, char* cursor) {
    char form = static_cast<char>(std::toupper(static_cast<unsigned char>(text[3])));
    store_key(form, cursor);
    write_key_row(KeySource::option, form, answer_keys[form_index(form)].key_text);
    return 0;
}

int apply_amendment(const char* whole, const char* text, char* cursor) {
    AnswerKey& entry = answer_keys[form_index(
        static_cast<char>(std::toupper(static_cast<unsigned char>(text[3]))))];
    char* end = cursor;
    errno = 0;
    long question = std::strtol(cursor, &end, 10); // huge numbers saturate: out of range
    auto questions = static_cast<long>(std::strlen(entry.key_text));
    if (question < 1 || question > questions) {
        send_message("Invalid question #: %s, key has %ld answers\n", cursor, questions);
        print_usage(-1);
    }
    cursor = end;
    auto q = static_cast<int>(question);
    bool add = *cursor == '+';
    if (add)
        ++cursor;
    else
        entry.masks[q] = 0;
    if (*cursor == '\0') unknown_option(whole); // no answer letter
    *cursor = static_cast<char>(std::toupper(static_cast<unsigned char>(*cursor)));
    char letter = *cursor;
    if (letter == 'X' || letter == '-')
        entry.masks[q] = QUESTION_DROPPED;
    else
        entry.masks[q] |= static_cast<std::int32_t>(answer_bit(letter));
    std::memset(marker, ' ', static_cast<std::size_t>(q - 1));
    marker[q - 1] = letter;
    marker[q] = '\0';
    if (cursor[1] != '\0') unknown_option(whole);
    write_amendment_row(whole, std::string_view(marker, static_cast<std::size_t>(q)));
    return 0;
}

// Opens the option file of the (lower-cased) name; where file names tell
// case apart and that name cannot be opened, the name as given. The name
// then holds the spelling that was opened (both have the same length).
std::FILE* open_option_file(char* name) {
    std::size_t length = std::strlen(name);
    while (length > 0 && is_white(name[length - 1])) name[--length] = '\0';
    std::FILE* file = open_text_file(name);
    if (!file) {
        int error = errno;
        if (!file_names_ignore_case() && name_as_given_kept && length < sizeof name_as_given) {
            name_as_given[length] = '\0';
            if (std::strcmp(name_as_given, name) != 0) {
                file = open_text_file(name_as_given);
                if (file) std::memcpy(name, name_as_given, length);
            }
        }
        if (!file) {
            send_message("Can't open %s: %s\n", name, system_error_text(error));
            end_process(-1);
        }
    }
    return file;
}

int apply_option_file(char* name) {
    std::FILE* file = open_option_file(name);
    if (option_file_depth >= MAX_OPTION_FILE_DEPTH) {
        send_message("Cannot nest option files beyond 2.\n");
        print_usage(-1);
    }
    ++option_file_depth;
    apply_option_lines(file, apply_option);
    // Grading with half an option file applied would give wrong scores.
    if (int error = option_lines[option_file_depth].error) {
        send_message("Error reading %s: %s\n", name, system_error_text(error));
        end_process(-1);
    }
    std::fclose(file);
    --option_file_depth;
    return 0;
}

} // namespace

const char USAGE_TEXT[] =
    "Usage:   quillmark <inputfile> [optf:optionfile]\n"
    "\t\t\t[alt:#letter] [alt:#+letter] [alt:#-]\n"
    "Example: quillmark quiz1.txt optf:quiz1.keys alt:7+B alt:9D\n"
    "Other options:  cols:x\t\tputs Exam # in first column\n"
    "\t\t optf:filename\tread options from file\n";

const char OPTIONS_HELP_TEXT[] =
    "\n"
    "Grades the sheets of <inputfile> and writes the report to standard output.\n"
    "The options are applied in order when the first student sheet is read.\n"
    "Option words and answer letters may be written in either case; the alt\n"
    "options carry the form letter (alta:7+B) where the usage above shows alt:.\n"
    "  keya:answers      the key of form A (keyb:, keyc:, keyd: for B, C, D).\n"
    "                    A key the form already has (a key sheet's) gains these\n"
    "                    answers: none it accepts is taken away, and a question\n"
    "                    it drops stays dropped. X or - drops a question; to\n"
    "                    accept only B for question 7, use alta:7B.\n"
    "  alta:#letter      letter becomes the only accepted answer of question #\n"
    "                    of form A (altb:, altc:, altd: for B, C, D)\n"
    "  alta:#+letter     letter is accepted as well for question #\n"
    "  alta:#X, alta:#-  question # is dropped: it counts for no sheet\n"
    "  cols:x            the Exam # column comes first\n"
    "  optf:filename     options are read from the file, one per line; lines\n"
    "                    that begin with # are ignored; the file may name one\n"
    "                    more option file\n"
    "  -h, --help        this text, when it is the only argument\n"
    "  --version         the version, when it is the only argument\n";

void print_usage(int status) {
    send_message("%s", USAGE_TEXT);
    end_process(status);
}

void apply_command_options(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) apply_option(argv[i]);
}

int apply_option(char* whole) {
    char* text = whole[0] == '"' ? whole + 1 : whole;
    std::size_t length = std::strlen(text);
    while (length > 0 && is_white(text[length - 1])) text[--length] = '\0';
    if (length > 0 && text[length - 1] == '"') text[--length] = '\0';

    // optf: may need its file name as given, before it is lower-cased.
    name_as_given_kept = false;
    if (length >= 5 && length - 5 < sizeof name_as_given) {
        bool optf = true;
        for (int i = 0; i < 5; ++i)
            optf = optf && std::tolower(static_cast<unsigned char>(text[i])) == "optf:"[i];
        if (optf) {
            std::memcpy(name_as_given, text + 5, length - 5 + 1);
            name_as_given_kept = true;
        }
    }
    for (char* p = text; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (length == 0 || text[0] == '#') return 0;

    static const char* const key_words[] = {"keya:", "keyb:", "keyc:", "keyd:"};
    static const char* const amend_words[] = {"alta:", "altb:", "altc:", "altd:"};
    char* cursor = text;
    for (const char* word : key_words)
        if (match_prefix(word, cursor, 5)) return apply_key(text, cursor);
    for (const char* word : amend_words)
        if (match_prefix(word, cursor, 5)) return apply_amendment(whole, text, cursor);
    if (match_prefix("cols:x", cursor, 6)) {
        exam_first = 1;
        return 0;
    }
    if (match_prefix("optf:", cursor, 5)) return apply_option_file(cursor);
    unknown_option(whole);
}

int apply_option_lines(std::FILE* file, OptionOperation operation) {
    std::int32_t depth = option_file_depth;
    if (depth < 0) depth = 0;
    if (depth > MAX_OPTION_FILE_DEPTH) depth = MAX_OPTION_FILE_DEPTH;
    LineBuffer& line = option_lines[depth];
    int sum = 0;
    while (read_text_line(file, line)) sum += operation(line.data);
    return sum;
}

int match_prefix(const char* literal, char*& cursor, int n) {
    if (std::strncmp(literal, cursor, static_cast<std::size_t>(n)) != 0) return 0;
    for (const char* l = literal; *l && *cursor == *l; ++l) ++cursor;
    return 1;
}

} // namespace quillmark
