// Options: keys given or added to (keya: to keyd:), single questions amended
// or dropped (alta: to altd:), the Exam-first column order (cols:x) and
// option files (optf:), from the command line and from option files. Every
// error writes its message and ends the process with status -1.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quillmark {

// Set by cols:x: the Exam # column comes first. Never cleared.
extern unsigned char exam_first;

// Option files being read at this moment: 0, 1 or 2.
extern std::int32_t option_file_depth;

// The usage text that every option error ends with.
extern const char USAGE_TEXT[];

// What --help shows after the usage text: a short description of every
// option.
extern const char OPTIONS_HELP_TEXT[];

// Writes the usage text to standard error and ends the process with status.
[[noreturn]] void print_usage(int status);

// Applies the command-line arguments from the third on, in order.
void apply_command_options(int argc, char** argv);

// Applies one option, changing its text in place (trimmed, lower-cased, an
// answer letter upper-cased). Yields 0 when it was applied or ignored (empty
// or '#' lines); every error ends the process instead.
int apply_option(char* text);

using OptionOperation = int (*)(char* text);

// Applies the operation to every whole line of the open file, in order,
// until the end of the file or a read error; yields the sum of the results.
int apply_option_lines(std::FILE* file, OptionOperation operation);

// When the first n characters of the literal and of the text at the cursor
// agree, moves the cursor over the characters that agree, up to the
// literal's end, and yields 1; else yields 0 and leaves the cursor.
int match_prefix(const char* literal, char*& cursor, int n);

} // namespace quillmark
